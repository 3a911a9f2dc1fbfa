#include "platform/windows/ConsoleInterruption.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace tren::platform {

namespace {

// The console's handler runs on a thread of its own: the names are shared under
// a lock.
std::mutex& Guard() {
    static std::mutex guard;
    return guard;
}

std::vector<std::string>& Names() {
    static std::vector<std::string> names;
    return names;
}

BOOL WINAPI OnConsoleStop(DWORD) {
    std::lock_guard lock(Guard());
    // The files were opened sharing deletion: the names go now, the files with
    // the process.
    for (const auto& name : Names())
        ::DeleteFileA(name.c_str());
    Names().clear();
    return FALSE;
}

} // namespace

RemovalOnInterrupt::RemovalOnInterrupt(const std::string& path) : path_(path) {
    std::lock_guard lock(Guard());
    static const bool installed = ::SetConsoleCtrlHandler(OnConsoleStop, TRUE) != FALSE;
    (void)installed;
    Names().push_back(path_);
    held_ = true;
}

void RemovalOnInterrupt::Release() noexcept {
    if (!held_)
        return;
    held_ = false;
    std::lock_guard lock(Guard());
    auto& names = Names();
    if (const auto found = std::find(names.begin(), names.end(), path_); found != names.end())
        names.erase(found);
}

} // namespace tren::platform
