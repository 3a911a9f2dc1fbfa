#include "platform/windows/Win32RunTime.h"

#include "shell/MFileAssociations.h"
#include "support/RunTimeContract.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <thread>
#include <tuple>

namespace tren::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

bool Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

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

TEST_F(Win32RunTimeTest, RefusesTheNamesNoWindowsDiskTakes) {
    const std::string device = " is a device name on Windows";
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"",
         {"report.doc.tr1", "grüße .tr0", ".tren-0123456789", "CONSOLE.tr0", "COM10", "LPT0.txt",
          "my con.txt", "nul-and-void"}},
        {"the characters \" * : < > ? \\ / | and control characters are not allowed in a file name "
         "on Windows",
         {"a<b", "a>b", "a:b", "a\"b", "a/b", "a\\b", "a|b", "a?b", "a*b", "tab\tin", "a\x1f"}},
        {"a name ending in a dot or a blank is not allowed on Windows", {"notes.", "notes ", ".."}},
        {"CON" + device, {"CON", "con.txt", "Con .tr0"}},
        {"LPT9" + device, {"lpt9.tar.gz"}},
        {"COM\xC2\xB9" + device, {"com\xC2\xB9"}}};
    for (const auto& [why, names] : cases)
        for (const std::string& name : names)
            EXPECT_EQ(runTime.NameRefusal(folder.Path(), name), why) << name;
    for (const char* name : {"PRN", "AUX", "NUL", "COM1", "LPT1"})
        EXPECT_EQ(runTime.NameRefusal(folder.Path(), name), name + device);
}

// Times keep to the system's clock tick: each change waits for the next.
TEST_F(Win32RunTimeTest, AStampMovesWithAWriteAndTheChangeTimeWithAnyChange) {
    const std::string data = folder / "data";
    test::WriteFile(data, {1, 2, 3});
    const auto after = [&](const std::function<void()>& change) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        change();
        return runTime.OpenInput(data)->Stamp();
    };
    const FileStamp first = after([] {}), again = after([] {});
    const FileStamp written = after([&] { test::WriteFile(data, {3, 2, 1}); });
    const FileStamp readOnly =
        after([&] { ::SetFileAttributesA(data.c_str(), FILE_ATTRIBUTE_READONLY); });
    ::SetFileAttributesA(data.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(first == again && first.Length == 3 && written.Modified != first.Modified &&
                written.Changed != first.Changed && readOnly.Modified == written.Modified);
    EXPECT_NE(readOnly.Changed, written.Changed) << "the change time is only the write time";
}

TEST_F(Win32RunTimeTest, MeasuresTheRoomLeftAndTheCluster) {
    const DiskSpace space = runTime.SpaceOf(folder.Path());
    EXPECT_GT(space.Free, 0);
    EXPECT_TRUE(space.Unit >= 512 && (space.Unit & (space.Unit - 1)) == 0) << space.Unit;
}

// A live run holds its file open; a killed one (here, its DeleteFileA fails) leaves
// nothing, as the system removes it; a dead run's that was left opens alone.
TEST_F(Win32RunTimeTest, RemovesWhatDeadRunsLeftAndNothingElse) {
    const std::string dead = folder / ".tren-0123456789";
    test::WriteFile(dead, {1});
    test::WriteFile(folder / ".tren-notes", {2});
    runTime.CreateFolder(folder / ".tren-abcdefghij");
    test::FaultyWin32Calls calls;
    calls.Failing = {"DeleteFileA"};
    Win32RunTime(calls).CreateOutput(folder / "killed", Naming::ReplaceName)->WriteAt(0, Bytes{1});
    auto live = runTime.CreateOutput(folder / "target", Naming::ReplaceName);
    const auto leftovers = [&](bool remove) { return runTime.Leftovers(folder.Path(), remove); };
    EXPECT_EQ((std::vector{leftovers(false), leftovers(true), leftovers(false)}),
              (std::vector{1, 1, 0}));
    EXPECT_TRUE(!Exists(dead) && Exists(folder / ".tren-notes") &&
                Exists(folder / ".tren-abcdefghij"));
    live->Publish();
    EXPECT_TRUE(Exists(folder / "target")) << "the live run's file was taken";
}

