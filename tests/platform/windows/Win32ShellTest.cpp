#include "platform/windows/Win32Shell.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tren::platform {
namespace {

// A shell that answers as told and keeps what it was handed.
class AnsweringShell : public ShellCalls {
  public:
    bool chooses = true;
    std::string writes; // the bytes put into the path buffer, NULs and all

    BROWSEINFOA asked{};
    std::string askedTitle;
    bool bufferWasEmpty = false;
    std::vector<void*> freed;
    ITEMIDLIST item{};

    struct Execution {
        HWND owner;
        const char* verb;
        std::string file;
        const char* parameters;
        const char* directory;
        int show;
    };
    std::vector<Execution> executed;
    INT_PTR answer = 0;

    LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info) override {
        asked = *info;
        askedTitle = info->lpszTitle ? info->lpszTitle : "(null)";
        return chooses ? &item : nullptr;
    }
    BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, char* path) override {
        EXPECT_EQ(list, &item);
        bufferWasEmpty = std::all_of(path, path + MAX_PATH, [](char c) { return c == '\0'; });
        std::copy(writes.begin(), writes.end(), path);
        return !writes.empty();
    }
    void CoTaskMemFree(void* memory) override { freed.push_back(memory); }
    HINSTANCE ShellExecuteA(HWND owner, const char* verb, const char* file, const char* parameters,
                            const char* directory, int show) override {
        executed.push_back({owner, verb, file, parameters, directory, show});
        return reinterpret_cast<HINSTANCE>(answer);
    }
};

struct PickCase {
    const char* name;
    bool chooses;
    std::string writes;
    std::string result;
    friend void PrintTo(const PickCase& c, std::ostream* os) { *os << c.name; }
};

class BrowseTest : public testing::TestWithParam<PickCase> {};

TEST_P(BrowseTest, AsksForFileSystemFoldersAndGivesThePathUpToItsNul) {
    const auto& c = GetParam();
    AnsweringShell shell;
    shell.chooses = c.chooses;
    shell.writes = c.writes;
    const HWND owner = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(BrowseForFolderA(owner, "Select directory to tren to...", shell), c.result);

    EXPECT_EQ(shell.asked.hwndOwner, owner);
    EXPECT_EQ(shell.askedTitle, "Select directory to tren to...");
    EXPECT_EQ(shell.asked.ulFlags, 1u);
    EXPECT_FALSE(shell.asked.pidlRoot || shell.asked.pszDisplayName || shell.asked.lpfn ||
                 shell.asked.lParam || shell.asked.iImage);
    if (c.chooses) {
        EXPECT_TRUE(shell.bufferWasEmpty);
        EXPECT_EQ(shell.freed, std::vector<void*>{&shell.item});
    } else {
        EXPECT_TRUE(shell.freed.empty()) << "a list never given was freed";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Picks, BrowseTest,
    testing::Values(PickCase{"cancelled", false, "", ""},
                    PickCase{"folder", true, std::string("C:\\TEMP\0", 8), "C:\\TEMP"},
                    PickCase{"drive_root", true, std::string("C:\\\0", 4), "C:\\"},
                    // The shell fails and leaves the buffer as it was.
                    PickCase{"no_file_system_path", true, "", ""},
                    PickCase{"cut_at_first_nul", true, std::string("C:\\A\0C:\\B\0", 10), "C:\\A"},
                    PickCase{"longest_path", true, std::string(259, 'x') + '\0',
                             std::string(259, 'x')}),
    [](const auto& info) { return std::string(info.param.name); });

struct OpenCase {
    const char* name;
    const char* address;
    INT_PTR answer;
    friend void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }
};

class OpenAddressTest : public testing::TestWithParam<OpenCase> {};

// Directly and as the desktop: no owner, verb, parameters or folder, shown
// normally, and the shell's answer given back unchanged.
TEST_P(OpenAddressTest, HandsTheAddressAloneToTheShellAndGivesBackItsAnswer) {
    const auto& c = GetParam();
    AnsweringShell shell;
    shell.answer = c.answer;
    Win32Desktop desktop(shell);
    EXPECT_EQ(ShellOpenAddress(c.address, shell), c.answer);
    EXPECT_EQ(desktop.OpenAddress(c.address), c.answer);
    ASSERT_EQ(shell.executed.size(), 2u);
    for (const auto& e : shell.executed) {
        EXPECT_EQ(e.owner, nullptr);
        EXPECT_EQ(e.verb, nullptr);
        EXPECT_EQ(e.file, c.address);
        EXPECT_EQ(e.parameters, nullptr);
        EXPECT_EQ(e.directory, nullptr);
        EXPECT_EQ(e.show, SW_SHOWNORMAL);
    }
}

INSTANTIATE_TEST_SUITE_P(Addresses, OpenAddressTest,
                         testing::Values(OpenCase{"opened", "mailto:someone@example.com", 42},
                                         OpenCase{"no_association", "mailto:", SE_ERR_NOASSOC},
                                         OpenCase{"out_of_memory", "http://http://example.com", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tren::platform
