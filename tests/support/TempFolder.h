#pragma once

#include "platform/Paths.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace tren::test {

// A fresh folder under the system's temporary folder, removed with everything in
// it when the object goes. Paths it gives end without a separator.
class TempFolder {
  public:
    TempFolder() {
        static std::mt19937_64 generator{std::random_device{}()};
        const auto path =
            std::filesystem::temp_directory_path() / ("tren-test-" + std::to_string(generator()));
        // One that exists already is another's, never to be shared nor removed.
        if (!std::filesystem::create_directory(path))
            throw std::runtime_error("cannot make a temporary folder");
        path_ = path.string();
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const {
        return path_ + platform::PathSeparator + name;
    }

  private:
    std::string path_;
};

inline std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::vector<std::uint8_t> bytes(count);
    for (auto& byte : bytes)
        byte = static_cast<std::uint8_t>(generator());
    return bytes;
}

inline void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

inline std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace tren::test
