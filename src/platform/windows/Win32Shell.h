#pragma once

#include "platform/Controls.h"

#include <windows.h>

#include <shlobj.h>

#include <cstdint>
#include <string>

namespace tren::platform {

// The shell calls behind one seam, so tests can answer them. Each returns as the
// call does.
class ShellCalls {
  public:
    virtual ~ShellCalls() = default;

    virtual LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info);
    virtual BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, char* path);
    virtual void CoTaskMemFree(void* memory);
    virtual HINSTANCE ShellExecuteA(HWND owner, const char* verb, const char* file,
                                    const char* parameters, const char* directory, int show);
};

// The calls as the system makes them.
ShellCalls& RealShellCalls();

// The shell's folder picker, modal to owner: the folder's path, or "" (cancel, or
// no file-system path). COM must be initialised on this thread.
std::string BrowseForFolderA(HWND owner, const std::string& title,
                             ShellCalls& calls = RealShellCalls());

// Hands address to the shell's default handler: ShellExecuteA's result, above 32
// on success.
std::int32_t ShellOpenAddress(const std::string& address, ShellCalls& calls = RealShellCalls());

// The desktop as the Windows shell: addresses go to ShellOpenAddress.
class Win32Desktop final : public Desktop {
  public:
    explicit Win32Desktop(ShellCalls& calls = RealShellCalls()) : calls_(calls) {}
    std::int32_t OpenAddress(const std::string& address) override;

  private:
    ShellCalls& calls_;
};

// The shell's folder picker, modal to the window that asks.
class ShellFolderPicker final : public FolderPicker {
  public:
    explicit ShellFolderPicker(ShellCalls& calls = RealShellCalls()) : calls_(calls) {}
    std::string ChooseFolder(NativeWindow owner, const std::string& title) override {
        return BrowseForFolderA(static_cast<HWND>(owner), title, calls_);
    }

  private:
    ShellCalls& calls_;
};

} // namespace tren::platform
