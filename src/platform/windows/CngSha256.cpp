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

BCRYPT_ALG_HANDLE Algorithm() {
    static const BCRYPT_ALG_HANDLE algorithm = [] {
        BCRYPT_ALG_HANDLE handle = nullptr;
        if (!Succeeded(::BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
            return BCRYPT_ALG_HANDLE{};
        return handle;
    }();
    if (algorithm == nullptr)
        Fail("the system offers no SHA-256");
    return algorithm;
}

class CngSha256 final : public Hasher {
  public:
    CngSha256() {
        DWORD size = 0, got = 0;
        if (!Succeeded(::BCryptGetProperty(Algorithm(), BCRYPT_OBJECT_LENGTH,
                                           reinterpret_cast<PUCHAR>(&size), sizeof size, &got, 0)))
            Fail("the system's SHA-256 cannot be used");
        object_.resize(size);
        if (!Succeeded(
                ::BCryptCreateHash(Algorithm(), &hash_, object_.data(), size, nullptr, 0, 0)))
            Fail("the system's SHA-256 cannot be used");
    }
    CngSha256(const CngSha256&) = delete;
    CngSha256& operator=(const CngSha256&) = delete;
    ~CngSha256() override { ::BCryptDestroyHash(hash_); }

    void Add(std::span<const std::uint8_t> bytes) override {
        while (!bytes.empty()) {
            const auto count = static_cast<ULONG>(std::min<std::size_t>(bytes.size(), 1u << 30));
            if (!Succeeded(::BCryptHashData(hash_, const_cast<PUCHAR>(bytes.data()), count, 0)))
                Fail("the system's SHA-256 failed");
            bytes = bytes.subspan(count);
        }
    }

    std::array<std::uint8_t, 32> Finish() override {
        std::array<std::uint8_t, 32> digest{};
        if (!Succeeded(::BCryptFinishHash(hash_, digest.data(), digest.size(), 0)))
            Fail("the system's SHA-256 failed");
        return digest;
    }

  private:
    std::vector<UCHAR> object_;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
};

} // namespace

std::unique_ptr<Hasher> NewCngSha256() {
    return std::make_unique<CngSha256>();
}

} // namespace tren::platform
