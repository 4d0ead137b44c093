// Protected table files: their header, and what a password does with them.
//
// A protected file is one header block in clear followed by the file's content in encrypted
// blocks: content block i lies at offset (i + 1) * kBlockSize. A table file's header holds
// (little-endian, at fixed offsets) the magic, the format version, the kind, scrypt's cost and
// salt, the file's nonce, the wrapped master key and a SHA-256 digest of all of these. The
// digest tells a damaged header (DamagedHeader) from a wrong password (Unlock answers nullopt);
// the wrapping authenticates the fields before the key, so an altered cost or nonce does not
// unwrap either. A journal or temporary file of a protected table has a short header of the
// auxiliary kind: the magic, its own nonce, its logical size and the check of that size.
//
// Contracts:
// - Files are written with pwrite and made durable with fsync before a call returns.
// - CreateProtected() never replaces a file; ChangePassword() rewrites the first 512 bytes of
//   the header only (one sector), never the content.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/tablecrypt/file_cipher.h"

namespace tablecrypt {

constexpr std::size_t kHeaderSize = kBlockSize;
using Digest = std::array<unsigned char, 32>;

class DamagedHeader : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What a password unlocks: the table's master key, and the header it was unwrapped from.
struct UnlockedFile {
    MasterKey master{};
    Digest header{};
};

// A table file's header.
struct TableHeader {
    KdfCost cost;
    Salt salt{};
    Nonce nonce{};
    WrappedKey wrapped;

    // Throws DamagedHeader unless `block` is a sound header of a protected table.
    static TableHeader Decode(const Block& block);
    Block Encode() const;
    Digest DigestOf() const;
    // The fields that the key wrapping authenticates.
    std::string Fixed() const;
};

// The auxiliary header of a journal or temporary file.
struct AuxiliaryHeader {
    Nonce nonce{};
    std::uint64_t size = 0;
    Check sizeCheck{};

    // nullopt unless `block` starts with an auxiliary header of this version (one of the
    // version before, whose blocks had no checks, is none).
    static std::optional<AuxiliaryHeader> Decode(const Block& block);
    Block Encode() const;
};

// Where the auxiliary header keeps the logical size and its check, in a sector of their own:
// kSizeFieldsSize bytes, rewritten together.
constexpr std::uint64_t kSizeOffset = 512;
constexpr std::size_t kSizeFieldsSize = sizeof(std::uint64_t) + sizeof(Check);

// The smallest and largest scrypt cost a header may name.
constexpr KdfCost kMinimumCost{14, 1, 1};
constexpr KdfCost kMaximumCost{20, 8, 2};

// True when the file starts with the magic of a protected table; false also when it cannot
// be read (opening it will say why).
bool IsProtected(const std::string& path);

// The header of the protected table at `path`. Throws DamagedHeader, std::system_error.
TableHeader ReadTableHeader(const std::string& path);

// The master key when `password` is the one `header` was made with (this takes scrypt's time).
std::optional<UnlockedFile> Unlock(const TableHeader& header, std::string_view password);
std::optional<UnlockedFile> Unlock(const std::string& path, std::string_view password);

// Creates `path` as an empty protected table (its header only) with a new random master key.
UnlockedFile CreateProtected(const std::string& path, std::string_view password,
                             const KdfCost& cost = {});

// Wraps the master key of `unlocked` under `password` with a new salt. Only the header's first
// 512 bytes are rewritten, one disk sector, in one write made durable before returning: a crash
// leaves the old password or the new one, and the pages are never touched.
// Requires: `unlocked` came from this file's current header.
void ChangePassword(const std::string& path, const UnlockedFile& unlocked,
                    std::string_view password, const KdfCost& cost = {});

}  // namespace tablecrypt