// A byte-range lock is its handle's: another one is another holder, gone once told.
TEST_F(Win32RunTimeTest, TellsOfWaitingOnlyWhenAnotherHoldsTheLock) {
    using enum LockKind;
    const std::tuple<LockKind, LockKind, int> cases[] = {
        {Shared, Shared, 0}, {Shared, Exclusive, 1}, {Exclusive, Shared, 1}};
    for (const auto& [held, asked, told] : cases) {
        auto other = runTime.LockFolder(folder.Path(), held);
        int waited = 0;
        runTime.LockFolder(folder.Path(), asked, [&] { ++waited, other.reset(); });
        EXPECT_EQ(waited, told) << int(held) << " held, " << int(asked) << " asked";
    }
}

// Under Wine the Recycle Bin is the freedesktop trash of the scripts' scratch home.
TEST_F(Win32RunTimeTest, MovesAFileToTheRecycleBin) {
    struct Watched : test::FaultyWin32Calls {
        FILEOP_FLAGS flags = 0;
        int SHFileOperationW(SHFILEOPSTRUCTW* operation) override {
            return flags = operation->fFlags, ERROR_ACCESS_DENIED; // nothing moved
        }
    } calls;
    const std::string name = folder.Path().substr(folder.Path().rfind('\\') + 1) + ".old";
    test::WriteFile(folder / name, {1});
    EXPECT_THROW(Win32RunTime(calls).MoveToTrash(folder / name), RunTimeError);
    EXPECT_TRUE((calls.flags & FOF_ALLOWUNDO) && (calls.flags & FOF_WANTNUKEWARNING));
    EXPECT_TRUE(runTime.HasTrash(folder / name));
    const char* data = std::getenv("XDG_DATA_HOME");
    if (!data)
        GTEST_SKIP() << "no scratch XDG_DATA_HOME: the file would go to a real Recycle Bin";
    runTime.MoveToTrash(folder / name);
    EXPECT_TRUE(!Exists(folder / name) &&
                Exists("Z:" + std::string(data) + "/Trash/files/" + name));
}

// A failure names its file, and neither loses one nor leaves one behind.
TEST_F(Win32RunTimeTest, AFailureNamesItsFileAndCostsNoFile) {
    const std::string data = folder / "data", dead = folder / ".tren-0123456789",
                      none = folder / "-";
    test::WriteFile(data, {1});
    test::WriteFile(dead, {2});
    using Ask = std::function<void(RunTime&)>;
    const Ask trash = [&](RunTime& r) { r.MoveToTrash(data); };
    const std::tuple<const char*, std::string, Ask> cases[] = {
        {"SetFileInformationByHandle", none,
         [&](RunTime& r) { r.CreateOutput(none, Naming::ReplaceName); }},
        {"SetFileInformationByHandle", dead, [&](RunTime& r) { r.Leftovers(folder.Path(), true); }},
        {"GetDriveTypeA", data, trash},
        {"SHFileOperationW", data, trash},
        {"none", none, [&](RunTime& r) { r.MoveToTrash(none); }}};
    for (const auto& [call, path, ask] : cases) {
        test::FaultyWin32Calls calls;
        calls.Failing = {call};
        Win32RunTime failing(calls);
        try {
            ask(failing);
            ADD_FAILURE() << call << ": no failure";
        } catch (const RunTimeError& failure) {
            EXPECT_EQ(failure.Path(), path) << call << ": " << failure.Description();
        }
        EXPECT_TRUE(Exists(data) && Exists(dead) && !Exists(none)) << call;
    }
    EXPECT_EQ(runTime.LookUpEntry(folder / ".tren-*", 2), ".tren-0123456789") << "a file was left";
}

} // namespace
} // namespace tren::platform
