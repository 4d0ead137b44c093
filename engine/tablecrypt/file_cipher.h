// The cryptography of protected table files; every primitive comes from OpenSSL's libcrypto.
//
// - Every 4 KiB block of a protected file is encrypted with AES-256-XTS, the tweak made of the
//   block's number and the file's nonce, so that a block keeps its offset and its size, as
//   SQLite expects of the file below it.
// - XTS cannot tell a damaged or altered block from a good one: it decrypts to other bytes.
//   So each database page carries a keyed check (HMAC-SHA-256 cut to 16 bytes, over the
//   page's number, the file's nonce and the page's content) in the bytes that SQLite reserves
//   at the end of every page; a page whose check fails is an error, never wrong rows. The
//   check names no version of the page: an older copy put back in its place passes.
// - A journal or temporary file has no reserved bytes to spare, so the check of each of its
//   blocks (over the block's number, the file's nonce and the block as encrypted) is kept in
//   a block of checks (protected_vfs.cpp), and its size has a check too: a rollback from a
//   damaged journal fails rather than putting other pages back.
// - Keys: each protected table has a random master key; HKDF-SHA-256 derives from it the XTS
//   key, the page check key and the block check key. The master key is stored wrapped
//   (AES-256-GCM) under a key that scrypt derives from the password, so that changing the
//   password rewrites one header.
//
// Contracts: every failure of libcrypto throws CryptoError. A BlockCipher is used by one
// thread at a time (SQLite serialises the calls on one file).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string_view>

namespace tablecrypt {

constexpr std::size_t kBlockSize = 4096;
// The bytes at the end of each database page that hold its check.
constexpr std::size_t kPageCheckSize = 16;
constexpr std::size_t kMasterKeySize = 32;
constexpr std::size_t kNonceSize = 8;
constexpr std::size_t kSaltSize = 16;

using Block = std::array<unsigned char, kBlockSize>;
using MasterKey = std::array<unsigned char, kMasterKeySize>;
using Nonce = std::array<unsigned char, kNonceSize>;
using Salt = std::array<unsigned char, kSaltSize>;
using PasswordKey = std::array<unsigned char, 32>;
// A keyed check, as a page carries it.
using Check = std::array<unsigned char, kPageCheckSize>;

class CryptoError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Fills [out, out + size) from the system's random source.
void RandomBytes(unsigned char* out, std::size_t size);

template <typename Bytes>
Bytes RandomArray() {
    Bytes bytes;
    RandomBytes(bytes.data(), bytes.size());
    return bytes;
}

// scrypt's cost: N = 2^log2N, block size r, parallelism p.
struct KdfCost {
    std::uint32_t log2N = 16;
    std::uint32_t r = 8;
    std::uint32_t p = 1;
    bool operator==(const KdfCost&) const = default;
};

// The key that a password gives with this salt and cost.
PasswordKey DerivePasswordKey(std::string_view password, const Salt& salt, const KdfCost& cost);

// The master key sealed under a password key; `associated` (the header's fixed fields) is
// authenticated with it, so a changed header does not unwrap.
struct WrappedKey {
    std::array<unsigned char, 12> iv{};
    std::array<unsigned char, kMasterKeySize> sealed{};
    std::array<unsigned char, 16> tag{};
};
WrappedKey WrapKey(const MasterKey& master, const PasswordKey& key, std::string_view associated);
// False when the key (the password) is not the one the master key was wrapped with.
bool UnwrapKey(const WrappedKey& wrapped, const PasswordKey& key, std::string_view associated,
               MasterKey& master);

std::array<unsigned char, 32> Sha256(std::string_view bytes);

// Compares two checks in constant time.
bool SameCheck(const Check& a, const Check& b);

// Encrypts, decrypts and checks the blocks of one file.
class BlockCipher {
  public:
    BlockCipher(const MasterKey& master, const Nonce& nonce);
    ~BlockCipher();
    BlockCipher(const BlockCipher&) = delete;
    BlockCipher& operator=(const BlockCipher&) = delete;

    void Encrypt(std::uint64_t block, const unsigned char* in, unsigned char* out);
    void Decrypt(std::uint64_t block, const unsigned char* in, unsigned char* out);

    // Writes the check of database page `block` into its last kPageCheckSize bytes.
    void SealPage(std::uint64_t block, unsigned char* page);
    bool PageIntact(std::uint64_t block, const unsigned char* page);

    // The check of block `block` of a journal or temporary file as encrypted (`sealed`), and
    // of such a file's size.
    Check BlockCheck(std::uint64_t block, const unsigned char* sealed);
    Check SizeCheck(std::uint64_t size);

  private:
    struct Contexts;
    std::array<unsigned char, 16> Tweak(std::uint64_t block) const;
    std::array<unsigned char, 32> PageCheck(std::uint64_t block, const unsigned char* page);

    Nonce nonce_;
    std::unique_ptr<Contexts> contexts_;
};

}  // namespace tablecrypt
