#include "platform/windows/Win32Shell.h"

#include <shellapi.h>

#include <algorithm>

namespace tren::platform {

LPITEMIDLIST ShellCalls::SHBrowseForFolderA(BROWSEINFOA* info) {
    return ::SHBrowseForFolderA(info);
}

BOOL ShellCalls::SHGetPathFromIDListA(LPCITEMIDLIST list, char* path) {
    return ::SHGetPathFromIDListA(list, path);
}

void ShellCalls::CoTaskMemFree(void* memory) {
    ::CoTaskMemFree(memory);
}

HINSTANCE ShellCalls::ShellExecuteA(HWND owner, const char* verb, const char* file,
                                    const char* parameters, const char* directory, int show) {
    return ::ShellExecuteA(owner, verb, file, parameters, directory, show);
}

ShellCalls& RealShellCalls() {
    static ShellCalls calls;
    return calls;
}

std::string BrowseForFolderA(HWND owner, const std::string& title, ShellCalls& calls) {
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    // title outlives the dialog: it is ours until we return.
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    const LPITEMIDLIST list = calls.SHBrowseForFolderA(&info);
    if (!list)
        return {};
    // The path's success is not asked: an item without a file-system path leaves
    // the buffer empty, and the result is then "".
    char path[MAX_PATH] = {};
    calls.SHGetPathFromIDListA(list, path);
    calls.CoTaskMemFree(list);
    return std::string(path, std::find(path, path + MAX_PATH, '\0'));
}

std::int32_t ShellOpenAddress(const std::string& address, ShellCalls& calls) {
    const HINSTANCE result =
        calls.ShellExecuteA(nullptr, nullptr, address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return static_cast<std::int32_t>(reinterpret_cast<INT_PTR>(result));
}

std::int32_t Win32Desktop::OpenAddress(const std::string& address) {
    return ShellOpenAddress(address, calls_);
}

} // namespace tren::platform
