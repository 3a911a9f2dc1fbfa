#pragma once

#include <string>

namespace tren::platform {

// A file name to remove should the process be interrupted (SIGINT, SIGTERM,
// SIGHUP) while it stands, so that a stopped run leaves no hidden temporary file
// behind. The process then ends as the signal would have ended it.
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
