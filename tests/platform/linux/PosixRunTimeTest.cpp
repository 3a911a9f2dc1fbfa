#include "platform/linux/PosixRunTime.h"

#include "support/RunTimeContract.h"
#include "support/linux/FaultyCalls.h"

#include <gtest/gtest.h>

#include <gmock/gmock.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <regex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>

namespace tren::platform {
namespace {

using namespace test;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
const Bytes data = {1, 2, 3, 4};

// Both kinds of new file: unnamed, and hidden where the file system has none. The fault
// table shows that one destroyed unpublished leaves nothing; the window's and command
// line's tests that folders, pipes and missing files are refused and named.
TEST(PosixRunTime, ANewFileTakesItsNameAsAskedAndNothingElseIsLeft) {
    // Forked, the child removes from this very folder; an ignored signal is given back.
    GTEST_FLAG_SET(death_test_style, "fast");
    struct sigaction old {};
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            std::signal(signal, SIG_DFL);
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed" : "hidden name");
        TempFolder f;
        FaultyCalls calls;
        calls.UnnamedFiles = unnamed;
        PosixRunTime rt{calls};
        auto write = [&](const std::string& path, Naming naming = Naming::ReplaceName) {
            auto file = rt.CreateOutput(path, naming);
            file->WriteAt(0, data);
            file->Publish();
        };
        // A link is replaced or followed, as asked; the file it names keeps its mode and
        // loses its tail.
        WriteFile(f / "old", Bytes(100, 0xEE));
        fs::permissions(f / "old", fs::perms(0640));
        fs::create_symlink("old", f / "replaced");
        fs::create_symlink("old", f / "followed");
        write(f / "replaced");
        EXPECT_FALSE(fs::is_symlink(f / "replaced"));
        EXPECT_EQ(ReadFile(f / "old"), Bytes(100, 0xEE));
        write(f / "followed", Naming::ReplaceLinkTarget);
        EXPECT_TRUE(fs::is_symlink(f / "followed"));
        EXPECT_EQ(ReadFile(f / "old"), data);
        write(f / "new");
        EXPECT_EQ(fs::status(f / "old").permissions(), fs::perms(0640));
        EXPECT_EQ(ReadFile(f / "new"), data);
        calls.WritesStall = true; // a write that makes no progress fails, leaving nothing
        EXPECT_THROW(write(f / "stalled"), RunTimeError);
        calls.WritesStall = false;
        EXPECT_EQ(std::distance(fs::directory_iterator(f.Path()), {}), 4); // nothing left over
        fs::create_symlink("nothing", f / "dangling");
        EXPECT_EQ(rt.Examine(f / "dangling").TargetKind, EntryKind::Missing);
        // A link to a device is written in place, never replaced (a private device node,
        // so that a fault here cannot touch the system's own; root can make one).
        if (::mknod((f / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) {
            fs::create_symlink(f / "full", f / "image");
            const auto image = rt.CreateOutput(f / "image", Naming::ReplaceLinkTarget);
            EXPECT_THROW(image->WriteAt(0, data), RunTimeError);
            EXPECT_TRUE(fs::is_character_file(f / "full"));
        }
        // Interrupted, a run leaves nothing behind and ends as the signal ends it.
        fs::create_directory(f / "signal");
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            EXPECT_EXIT(
                {
                    const auto file = rt.CreateOutput(f / "signal/x", Naming::ReplaceName);
                    file->WriteAt(0, data);
                    if (fs::is_empty(f / "signal") != unnamed)
                        std::exit(0); // not the kind of file asked for
                    std::raise(signal);
                },
                testing::KilledBySignal(signal), "")
                << signal;
            EXPECT_TRUE(fs::is_empty(f / "signal")) << signal;
        }
    }
}

TEST(PosixRunTime, AnswersAsWindowsDoes) {
    PosixRunTime runTime;
    ExpectSameFailures();
    ExpectFullPaths(runTime);
    ExpectReadersShareAndAWriterWaits(runTime);
}

int HiddenFiles(const TempFolder& f) {
    return static_cast<int>(std::count_if(fs::directory_iterator(f.Path()), {}, [](const auto& e) {
        return e.path().filename().string().starts_with(".tren-");
    }));
}

// What only this system has, each case in a folder of its own.
TEST(PosixRunTime, AnswersItsOwnCases) {
    using testing::HasSubstr;
    const std::pair<const char*, void (*)(const TempFolder&)> cases[] = {
        {"a write of the same length changes the stamp",
         [](const TempFolder& f) {
             WriteFile(f / "s", data);
             const auto input = PosixRunTime().OpenInput(f / "s");
             const FileStamp before = input->Stamp();
             std::this_thread::sleep_for(std::chrono::milliseconds(20));
             WriteFile(f / "s", Bytes(data.size(), 9));
             EXPECT_NE(input->Stamp(), before);
         }},
        {"a killed run's hidden file is a leftover, a live run's is not",
         [](const TempFolder& f) {
             FaultyCalls calls;
             calls.UnnamedFiles = false;
             PosixRunTime rt{calls};
             if (const pid_t child = ::fork(); child == 0) {
                 try {
                     const auto dead = rt.CreateOutput(f / "dead", Naming::ReplaceName);
                     ::kill(::getpid(), SIGKILL);
                 } catch (...) {
                 }
                 ::_exit(1);
             } else {
                 ::waitpid(child, nullptr, 0);
             }
             const auto live = rt.CreateOutput(f / "live", Naming::ReplaceName);
             EXPECT_EQ(HiddenFiles(f), 2);
             EXPECT_EQ(rt.Leftovers(f.Path(), false), 1);
             EXPECT_EQ(HiddenFiles(f), 2);
             EXPECT_EQ(rt.Leftovers(f.Path(), true), 1);
             EXPECT_EQ(HiddenFiles(f), 1);
             live->WriteAt(0, data);
             live->Flush();
             live->Publish();
             EXPECT_EQ(ReadFile(f / "live"), data);
         }},
        {"an open-file limit met is named",
         [](const TempFolder& f) {
             WriteFile(f / "s", data);
             FaultyCalls calls;
             calls.Failing = {"open", "setrlimit"};
             calls.FailWith = EMFILE;
             rlimit limit{};
             ::getrlimit(RLIMIT_NOFILE, &limit);
             EXPECT_THROW(
                 try { PosixRunTime{calls}.OpenInput(f / "s"); } catch (const RunTimeError& e) {
                     EXPECT_THAT(e.Description(), HasSubstr("Too many open files: the open-file "
                                                            "limit is " +
                                                            std::to_string(limit.rlim_cur)));
                     throw;
                 },
                 RunTimeError);
         }},
        {"the home trash takes a file and tells where it was",
         [](const TempFolder& f) {
             TempFolder home;
             ::setenv("XDG_DATA_HOME", home.Path().c_str(), 1);
             FaultyCalls calls;
             PosixRunTime rt{calls};
             for (const bool renames : {false, true, true}) {
                 WriteFile(f / "a b%", data);
                 calls.Failing =
                     renames ? std::set<std::string>{} : std::set<std::string>{"rename"};
                 EXPECT_TRUE(rt.HasTrash(f / "a b%"));
                 if (renames)
                     rt.MoveToTrash(f / "a b%");
                 else
                     EXPECT_THROW(rt.MoveToTrash(f / "a b%"), RunTimeError);
                 EXPECT_EQ(fs::exists(f / "a b%"), !renames);
             }
             ::unsetenv("XDG_DATA_HOME");
             EXPECT_EQ(ReadFile(home / "Trash/files/a b%.2"), data);
             const std::string path = fs::canonical(f.Path()).string() + "/a%20b%25";
             const Bytes info = ReadFile(home / "Trash/info/a b%.trashinfo");
             EXPECT_TRUE(std::regex_match(std::string(info.begin(), info.end()),
                                          std::regex("\\[Trash Info\\]\nPath=" + path +
                                                     "\nDeletionDate=[0-9]{4}(-[0-9]{2}){2}T"
                                                     "[0-9]{2}(:[0-9]{2}){2}\n")));
             EXPECT_EQ(std::distance(fs::directory_iterator(home / "Trash/info"), {}), 2);
         }},
        {"a disk of this system takes any name but /",
         [](const TempFolder& f) {
             for (const char* name : {"notes.", "a:b", "x?\\*|", "end "})
                 EXPECT_EQ(PosixRunTime().NameRefusal(f.Path(), name), "") << name;
         }},
    };
    for (const auto& [what, check] : cases) {
        SCOPED_TRACE(what);
        check(TempFolder());
    }
}

// The FAT or exFAT disk that tests/cli/disks_test.sh mounts, and its family.
TEST(PosixRunTime, AnswersForTheDiskMounted) {
    const char* disk = std::getenv("TREN_TEST_DISK");
    const char* family = std::getenv("TREN_TEST_DISK_FAMILY");
    if (disk == nullptr || family == nullptr)
        GTEST_SKIP() << "for tests/cli/disks_test.sh";
    PosixRunTime rt;
    EXPECT_EQ(rt.NameRefusal(disk, "notes"), "");
    for (const char* name : {"notes.", "notes ", "a:b", "a\"b", "a\tb"})
        EXPECT_THAT(rt.NameRefusal(disk, name), testing::EndsWith(family + std::string(" disk")))
            << name;
    // A small file takes whole units of what the disk says it has left.
    const std::string path = disk + std::string("/small");
    rt.RemoveFile(path);
    const DiskSpace before = rt.SpaceOf(disk);
    const auto file = rt.CreateOutput(path, Naming::ReplaceName);
    EXPECT_EQ(rt.Leftovers(disk, true), 0) << "a live run's file";
    file->WriteAt(0, data);
    file->Flush();
    file->Publish();
    const std::int64_t taken = before.Free - rt.SpaceOf(disk).Free;
    EXPECT_TRUE(taken >= before.Unit && taken % before.Unit == 0) << taken << " " << before.Unit;
    // Its trash is in its top folder.
    EXPECT_TRUE(rt.HasTrash(path));
    rt.MoveToTrash(path);
    EXPECT_EQ(ReadFile(disk + ("/.Trash-" + std::to_string(::getuid())) + "/files/small"), data);
}

} // namespace
} // namespace tren::platform
