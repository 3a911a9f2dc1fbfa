#include "platform/linux/Sha256.h"

#include "platform/RunTimeError.h"

#include <openssl/err.h>
#include <openssl/evp.h>

namespace tren::platform {

namespace {

// One libcrypto digest behind the interface of its length.
template <class Interface, std::size_t Length> class OpenSslDigest final : public Interface {
  public:
    explicit OpenSslDigest(const EVP_MD* kind) : context_(EVP_MD_CTX_new()) {
        if (context_ == nullptr || EVP_DigestInit_ex(context_, kind, nullptr) != 1)
            Fail();
    }
    OpenSslDigest(const OpenSslDigest&) = delete;
    OpenSslDigest& operator=(const OpenSslDigest&) = delete;
    ~OpenSslDigest() override { EVP_MD_CTX_free(context_); }

    void Add(std::span<const std::uint8_t> bytes) override {
        if (EVP_DigestUpdate(context_, bytes.data(), bytes.size()) != 1)
            Fail();
    }

    std::array<std::uint8_t, Length> Finish() override {
        std::array<std::uint8_t, Length> digest{};
        unsigned int length = 0;
        if (EVP_DigestFinal_ex(context_, digest.data(), &length) != 1 || length != digest.size())
            Fail();
        return digest;
    }

  private:
    [[noreturn]] static void Fail() {
        char reason[256] = "libcrypto";
        if (const unsigned long error = ERR_get_error(); error != 0)
            ERR_error_string_n(error, reason, sizeof reason);
        throw RunTimeError(ErrorCode::OutOfMemory, "Cannot compute a checksum", {}, reason);
    }

    EVP_MD_CTX* context_;
};

} // namespace

std::unique_ptr<Hasher> NewOpenSslSha256() {
    return std::make_unique<OpenSslDigest<Hasher, 32>>(EVP_sha256());
}

std::unique_ptr<Md5Hasher> NewOpenSslMd5() {
    return std::make_unique<OpenSslDigest<Md5Hasher, 16>>(EVP_md5());
}

} // namespace tren::platform
