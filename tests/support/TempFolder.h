#pragma once

#include "platform/Paths.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tren::test {

// A fresh folder under the system's temporary folder, removed with everything in
// it when the object goes. Paths it gives end without a separator.
class TempFolder {
  public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const {
        return path_ + platform::PathSeparator + name;
    }

  private:
    std::string path_;
};

std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed);
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadFile(const std::string& path);

} // namespace tren::test
