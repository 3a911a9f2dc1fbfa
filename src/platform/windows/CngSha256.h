#pragma once

#include "platform/RunTime.h"

namespace tren::platform {

// SHA-256 from the system's Cryptography API: Next Generation (bcrypt.dll).
std::unique_ptr<Hasher> NewCngSha256();
// MD5 from the same API.
std::unique_ptr<Md5Hasher> NewCngMd5();

} // namespace tren::platform
