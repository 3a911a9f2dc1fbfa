#pragma once

#include <string>

namespace tren::platform {

// A file name to remove should the process be stopped from outside while it
// stands (SIGINT, SIGTERM or SIGHUP on Linux; Ctrl+C, Ctrl+Break or the console
// closing on Windows), so that a stopped run leaves no hidden temporary file
// behind. The process then ends as it would have ended. Each system's run-time
// implements it.
class RemovalOnInterrupt {
  public:
    explicit RemovalOnInterrupt(const std::string& path);
    RemovalOnInterrupt(const RemovalOnInterrupt&) = delete;
    RemovalOnInterrupt& operator=(const RemovalOnInterrupt&) = delete;
    ~RemovalOnInterrupt() { Release(); }

    // The name is no longer ours to remove (it was renamed, or removed already).
    void Release() noexcept;

  private:
    int slot_ = -1;
};

} // namespace tren::platform
