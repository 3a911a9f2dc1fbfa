#include "platform/RemovalOnInterrupt.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace tren::platform {

namespace {

// Read by the signal handler, so fixed storage and atomic flags only. A run holds
// at most two temporary names at once.
constexpr int Slots = 8;
char names[Slots][PATH_MAX];
std::atomic<bool> used[Slots];

void RemoveAndEnd(int signal) {
    for (int i = 0; i < Slots; ++i)
        if (used[i].load())
            ::unlink(names[i]);
    // SA_RESETHAND has put the default action back: end as the signal would.
    ::raise(signal);
}

void InstallOnce() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction old {};
            if (::sigaction(signal, nullptr, &old) != 0)
                continue;
            // A signal someone ignores (nohup) or handles stays theirs.
            if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL)
                continue;
            struct sigaction action {};
            action.sa_handler = RemoveAndEnd;
            sigemptyset(&action.sa_mask);
            action.sa_flags = SA_RESETHAND;
            ::sigaction(signal, &action, nullptr);
        }
    });
}

std::mutex slotsTaken;

} // namespace

RemovalOnInterrupt::RemovalOnInterrupt(const std::string& path) {
    if (path.size() >= PATH_MAX)
        return;
    InstallOnce();
    std::lock_guard lock(slotsTaken);
    for (int i = 0; i < Slots; ++i) {
        if (!used[i].load()) {
            std::memcpy(names[i], path.c_str(), path.size() + 1);
            used[i].store(true);
            slot_ = i;
            return;
        }
    }
}

void RemovalOnInterrupt::Release() noexcept {
    if (slot_ >= 0) {
        used[slot_].store(false);
        slot_ = -1;
    }
}

} // namespace tren::platform
