#include "platform/RemovalOnInterrupt.h"

#include <windows.h>

#include <mutex>

namespace tren::platform {

namespace {

// The console's handler runs on a thread of its own: the names are shared under
// a lock. A run holds at most two temporary names at once.
constexpr int Slots = 8;
std::string names[Slots];
std::mutex guard;

BOOL WINAPI OnConsoleStop(DWORD) {
    std::lock_guard lock(guard);
    // The files were opened sharing deletion: the names go now, the files with
    // the process.
    for (auto& name : names)
        if (!name.empty())
            ::DeleteFileA(name.c_str());
    return FALSE;
}

} // namespace

RemovalOnInterrupt::RemovalOnInterrupt(const std::string& path) {
    std::lock_guard lock(guard);
    static const bool installed = ::SetConsoleCtrlHandler(OnConsoleStop, TRUE) != FALSE;
    (void)installed;
    for (int i = 0; i < Slots; ++i) {
        if (names[i].empty()) {
            names[i] = path;
            slot_ = i;
            return;
        }
    }
}

void RemovalOnInterrupt::Release() noexcept {
    if (slot_ < 0)
        return;
    std::lock_guard lock(guard);
    names[slot_].clear();
    slot_ = -1;
}

} // namespace tren::platform
