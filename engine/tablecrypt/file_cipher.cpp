#include "engine/tablecrypt/file_cipher.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/rand.h>

#include <cstring>
#include <string>

namespace tablecrypt {

namespace {

// Larger than any cost a header may name (log2N <= 20, r <= 16), smaller than the machine.
constexpr std::uint64_t kScryptMemoryLimit = 3ull << 30;

void Require(bool ok, const char* what) {
    if (!ok) throw CryptoError(std::string("Cryptography failed: ") + what);
}

struct CipherContext {
    CipherContext() : ctx(EVP_CIPHER_CTX_new()) { Require(ctx != nullptr, "cipher context"); }
    ~CipherContext() { EVP_CIPHER_CTX_free(ctx); }
    CipherContext(const CipherContext&) = delete;
    CipherContext& operator=(const CipherContext&) = delete;
    EVP_CIPHER_CTX* ctx;
};

template <std::size_t Size>
std::array<unsigned char, Size> Hkdf(const MasterKey& master, std::string_view info) {
    EVP_KDF* kdf = EVP_KDF_fetch(nullptr, "HKDF", nullptr);
    Require(kdf != nullptr, "HKDF");
    EVP_KDF_CTX* ctx = EVP_KDF_CTX_new(kdf);
    EVP_KDF_free(kdf);
    Require(ctx != nullptr, "HKDF context");
    char digest[] = "SHA256";
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY,
                                          const_cast<unsigned char*>(master.data()), master.size()),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, const_cast<char*>(info.data()),
                                          info.size()),
        OSSL_PARAM_construct_end()};
    std::array<unsigned char, Size> out{};
    const int rc = EVP_KDF_derive(ctx, out.data(), out.size(), params);
    EVP_KDF_CTX_free(ctx);
    Require(rc == 1, "HKDF derive");
    return out;
}

// One block through an XTS context keyed for encryption or decryption.
void Transform(EVP_CIPHER_CTX* ctx, const std::array<unsigned char, 16>& tweak,
               const unsigned char* in, unsigned char* out) {
    int size = 0;
    Require(EVP_CipherInit_ex(ctx, nullptr, nullptr, nullptr, tweak.data(), -1) == 1 &&
                EVP_CipherUpdate(ctx, out, &size, in, kBlockSize) == 1,
            "block cipher");
}

// Keys `mac`, a context that its owner frees, for HMAC-SHA-256.
void InitHmac(EVP_MAC_CTX*& mac, const std::array<unsigned char, 32>& key) {
    EVP_MAC* hmac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    Require(hmac != nullptr, "HMAC");
    mac = EVP_MAC_CTX_new(hmac);
    EVP_MAC_free(hmac);
    char digest[] = "SHA256";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_construct_end()};
    Require(mac != nullptr && EVP_MAC_init(mac, key.data(), key.size(), params) == 1, "HMAC key");
}

// HMAC of a block's tweak (its number and the file's nonce) followed by `size` bytes.
std::array<unsigned char, 32> Hmac(EVP_MAC_CTX* mac, const std::array<unsigned char, 16>& tweak,
                                   const unsigned char* bytes, std::size_t size) {
    std::array<unsigned char, 32> out{};
    std::size_t written = 0;
    Require(EVP_MAC_init(mac, nullptr, 0, nullptr) == 1 &&
                EVP_MAC_update(mac, tweak.data(), tweak.size()) == 1 &&
                EVP_MAC_update(mac, bytes, size) == 1 &&
                EVP_MAC_final(mac, out.data(), &written, out.size()) == 1,
            "keyed check");
    return out;
}

Check Truncated(const std::array<unsigned char, 32>& mac) {
    Check check;
    std::memcpy(check.data(), mac.data(), check.size());
    return check;
}

// Zeroes a key when it leaves scope.
template <typename Bytes>
struct Wiped {
    Bytes bytes;
    ~Wiped() { OPENSSL_cleanse(bytes.data(), bytes.size()); }
};

}  // namespace

void RandomBytes(unsigned char* out, std::size_t size) {
    Require(RAND_bytes(out, static_cast<int>(size)) == 1, "random bytes");
}

PasswordKey DerivePasswordKey(std::string_view password, const Salt& salt, const KdfCost& cost) {
    PasswordKey key{};
    const int rc = EVP_PBE_scrypt(password.data(), password.size(), salt.data(), salt.size(),
                                  std::uint64_t{1} << cost.log2N, cost.r, cost.p,
                                  kScryptMemoryLimit, key.data(), key.size());
    Require(rc == 1, "scrypt");
    return key;
}

WrappedKey WrapKey(const MasterKey& master, const PasswordKey& key, std::string_view associated) {
    WrappedKey wrapped;
    wrapped.iv = RandomArray<decltype(wrapped.iv)>();
    CipherContext c;
    int size = 0;
    Require(
        EVP_EncryptInit_ex(c.ctx, EVP_aes_256_gcm(), nullptr, key.data(), wrapped.iv.data()) == 1 &&
            EVP_EncryptUpdate(c.ctx, nullptr, &size,
                              reinterpret_cast<const unsigned char*>(associated.data()),
                              static_cast<int>(associated.size())) == 1 &&
            EVP_EncryptUpdate(c.ctx, wrapped.sealed.data(), &size, master.data(),
                              static_cast<int>(master.size())) == 1 &&
            EVP_EncryptFinal_ex(c.ctx, wrapped.sealed.data() + size, &size) == 1 &&
            EVP_CIPHER_CTX_ctrl(c.ctx, EVP_CTRL_GCM_GET_TAG, wrapped.tag.size(),
                                wrapped.tag.data()) == 1,
        "key wrap");
    return wrapped;
}

