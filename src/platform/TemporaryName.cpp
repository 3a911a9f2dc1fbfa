#include "platform/TemporaryName.h"

#include "platform/Paths.h"

#include <random>

namespace tren::platform {

std::string TemporaryName(const std::string& target) {
    static std::mt19937_64 generator{std::random_device{}()};
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = FolderOf(target) + ".tren-";
    for (int i = 0; i < 10; ++i)
        name += digits[generator() % (sizeof digits - 1)];
    return name;
}

} // namespace tren::platform
