#include "platform/windows/Win32RunTime.h"

#include "shell/MFileAssociations.h"
#include "support/RunTimeContract.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tren::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

class Win32RunTimeTest : public testing::Test {
  protected:
    test::TempFolder folder;
    Win32RunTime runTime;
};

// Besides what every system answers alike: a file held as another program would,
// and a name Windows does not take.
TEST_F(Win32RunTimeTest, AnswersAsLinuxDoes) {
    test::WriteFile(folder / "held", {1, 2, 3});
    const HANDLE other = ::CreateFileA((folder / "held").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    using enum test::Call;
    using enum test::Words;
    test::ExpectSameFailures(
        {{"read of a held file", Read, folder / "held", ErrorCode::PermissionDenied, Any},
         {"write of a held file", Write, folder / "held", ErrorCode::PermissionDenied, Any},
         {"a name Windows refuses", Read, folder / "a<b", ErrorCode::BadFileName, Any}});
    ::CloseHandle(other);
    test::ExpectFullPaths(runTime);
    test::ExpectReadersShareAndAWriterWaits(runTime);
}

// Until published, the old file stands, and the new one is hidden beside it.
TEST_F(Win32RunTimeTest, ANewFileTakesItsNameOnlyWhenPublished) {
    const std::string target = folder / "target";
    test::WriteFile(target, {7, 7, 7});
    auto file = runTime.CreateOutput(target, Naming::ReplaceName);
    file->WriteAt(2, Bytes{3});
    file->WriteAt(0, Bytes{1, 2});
    EXPECT_EQ(test::ReadFile(target), (Bytes{7, 7, 7}));
    EXPECT_EQ(runTime.LookUpEntry(folder / ".tren-*", 0), "");
    EXPECT_NE(runTime.LookUpEntry(folder / ".tren-*", 2), "");
    file->Publish();
    file->Flush();
    file.reset();
    EXPECT_EQ(test::ReadFile(target), (Bytes{1, 2, 3}));
    EXPECT_EQ(runTime.LookUpEntry(folder / ".tren-*", 2), "") << "a temporary file was left";
    EXPECT_EQ(runTime.LookUpEntry(target, 0), "target") << "the hidden mark went with the name";
}

TEST_F(Win32RunTimeTest, KnowsAFileByItsIdentityAndEachKindOfEntry) {
    test::WriteFile(folder / "data", {1});
    EXPECT_EQ(runTime.Examine(folder / "data").Id, runTime.OpenInput(folder / "data")->Id());
    for (const auto& [path, kind] : {std::pair{folder / "data", EntryKind::Regular},
                                     {folder / "none", EntryKind::Missing},
                                     {folder / "no\\x", EntryKind::Missing},
                                     {folder.Path(), EntryKind::Folder},
                                     {std::string("NUL"), EntryKind::Other}})
        EXPECT_EQ(runTime.Examine(path).Kind, kind) << path;
}

// The lookup answers with the stored long name, whether asked by it or by the
// short name the system gave it, and skips the kinds of entry not asked for.
TEST_F(Win32RunTimeTest, LooksUpStoredNamesByShortNamesAndAttributes) {
    const std::string stored = folder / "A Long Report.doc.tr0";
    test::WriteFile(stored, {});
    test::WriteFile(folder / "hidden.tr0", {});
    ::SetFileAttributesA((folder / "hidden.tr0").c_str(), FILE_ATTRIBUTE_HIDDEN);
    char shortPath[MAX_PATH] = {};
    ASSERT_GT(::GetShortPathNameA(stored.c_str(), shortPath, MAX_PATH), 0u);
    ASSERT_NE(std::string(shortPath), stored) << "no short name was given";
    for (const auto& [path, attributes, name] :
         {std::tuple<std::string, int, std::string>{shortPath, 0, "A Long Report.doc.tr0"},
          {folder / "a long report.doc.tr0", 0, "A Long Report.doc.tr0"},
          {folder / "hidden.tr0", 0, ""},
          {folder / "hidden.tr0", 2, "hidden.tr0"},
          {folder.Path(), 0, ""},
          {folder.Path(), 16, folder.Path().substr(folder.Path().rfind('\\') + 1)},
          {folder / "none", 54, ""}})
        EXPECT_EQ(runTime.LookUpEntry(path, attributes), name) << path;
    EXPECT_EQ(MFileAssociations::GetLongPath(shortPath, runTime), stored);
}

} // namespace
} // namespace tren::platform
