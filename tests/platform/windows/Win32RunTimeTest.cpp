#include "platform/windows/Win32RunTime.h"

#include "shell/MFileAssociations.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace tren::platform {
namespace {

using test::ReadFile;
using test::WriteFile;
using Bytes = std::vector<std::uint8_t>;

class Win32RunTimeTest : public testing::Test {
  protected:
    test::TempFolder folder;
    Win32RunTime runTime;

    std::string At(const std::string& name) const { return folder.Path() + "\\" + name; }

    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
            names.push_back(entry.path().filename().string());
        return names;
    }
};

struct FailureCase {
    const char* name;
    std::function<void(Win32RunTime&, const std::string& folder)> call;
    ErrorCode code;
    const char* names; // the file the message must name, under the folder
    const char* says;  // part of the system's own message
};

class Win32FailureTest : public Win32RunTimeTest,
                         public testing::WithParamInterface<FailureCase> {};

// Each failure carries the run-time library's code, the file and the system's text.
TEST_P(Win32FailureTest, CarriesTheCodeTheFileAndTheSystemsMessage) {
    WriteFile(At("held"), {1, 2, 3});
    // Held by another handle that shares nothing, as another program would.
    const HANDLE other = ::CreateFileA(At("held").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    try {
        GetParam().call(runTime, folder.Path());
        ADD_FAILURE() << "no failure";
    } catch (const RunTimeError& failure) {
        EXPECT_EQ(failure.Code(), GetParam().code) << failure.Description();
        EXPECT_NE(failure.Description().find(At(GetParam().names)), std::string::npos)
            << failure.Description();
        EXPECT_NE(failure.Description().find(GetParam().says), std::string::npos)
            << failure.Description();
    }
    ::CloseHandle(other);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, Win32FailureTest,
    testing::Values(
        // The length of a missing file is "File not found", wherever the name fails.
        FailureCase{"length_of_missing_file",
                    [](Win32RunTime& r, const std::string& f) { r.FileLength(f + "\\none"); },
                    ErrorCode::FileNotFound, "none", "File not found"},
        FailureCase{"length_in_missing_folder",
                    [](Win32RunTime& r, const std::string& f) { r.FileLength(f + "\\no\\x"); },
                    ErrorCode::FileNotFound, "no\\x", "File not found"},
        FailureCase{"read_missing_file",
                    [](Win32RunTime& r, const std::string& f) { r.OpenInput(f + "\\none"); },
                    ErrorCode::FileNotFound, "none", "File not found"},
        FailureCase{"read_in_missing_folder",
                    [](Win32RunTime& r, const std::string& f) { r.OpenInput(f + "\\no\\x"); },
                    ErrorCode::PathNotFound, "no\\x", "Path not found"},
        FailureCase{"read_held_without_sharing",
                    [](Win32RunTime& r, const std::string& f) { r.OpenInput(f + "\\held"); },
                    ErrorCode::PermissionDenied, "held", "Permission denied"},
        FailureCase{"replace_held_without_sharing",
                    [](Win32RunTime& r, const std::string& f) {
                        r.CreateOutput(f + "\\held", Naming::ReplaceName);
                    },
                    ErrorCode::PermissionDenied, "held", "Permission denied"},
        FailureCase{"write_over_folder",
                    [](Win32RunTime& r, const std::string& f) {
                        r.CreateFolder(f + "\\sub");
                        r.CreateOutput(f + "\\sub", Naming::ReplaceName);
                    },
                    ErrorCode::PathFileAccess, "sub", "it is a folder"},
        FailureCase{"read_folder",
                    [](Win32RunTime& r, const std::string& f) {
                        r.CreateFolder(f + "\\sub");
                        r.OpenInput(f + "\\sub");
                    },
                    ErrorCode::PathFileAccess, "sub", "it is a folder"},
        FailureCase{"invalid_name",
                    [](Win32RunTime& r, const std::string& f) { r.OpenInput(f + "\\a<b"); },
                    ErrorCode::BadFileName, "a<b", "Bad file name"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Win32RunTimeTest, ANewFileTakesItsNameOnlyWhenPublished) {
    WriteFile(At("target"), {7, 7, 7});
    {
        auto dropped = runTime.CreateOutput(At("target"), Naming::ReplaceName);
        dropped->WriteAt(0, Bytes{1, 2});
    }
    EXPECT_EQ(ReadFile(At("target")), (Bytes{7, 7, 7}));
    EXPECT_EQ(Entries(), std::vector<std::string>{"target"}) << "a temporary file was left";

    auto file = runTime.CreateOutput(At("target"), Naming::ReplaceName);
    file->WriteAt(2, Bytes{3});
    file->WriteAt(0, Bytes{1, 2});
    // Until published, the old file stands, and the new one is hidden beside it.
    EXPECT_EQ(ReadFile(At("target")), (Bytes{7, 7, 7}));
    EXPECT_EQ(runTime.LookUpEntry(folder.Path() + "\\.tren-*", 0), "");
    EXPECT_NE(runTime.LookUpEntry(folder.Path() + "\\.tren-*", 2), "");
    file->Flush();
    file->Publish();
    file->Flush();
    file.reset();
    EXPECT_EQ(ReadFile(At("target")), (Bytes{1, 2, 3}));
    EXPECT_EQ(Entries(), std::vector<std::string>{"target"});
    // The hidden mark stayed with the temporary name.
    EXPECT_EQ(runTime.LookUpEntry(At("target"), 0), "target");
}

TEST_F(Win32RunTimeTest, ReadsAtOffsetsAndKnowsAFileByItsIdentity) {
    const Bytes bytes = test::RandomBytes(5000, 1);
    WriteFile(At("data"), bytes);
    const auto file = runTime.OpenInput(At("data"));
    EXPECT_EQ(file->Length(), 5000);
    Bytes tail(100);
    EXPECT_EQ(file->ReadAt(4950, tail), 50u);
    EXPECT_TRUE(std::equal(tail.begin(), tail.begin() + 50, bytes.end() - 50));
    EXPECT_EQ(runTime.Examine(At("data")).Kind, EntryKind::Regular);
    EXPECT_EQ(runTime.Examine(At("data")).Id, file->Id());
    EXPECT_EQ(runTime.Examine(At("none")).Kind, EntryKind::Missing);
    EXPECT_EQ(runTime.Examine(At("no\\x")).Kind, EntryKind::Missing);
    EXPECT_EQ(runTime.Examine(folder.Path()).Kind, EntryKind::Folder);
    EXPECT_EQ(runTime.Examine("NUL").Kind, EntryKind::Other);
}

// The lookup answers with the stored long name, whether asked by it or by the
// short name the system gave it, and skips the kinds of entry not asked for.
TEST_F(Win32RunTimeTest, LooksUpStoredNamesByShortNamesAndAttributes) {
    WriteFile(At("A Long Report.doc.tr0"), {});
    WriteFile(At("hidden.tr0"), {});
    ::SetFileAttributesA(At("hidden.tr0").c_str(), FILE_ATTRIBUTE_HIDDEN);
    char shortPath[MAX_PATH] = {};
    ASSERT_GT(::GetShortPathNameA(At("A Long Report.doc.tr0").c_str(), shortPath, MAX_PATH), 0u);
    ASSERT_NE(std::string(shortPath), At("A Long Report.doc.tr0")) << "no short name was given";

    struct {
        std::string path;
        int attributes;
        std::string stored;
    } const cases[] = {
        {shortPath, 0, "A Long Report.doc.tr0"},
        {At("a long report.doc.tr0"), 0, "A Long Report.doc.tr0"},
        {At("hidden.tr0"), 0, ""},
        {At("hidden.tr0"), 2, "hidden.tr0"},
        {folder.Path(), 0, ""},
        {folder.Path(), 16, std::filesystem::path(folder.Path()).filename().string()},
        {At("none"), 54, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(runTime.LookUpEntry(c.path, c.attributes), c.stored) << c.path;

    EXPECT_EQ(MFileAssociations::GetLongPath(shortPath, runTime), At("A Long Report.doc.tr0"));
}

TEST_F(Win32RunTimeTest, HashesWithTheSystemsSha256) {
    const auto hasher = runTime.NewSha256();
    const std::string abc = "abc";
    hasher->Add({reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size()});
    const auto digest = hasher->Finish();
    const std::array<std::uint8_t, 4> start{0xba, 0x78, 0x16, 0xbf};
    EXPECT_TRUE(std::equal(start.begin(), start.end(), digest.begin()));
    EXPECT_EQ(digest[31], 0xad);
}

TEST_F(Win32RunTimeTest, KnowsTheProgramAndTheDefaultFolder) {
    EXPECT_EQ(runTime.DefaultFolder(), "C:\\TEMP");
    const std::string program = runTime.ProgramPath();
    EXPECT_EQ(program.substr(program.size() - 14), "tren_tests.exe");
    EXPECT_EQ(runTime.LookUpEntry(program, 0), "tren_tests.exe");
}

} // namespace
} // namespace tren::platform
