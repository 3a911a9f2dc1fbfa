#include "platform/windows/CngSha256.h"

#include "platform/RunTimeError.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <vector>

namespace tren::platform {

namespace {

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

[[noreturn]] void Fail(const char* what) {
    throw RunTimeError(ErrorCode::OutOfMemory, "Cannot compute a checksum", {}, what);
}

// Opened once per algorithm, for the life of the program.
BCRYPT_ALG_HANDLE Open(LPCWSTR name) {
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!Succeeded(::BCryptOpenAlgorithmProvider(&handle, name, nullptr, 0)))
        Fail("the system offers no such digest");
    return handle;
}

// One CNG digest behind the interface of its length.
template <class Interface, std::size_t Length> class CngDigest final : public Interface {
  public:
    explicit CngDigest(BCRYPT_ALG_HANDLE algorithm) {
        DWORD size = 0, got = 0;
        if (!Succeeded(::BCryptGetProperty(algorithm, BCRYPT_OBJECT_LENGTH,
                                           reinterpret_cast<PUCHAR>(&size), sizeof size, &got, 0)))
            Fail("the system's digest cannot be used");
        object_.resize(size);
        if (!Succeeded(::BCryptCreateHash(algorithm, &hash_, object_.data(), size, nullptr, 0, 0)))
            Fail("the system's digest cannot be used");
    }
    CngDigest(const CngDigest&) = delete;
    CngDigest& operator=(const CngDigest&) = delete;
    ~CngDigest() override { ::BCryptDestroyHash(hash_); }

    void Add(std::span<const std::uint8_t> bytes) override {
        while (!bytes.empty()) {
            const auto count = static_cast<ULONG>(std::min<std::size_t>(bytes.size(), 1u << 30));
            if (!Succeeded(::BCryptHashData(hash_, const_cast<PUCHAR>(bytes.data()), count, 0)))
                Fail("the system's digest failed");
            bytes = bytes.subspan(count);
        }
    }

    std::array<std::uint8_t, Length> Finish() override {
        std::array<std::uint8_t, Length> digest{};
        if (!Succeeded(::BCryptFinishHash(hash_, digest.data(), digest.size(), 0)))
            Fail("the system's digest failed");
        return digest;
    }

  private:
    std::vector<UCHAR> object_;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
};

} // namespace

std::unique_ptr<Hasher> NewCngSha256() {
    static const BCRYPT_ALG_HANDLE algorithm = Open(BCRYPT_SHA256_ALGORITHM);
    return std::make_unique<CngDigest<Hasher, 32>>(algorithm);
}

std::unique_ptr<Md5Hasher> NewCngMd5() {
    static const BCRYPT_ALG_HANDLE algorithm = Open(BCRYPT_MD5_ALGORITHM);
    return std::make_unique<CngDigest<Md5Hasher, 16>>(algorithm);
}

} // namespace tren::platform
