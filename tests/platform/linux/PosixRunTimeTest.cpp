#include "platform/linux/PosixRunTime.h"

#include "support/TempFolder.h"
#include "support/linux/FaultyCalls.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tren::platform {
namespace {

using test::ReadFile;
using test::WriteFile;
namespace fs = std::filesystem;

const std::vector<std::uint8_t> data = {1, 2, 3, 4};

struct FaultCase {
    const char* name;
    std::function<void(PosixRunTime&, const test::TempFolder&)> action;
    ErrorCode code;
    const char* pathInText; // relative to the folder
};

class PosixFaultTest : public testing::TestWithParam<FaultCase> {};

// Each fault is caused by what stands in the way, since permission bits stop
// nothing for root. Pipes must be refused at once, never waited on.
TEST_P(PosixFaultTest, FailsWithItsCodeAndNamesTheFile) {
    test::TempFolder folder;
    WriteFile(folder / "file", {1, 2, 3});
    fs::create_directory(folder / "dir");
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0666), 0);
    PosixRunTime runTime;
    try {
        GetParam().action(runTime, folder);
        FAIL() << "no failure";
    } catch (const RunTimeError& failure) {
        EXPECT_EQ(failure.Code(), GetParam().code) << failure.Description();
        EXPECT_NE(failure.Description().find(folder / GetParam().pathInText), std::string::npos)
            << failure.Description();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, PosixFaultTest,
    testing::Values(
        FaultCase{"missing_file_opened", [](auto& rt, auto& f) { rt.OpenInput(f / "missing"); },
                  ErrorCode::FileNotFound, "missing"},
        FaultCase{"folder_opened_as_file", [](auto& rt, auto& f) { rt.OpenInput(f / "dir"); },
                  ErrorCode::PathFileAccess, "dir"},
        FaultCase{"pipe_opened_as_file", [](auto& rt, auto& f) { rt.OpenInput(f / "fifo"); },
                  ErrorCode::PathFileAccess, "fifo"},
        FaultCase{"folder_written",
                  [](auto& rt, auto& f) { rt.CreateOutput(f / "dir", Naming::ReplaceName); },
                  ErrorCode::PathFileAccess, "dir"},
        FaultCase{"file_where_folder_should_be",
                  [](auto& rt, auto& f) { rt.CreateOutput(f / "file/x.tr1", Naming::ReplaceName); },
                  ErrorCode::PathNotFound, "file/x.tr1"},
        FaultCase{"missing_folder",
                  [](auto& rt, auto& f) { rt.CreateOutput(f / "nowhere/x", Naming::ReplaceName); },
                  ErrorCode::FileNotFound, "nowhere/x"},
        FaultCase{"folder_created_over_a_file",
                  [](auto& rt, auto& f) { rt.CreateFolder(f / "file"); }, ErrorCode::PathFileAccess,
                  "file"}),
    [](const auto& info) { return std::string(info.param.name); });

// Both kinds of new file: unnamed until published, and under a hidden name where
// the file system has no unnamed files.
class OutputTest : public testing::TestWithParam<bool> {
  protected:
    test::TempFolder folder;
    test::FaultyCalls calls;
    PosixRunTime runTime{calls};

    void SetUp() override { calls.UnnamedFiles = GetParam(); }

    void Write(const std::string& path, Naming naming, bool publish) {
        auto file = runTime.CreateOutput(path, naming);
        file->WriteAt(0, data);
        file->Flush();
        if (publish) {
            file->Publish();
            file->FlushName();
        }
    }
    std::size_t Entries(const std::string& path) const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(path), {}));
    }
};

TEST_P(OutputTest, ANewFileGetsTheUsualModeAndNothingElseIsLeft) {
    const mode_t mask = ::umask(022);
    Write(folder / "new", Naming::ReplaceName, true);
    ::umask(mask);
    EXPECT_EQ(fs::status(folder / "new").permissions(), fs::perms(0644));
    EXPECT_EQ(ReadFile(folder / "new"), data);
    EXPECT_EQ(Entries(folder.Path()), 1u);
}

TEST_P(OutputTest, AReplacedFileKeepsItsModeAndLosesItsTail) {
    WriteFile(folder / "old", std::vector<std::uint8_t>(100, 0xEE));
    fs::permissions(folder / "old", fs::perms(0640));
    Write(folder / "old", Naming::ReplaceName, true);
    EXPECT_EQ(fs::status(folder / "old").permissions(), fs::perms(0640));
    EXPECT_EQ(ReadFile(folder / "old"), data);
    EXPECT_EQ(Entries(folder.Path()), 1u);
}

