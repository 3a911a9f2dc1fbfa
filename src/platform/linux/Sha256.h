#pragma once

#include "platform/RunTime.h"

namespace tren::platform {

// SHA-256 from OpenSSL's libcrypto.
std::unique_ptr<Hasher> NewOpenSslSha256();

} // namespace tren::platform
