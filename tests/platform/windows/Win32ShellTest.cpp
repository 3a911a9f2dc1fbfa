#include "platform/windows/Win32Shell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace tren::platform {
namespace {

const HWND owner = reinterpret_cast<HWND>(0x1234);

// A shell that answers as told and checks what it is handed.
struct AnsweringShell : ShellCalls {
    bool chooses = true;
    std::string writes; // put into the path buffer, NULs and all
    std::vector<void*> freed;
    ITEMIDLIST item{};

    LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info) override {
        EXPECT_TRUE(info->hwndOwner == owner && info->ulFlags == BIF_RETURNONLYFSDIRS);
        EXPECT_STREQ(info->lpszTitle, "Select directory to tren to...");
        return chooses ? &item : nullptr;
    }
    BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, char* path) override {
        EXPECT_TRUE(list == &item && std::all_of(path, path + MAX_PATH, [](char c) { return !c; }));
        std::copy(writes.begin(), writes.end(), path);
        return !writes.empty();
    }
    void CoTaskMemFree(void* memory) override { freed.push_back(memory); }
    HINSTANCE ShellExecuteA(HWND window, const char* verb, const char* file, const char* parameters,
                            const char* directory, int show) override {
        EXPECT_TRUE(!window && !verb && !parameters && !directory && show == SW_SHOWNORMAL);
        EXPECT_STREQ(file, "mailto:someone@example.com");
        return reinterpret_cast<HINSTANCE>(SE_ERR_NOASSOC);
    }
};

// The buffer cleared first, the path given back up to its first NUL, a list given freed.
TEST(Win32ShellTest, BrowsesForAFileSystemFolder) {
    for (const auto& [chooses, writes, result] :
         {std::tuple<bool, std::string, std::string>{false, "", ""},
          {true, "", ""}, // no file-system path: the buffer is left as it was
          {true, std::string("C:\\A\0C:\\B\0", 10), "C:\\A"},
          {true, std::string(259, 'x') + '\0', std::string(259, 'x')}}) {
        AnsweringShell shell;
        std::tie(shell.chooses, shell.writes) = std::tie(chooses, writes);
        EXPECT_EQ(BrowseForFolderA(owner, "Select directory to tren to...", shell), result);
        EXPECT_EQ(shell.freed, std::vector<void*>(chooses, &shell.item));
    }
}

TEST(Win32ShellTest, OpensAnAddressAndGivesBackTheShellsAnswer) {
    AnsweringShell shell;
    EXPECT_EQ(Win32Desktop(shell).OpenAddress("mailto:someone@example.com"), SE_ERR_NOASSOC);
}

} // namespace
} // namespace tren::platform
