#pragma once

#include "platform/RunTime.h"

namespace tren::platform {

// SHA-256 from OpenSSL's libcrypto.
std::unique_ptr<Hasher> NewOpenSslSha256();
// MD5 from the same library.
std::unique_ptr<Md5Hasher> NewOpenSslMd5();

} // namespace tren::platform
