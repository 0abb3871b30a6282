#include "records/ImageDigests.h"

#include <cstdio>
#include <vector>

#include <zlib.h>

#include "SFileImage.h"

#ifdef _WIN32
#include <windows.h>
// bcrypt.h needs the types of windows.h first.
#include <bcrypt.h>
#else
#include <openssl/evp.h>
#endif

namespace {

std::string Hex(const unsigned char* bytes, std::size_t count) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

#ifdef _WIN32
// SHA-256 through the system's own cryptography provider.
class Sha256 {
public:
    Sha256() {
        ok_ = BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0) >= 0 &&
              BCryptCreateHash(algorithm_, &hash_, nullptr, 0, nullptr, 0, 0) >= 0;
    }
    ~Sha256() {
        if (hash_ != nullptr) {
            BCryptDestroyHash(hash_);
        }
        if (algorithm_ != nullptr) {
            BCryptCloseAlgorithmProvider(algorithm_, 0);
        }
    }
    bool Update(const char* data, std::size_t size) {
        return ok_ && BCryptHashData(hash_, reinterpret_cast<PUCHAR>(const_cast<char*>(data)),
                                     static_cast<ULONG>(size), 0) >= 0;
    }
    bool Final(unsigned char (&digest)[32]) {
        return ok_ && BCryptFinishHash(hash_, digest, sizeof digest, 0) >= 0;
    }

private:
    BCRYPT_ALG_HANDLE algorithm_ = nullptr;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
    bool ok_ = false;
};
#else
// SHA-256 through OpenSSL's libcrypto.
class Sha256 {
public:
    Sha256() : context_(EVP_MD_CTX_new()) {
        ok_ = context_ != nullptr && EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) == 1;
    }
    ~Sha256() { EVP_MD_CTX_free(context_); }
    bool Update(const char* data, std::size_t size) {
        return ok_ && EVP_DigestUpdate(context_, data, size) == 1;
    }
    bool Final(unsigned char (&digest)[32]) {
        unsigned int length = 0;
        return ok_ && EVP_DigestFinal_ex(context_, digest, &length) == 1 && length == 32;
    }

private:
    EVP_MD_CTX* context_;
    bool ok_ = false;
};
#endif

}  // namespace

class Sha256Stream::Engine : public Sha256 {};

Sha256Stream::Sha256Stream() : engine_(std::make_unique<Engine>()) {}

Sha256Stream::~Sha256Stream() = default;

void Sha256Stream::Add(const char* data, std::size_t size) {
    failed_ = failed_ || !engine_->Update(data, size);
}

std::string Sha256Stream::Hex() {
    unsigned char bytes[32];
    if (failed_ || !engine_->Final(bytes)) {
        return {};
    }
    return ::Hex(bytes, sizeof bytes);
}

std::uint32_t RegionCrc32(const SFileImage& image, const RegionRow& row) {
    const RegionImage& region = image.Region(row.region);
    const std::uint32_t base = image.Area(row.region).start;
    std::vector<unsigned char> bytes;
    bytes.reserve(2u * row.span);
    for (std::uint32_t address = row.start; address <= row.end; ++address) {
        const std::uint32_t element = address - base;
        const std::uint16_t word = element < region.capacity ? region.words[element] : 0xFFFF;
        bytes.push_back(static_cast<unsigned char>(word & 0xFF));
        bytes.push_back(static_cast<unsigned char>(word >> 8));
    }
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, bytes.data(), static_cast<uInt>(bytes.size()));
    return static_cast<std::uint32_t>(crc);
}

std::string Crc32Text(std::uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(crc));
    return text;
}

std::string ShortSha256(const std::string& sha256, const std::string& other) {
    std::size_t digits = 4;
    while (digits < sha256.size() && other != sha256 &&
           other.compare(0, digits, sha256, 0, digits) == 0) {
        ++digits;
    }
    return sha256.substr(0, digits) + "…";
}
