#pragma once

#include <string>

namespace tren::platform {

// A file name to remove should the console stop the process (Ctrl+C, Ctrl+Break,
// the console closing) while it stands, so that a stopped run leaves no hidden
// temporary file behind. The process then ends as the console would have ended it.
class RemovalOnInterrupt {
  public:
    explicit RemovalOnInterrupt(const std::string& path);
    RemovalOnInterrupt(const RemovalOnInterrupt&) = delete;
    RemovalOnInterrupt& operator=(const RemovalOnInterrupt&) = delete;
    ~RemovalOnInterrupt() { Release(); }

    // The name is no longer ours to remove (it was renamed, or removed already).
    void Release() noexcept;

  private:
    std::string path_;
    bool held_ = false;
};

} // namespace tren::platform
