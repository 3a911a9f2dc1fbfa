#include "platform/posix/PosixRunTime.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
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

struct FaultCase {
    const char* name;
    std::function<void(PosixRunTime&, const test::TempFolder&)> action;
    ErrorCode code;
    const char* pathInText; // relative to the folder
};

class PosixFaultTest : public testing::TestWithParam<FaultCase> {};

// Each fault is caused by what stands in the way, since permission bits stop
// nothing for root.
TEST_P(PosixFaultTest, FailsWithItsCodeAndNamesTheFile) {
    test::TempFolder folder;
    WriteFile(folder / "file", {1, 2, 3});
    fs::create_directory(folder / "dir");
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

std::uint8_t buffer[4];
const std::uint8_t data[4] = {1, 2, 3, 4};

INSTANTIATE_TEST_SUITE_P(
    Faults, PosixFaultTest,
    testing::Values(
        FaultCase{"missing_file_length",
                  [](auto& rt, auto& f) { rt.FileLength(f / "missing"); }, ErrorCode::FileNotFound, "missing"},
        FaultCase{"missing_file_read",
                  [](auto& rt, auto& f) { rt.ReadAt(f / "missing", 0, buffer); }, ErrorCode::FileNotFound, "missing"},
        FaultCase{"file_where_folder_should_be",
                  [](auto& rt, auto& f) { rt.WriteAt(f / "file/piece.tr1", 0, data); }, ErrorCode::PathNotFound, "file/piece.tr1"},
        FaultCase{"missing_folder",
                  [](auto& rt, auto& f) { rt.WriteAt(f / "nowhere/piece.tr1", 0, data); }, ErrorCode::FileNotFound, "nowhere/piece.tr1"},
        FaultCase{"folder_measured_as_file",
                  [](auto& rt, auto& f) { rt.FileLength(f / "dir"); }, ErrorCode::PathFileAccess, "dir"},
        FaultCase{"folder_written_as_file",
                  [](auto& rt, auto& f) { rt.WriteAt(f / "dir", 0, data); }, ErrorCode::PathFileAccess, "dir"},
        FaultCase{"folder_created_over_a_file",
                  [](auto& rt, auto& f) { rt.CreateFolder(f / "file"); }, ErrorCode::PathFileAccess, "file"},
        FaultCase{"replacing_a_folder",
                  [](auto& rt, auto& f) { rt.BeginReplacement(f / "dir"); }, ErrorCode::PathFileAccess, "dir"},
        FaultCase{"replacement_in_missing_folder",
                  [](auto& rt, auto& f) { rt.BeginReplacement(f / "nowhere/x"); }, ErrorCode::FileNotFound, "nowhere/x"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PosixRunTime, AFullDeviceIsDiskFull) {
    PosixRunTime runTime;
    try {
        runTime.WriteAt("/dev/full", 0, data);
        FAIL() << "no failure";
    } catch (const RunTimeError& failure) {
        EXPECT_EQ(failure.Code(), ErrorCode::DiskFull);
    }
}

class ReplacementTest : public testing::Test {
protected:
    test::TempFolder folder;
    PosixRunTime runTime;

    // Writes the bytes through a replacement of destination, committing or not.
    Replacement Replace(const std::string& destination, bool commit) {
        Replacement replacement = runTime.BeginReplacement(destination);
        runTime.WriteAt(replacement.Temporary, 0, data);
        if (commit)
            runTime.CommitReplacement(replacement);
        else
            runTime.DiscardReplacement(replacement);
        return replacement;
    }

    std::size_t Entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder.Path()), {}));
    }
};

TEST_F(ReplacementTest, ANewFileGetsTheUsualMode) {
    const mode_t mask = ::umask(022);
    Replace(folder / "new", true);
    ::umask(mask);
    EXPECT_EQ(fs::status(folder / "new").permissions(), fs::perms(0644));
    EXPECT_EQ(ReadFile(folder / "new"), (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(ReplacementTest, AnExistingFileKeepsItsModeAndLosesItsTail) {
    WriteFile(folder / "old", std::vector<std::uint8_t>(100, 0xEE));
    fs::permissions(folder / "old", fs::perms(0640));
    Replace(folder / "old", true);
    EXPECT_EQ(fs::status(folder / "old").permissions(), fs::perms(0640));
    EXPECT_EQ(ReadFile(folder / "old"), (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(ReplacementTest, ALinkIsReplacedAtItsTarget) {
    fs::create_directory(folder / "real");
    WriteFile(folder / "real/target", std::vector<std::uint8_t>(100, 0xEE));
    fs::create_symlink("real/target", folder / "link");
    Replace(folder / "link", true);
    EXPECT_TRUE(fs::is_symlink(folder / "link"));
    EXPECT_EQ(ReadFile(folder / "real/target"), (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "real"), {}), 1);
}

TEST_F(ReplacementTest, ADiscardedReplacementLeavesTheOldFile) {
    WriteFile(folder / "old", {9, 9});
    const Replacement replacement = Replace(folder / "old", false);
    EXPECT_FALSE(fs::exists(replacement.Temporary));
    EXPECT_EQ(ReadFile(folder / "old"), (std::vector<std::uint8_t>{9, 9}));
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(ReplacementTest, ALinkToADeviceIsWrittenInPlaceNeverReplaced) {
    // A private device node, so that a fault here cannot touch the system's own.
    if (::mknod((folder / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "cannot make a device node here";
    fs::create_directory(folder / "out");
    fs::create_symlink(folder / "full", folder / "out/image");

    const Replacement replacement = runTime.BeginReplacement(folder / "out/image");
    EXPECT_TRUE(replacement.InPlace);
    try {
        runTime.WriteAt(replacement.Temporary, 0, data);
        FAIL() << "a full device took the bytes";
    } catch (const RunTimeError& failure) {
        EXPECT_EQ(failure.Code(), ErrorCode::DiskFull);
    }
    runTime.DiscardReplacement(replacement);
    EXPECT_TRUE(fs::is_character_file(folder / "full"));
    EXPECT_EQ(Entries(), 2u);
}

} // namespace
} // namespace tren::platform