TEST_P(OutputTest, ALinkIsFollowedOrReplacedAsAsked) {
    fs::create_directory(folder / "real");
    WriteFile(folder / "real/target", {9, 9});
    fs::create_symlink("real/target", folder / "followed");
    fs::create_symlink("real/target", folder / "replaced");

    Write(folder / "replaced", Naming::ReplaceName, true);
    EXPECT_FALSE(fs::is_symlink(folder / "replaced"));
    EXPECT_EQ(ReadFile(folder / "real/target"), (std::vector<std::uint8_t>{9, 9}));

    Write(folder / "followed", Naming::ReplaceLinkTarget, true);
    EXPECT_TRUE(fs::is_symlink(folder / "followed"));
    EXPECT_EQ(ReadFile(folder / "real/target"), data);
    EXPECT_EQ(Entries(folder / "real"), 1u);
}

TEST_P(OutputTest, AnUnpublishedFileLeavesNothingAndTheOldFileStands) {
    WriteFile(folder / "old", {9, 9});
    Write(folder / "old", Naming::ReplaceName, false);
    Write(folder / "new", Naming::ReplaceName, false);
    EXPECT_EQ(ReadFile(folder / "old"), (std::vector<std::uint8_t>{9, 9}));
    EXPECT_EQ(Entries(folder.Path()), 1u);
}

TEST_P(OutputTest, AWriteThatMakesNoProgressFails) {
    calls.WritesStall = true;
    auto file = runTime.CreateOutput(folder / "x", Naming::ReplaceName);
    EXPECT_THROW(file->WriteAt(0, data), RunTimeError);
}

INSTANTIATE_TEST_SUITE_P(Files, OutputTest, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "unnamed" : "hidden_name"; });

TEST(PosixRunTime, ALinkToADeviceIsWrittenInPlaceNeverReplaced) {
    test::TempFolder folder;
    // A private device node, so that a fault here cannot touch the system's own.
    if (::mknod((folder / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "cannot make a device node here";
    fs::create_symlink(folder / "full", folder / "image");
    PosixRunTime runTime;
    auto file = runTime.CreateOutput(folder / "image", Naming::ReplaceLinkTarget);
    try {
        file->WriteAt(0, data);
        FAIL() << "a full device took the bytes";
    } catch (const RunTimeError& failure) {
        EXPECT_EQ(failure.Code(), ErrorCode::DiskFull);
        EXPECT_NE(failure.Description().find(folder / "image"), std::string::npos);
    }
    file.reset();
    EXPECT_TRUE(fs::is_character_file(folder / "full"));
}

class InterruptTest : public testing::TestWithParam<int> {};

// Where the file system has no unnamed files, an interrupted run must still leave
// nothing behind, and end as the signal ends it.
TEST_P(InterruptTest, RemovesAHiddenTemporaryFileAndEndsByTheSignal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    test::TempFolder folder;
    const int signal = GetParam();
    EXPECT_EXIT(
        {
            std::signal(signal, SIG_DFL);
            test::FaultyCalls calls;
            calls.UnnamedFiles = false;
            PosixRunTime runTime(calls);
            auto file = runTime.CreateOutput(folder / "image", Naming::ReplaceName);
            file->WriteAt(0, data);
            if (fs::is_empty(folder.Path()))
                std::exit(0); // no hidden file was made: nothing to test
            std::raise(signal);
        },
        testing::KilledBySignal(signal), "");
    EXPECT_TRUE(fs::is_empty(folder.Path()));
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptTest, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(strsignal(info.param)); });

TEST(PosixRunTime, ExamineTellsALinkFromWhatItLeadsTo) {
    test::TempFolder folder;
    WriteFile(folder / "file", {1});
    fs::create_symlink("file", folder / "link");
    fs::create_hard_link(folder / "file", folder / "hard");
    fs::create_symlink("nothing", folder / "dangling");
    PosixRunTime runTime;
    const EntryInfo file = runTime.Examine(folder / "file");
    const EntryInfo link = runTime.Examine(folder / "link");
    EXPECT_EQ(link.Kind, EntryKind::Link);
    EXPECT_EQ(link.TargetKind, EntryKind::Regular);
    EXPECT_EQ(link.TargetId, file.Id);
    EXPECT_NE(link.Id, file.Id);
    EXPECT_EQ(runTime.Examine(folder / "hard").Id, file.Id);
    EXPECT_EQ(runTime.Examine(folder / "dangling").TargetKind, EntryKind::Missing);
    EXPECT_EQ(runTime.Examine(folder / "none/x").Kind, EntryKind::Missing);
}

} // namespace
} // namespace tren::platform
