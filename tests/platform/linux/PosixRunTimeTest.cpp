#include "platform/linux/PosixRunTime.h"

#include "support/RunTimeContract.h"
#include "support/linux/FaultyCalls.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <sys/sysmacros.h>

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

} // namespace
} // namespace tren::platform
