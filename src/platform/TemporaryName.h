#pragma once

#include <string>

namespace tren::platform {

// A fresh hidden name beside target, ".tren-" and ten random letters or digits:
// short, so that it fits wherever the target's own name fits.
std::string TemporaryName(const std::string& target);

} // namespace tren::platform