bool UnwrapKey(const WrappedKey& wrapped, const PasswordKey& key, std::string_view associated,
               MasterKey& master) {
    CipherContext c;
    Wiped<MasterKey> opened{};
    int size = 0;
    auto tag = wrapped.tag;
    Require(
        EVP_DecryptInit_ex(c.ctx, EVP_aes_256_gcm(), nullptr, key.data(), wrapped.iv.data()) == 1 &&
            EVP_DecryptUpdate(c.ctx, nullptr, &size,
                              reinterpret_cast<const unsigned char*>(associated.data()),
                              static_cast<int>(associated.size())) == 1 &&
            EVP_DecryptUpdate(c.ctx, opened.bytes.data(), &size, wrapped.sealed.data(),
                              static_cast<int>(wrapped.sealed.size())) == 1 &&
            EVP_CIPHER_CTX_ctrl(c.ctx, EVP_CTRL_GCM_SET_TAG, tag.size(), tag.data()) == 1,
        "key unwrap");
    // Final fails exactly when the tag does not match: another password.
    if (EVP_DecryptFinal_ex(c.ctx, opened.bytes.data() + size, &size) != 1) return false;
    master = opened.bytes;
    return true;
}

std::array<unsigned char, 32> Sha256(std::string_view bytes) {
    std::array<unsigned char, 32> digest{};
    Require(
        EVP_Digest(bytes.data(), bytes.size(), digest.data(), nullptr, EVP_sha256(), nullptr) == 1,
        "SHA-256");
    return digest;
}

bool SameCheck(const Check& a, const Check& b) {
    return CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

struct BlockCipher::Contexts {
    CipherContext encrypt;
    CipherContext decrypt;
    EVP_MAC_CTX* pageMac = nullptr;
    EVP_MAC_CTX* blockMac = nullptr;
    ~Contexts() {
        EVP_MAC_CTX_free(pageMac);
        EVP_MAC_CTX_free(blockMac);
    }
};

BlockCipher::BlockCipher(const MasterKey& master, const Nonce& nonce)
    : nonce_(nonce), contexts_(std::make_unique<Contexts>()) {
    const Wiped<std::array<unsigned char, 64>> xtsKey{
        Hkdf<64>(master, "table blocks: AES-256-XTS")};
    const Wiped<std::array<unsigned char, 32>> pageKey{
        Hkdf<32>(master, "table pages: HMAC-SHA-256")};
    const Wiped<std::array<unsigned char, 32>> blockKey{
        Hkdf<32>(master, "auxiliary blocks: HMAC-SHA-256")};
    Require(EVP_EncryptInit_ex(contexts_->encrypt.ctx, EVP_aes_256_xts(), nullptr,
                               xtsKey.bytes.data(), nullptr) == 1 &&
                EVP_DecryptInit_ex(contexts_->decrypt.ctx, EVP_aes_256_xts(), nullptr,
                                   xtsKey.bytes.data(), nullptr) == 1,
            "XTS key");
    InitHmac(contexts_->pageMac, pageKey.bytes);
    InitHmac(contexts_->blockMac, blockKey.bytes);
}

BlockCipher::~BlockCipher() = default;

std::array<unsigned char, 16> BlockCipher::Tweak(std::uint64_t block) const {
    std::array<unsigned char, 16> tweak{};
    for (int i = 0; i < 8; ++i) tweak[i] = static_cast<unsigned char>(block >> (8 * i));
    std::memcpy(tweak.data() + 8, nonce_.data(), nonce_.size());
    return tweak;
}

void BlockCipher::Encrypt(std::uint64_t block, const unsigned char* in, unsigned char* out) {
    Transform(contexts_->encrypt.ctx, Tweak(block), in, out);
}

void BlockCipher::Decrypt(std::uint64_t block, const unsigned char* in, unsigned char* out) {
    Transform(contexts_->decrypt.ctx, Tweak(block), in, out);
}

std::array<unsigned char, 32> BlockCipher::PageCheck(std::uint64_t block,
                                                     const unsigned char* page) {
    return Hmac(contexts_->pageMac, Tweak(block), page, kBlockSize - kPageCheckSize);
}

void BlockCipher::SealPage(std::uint64_t block, unsigned char* page) {
    const auto check = PageCheck(block, page);
    std::memcpy(page + kBlockSize - kPageCheckSize, check.data(), kPageCheckSize);
}

bool BlockCipher::PageIntact(std::uint64_t block, const unsigned char* page) {
    const auto check = PageCheck(block, page);
    return CRYPTO_memcmp(check.data(), page + kBlockSize - kPageCheckSize, kPageCheckSize) == 0;
}

Check BlockCipher::BlockCheck(std::uint64_t block, const unsigned char* sealed) {
    return Truncated(Hmac(contexts_->blockMac, Tweak(block), sealed, kBlockSize));
}

// The tweak alone: shorter than every block's message, so no block's check is a size's.
Check BlockCipher::SizeCheck(std::uint64_t size) {
    return Truncated(Hmac(contexts_->blockMac, Tweak(size), nullptr, 0));
}

}  // namespace tablecrypt
