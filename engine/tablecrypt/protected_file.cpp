#include "engine/tablecrypt/protected_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace tablecrypt {

namespace {

constexpr char kMagic[8] = {'D', 'B', 'E', 'C', 'R', 'Y', 'P', 'T'};
constexpr std::uint32_t kTableVersion = 1;
// Version 2 of journals and temporary files keeps a check of every block and of the size.
constexpr std::uint32_t kAuxiliaryVersion = 2;
constexpr std::uint32_t kTableKind = 1;
constexpr std::uint32_t kAuxiliaryKind = 2;
constexpr std::uint32_t kScrypt = 1;

// Field offsets; everything after the digest is zero.
constexpr std::size_t kVersionAt = 8, kKindAt = 12, kKdfAt = 16, kLog2NAt = 20, kRAt = 24,
                      kPAt = 28, kSaltAt = 32, kNonceAt = 48, kIvAt = 56, kSealedAt = 72,
                      kTagAt = 104, kDigestAt = 120;

void Put32(Block& block, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) block[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t Get32(const Block& block, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | block[at + i];
    return value;
}

template <typename Bytes>
void PutBytes(Block& block, std::size_t at, const Bytes& bytes) {
    std::memcpy(block.data() + at, bytes.data(), bytes.size());
}

template <typename Bytes>
void GetBytes(const Block& block, std::size_t at, Bytes& bytes) {
    std::memcpy(bytes.data(), block.data() + at, bytes.size());
}

bool HasMagic(const Block& block, std::uint32_t version, std::uint32_t kind) {
    return std::memcmp(block.data(), kMagic, sizeof kMagic) == 0 &&
           Get32(block, kVersionAt) == version && Get32(block, kKindAt) == kind;
}

bool Within(const KdfCost& cost) {
    return cost.log2N >= kMinimumCost.log2N && cost.log2N <= kMaximumCost.log2N &&
           cost.r >= kMinimumCost.r && cost.r <= kMaximumCost.r && cost.p >= kMinimumCost.p &&
           cost.p <= kMaximumCost.p;
}

[[noreturn]] void ThrowErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

class Descriptor {
  public:
    Descriptor(const std::string& path, int flags)
        : fd_(::open(path.c_str(), flags | O_CLOEXEC, 0644)) {
        if (fd_ < 0) ThrowErrno(path);
    }
    ~Descriptor() { ::close(fd_); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    // The bytes read; fewer than `size` only at the end of the file.
    std::size_t Read(void* data, std::size_t size, off_t offset) const {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n =
                ::pread(fd_, static_cast<char*>(data) + done, size - done, offset + done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) ThrowErrno("read");
            if (n == 0) break;
            done += n;
        }
        return done;
    }
    void Write(const void* data, std::size_t size, off_t offset) const {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n =
                ::pwrite(fd_, static_cast<const char*>(data) + done, size - done, offset + done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) ThrowErrno("write");
            done += n;
        }
        if (::fsync(fd_) != 0) ThrowErrno("fsync");
    }

  private:
    int fd_;
};

TableHeader ReadHeader(const Descriptor& file) {
    Block block{};
    if (file.Read(block.data(), block.size(), 0) < kDigestAt + 32) {
        throw DamagedHeader("The protection header of the table file is cut short");
    }
    return TableHeader::Decode(block);
}

TableHeader NewHeader(const MasterKey& master, const Nonce& nonce, std::string_view password,
                      const KdfCost& cost) {
    TableHeader header;
    header.cost = cost;
    header.salt = RandomArray<Salt>();
    header.nonce = nonce;
    header.wrapped =
        WrapKey(master, DerivePasswordKey(password, header.salt, cost), header.Fixed());
    return header;
}

}  // namespace

std::string TableHeader::Fixed() const {
    Block block{};
    std::memcpy(block.data(), kMagic, sizeof kMagic);
    Put32(block, kVersionAt, kTableVersion);
    Put32(block, kKindAt, kTableKind);
    Put32(block, kKdfAt, kScrypt);
    Put32(block, kLog2NAt, cost.log2N);
    Put32(block, kRAt, cost.r);
    Put32(block, kPAt, cost.p);
    PutBytes(block, kSaltAt, salt);
    PutBytes(block, kNonceAt, nonce);
    return std::string(reinterpret_cast<const char*>(block.data()), kIvAt);
}

Block TableHeader::Encode() const {
    Block block{};
    const std::string fixed = Fixed();
    std::memcpy(block.data(), fixed.data(), fixed.size());
    PutBytes(block, kIvAt, wrapped.iv);
    PutBytes(block, kSealedAt, wrapped.sealed);
    PutBytes(block, kTagAt, wrapped.tag);
    PutBytes(block, kDigestAt, Sha256({reinterpret_cast<const char*>(block.data()), kDigestAt}));
    return block;
}

Digest TableHeader::DigestOf() const {
    Digest digest;
    GetBytes(Encode(), kDigestAt, digest);
    return digest;
}

TableHeader TableHeader::Decode(const Block& block) {
    Digest digest;
    GetBytes(block, kDigestAt, digest);
    if (!HasMagic(block, kTableVersion, kTableKind) ||
        digest != Sha256({reinterpret_cast<const char*>(block.data()), kDigestAt})) {
        throw DamagedHeader("The protection header of the table file is damaged");
    }
    TableHeader header;
    header.cost = {Get32(block, kLog2NAt), Get32(block, kRAt), Get32(block, kPAt)};
    if (Get32(block, kKdfAt) != kScrypt || !Within(header.cost)) {
        throw DamagedHeader(
            "The protection header of the table file names an unknown key derivation");
    }
    GetBytes(block, kSaltAt, header.salt);
    GetBytes(block, kNonceAt, header.nonce);
    GetBytes(block, kIvAt, header.wrapped.iv);
    GetBytes(block, kSealedAt, header.wrapped.sealed);
    GetBytes(block, kTagAt, header.wrapped.tag);
    return header;
}

std::optional<AuxiliaryHeader> AuxiliaryHeader::Decode(const Block& block) {
    if (!HasMagic(block, kAuxiliaryVersion, kAuxiliaryKind)) return std::nullopt;
    AuxiliaryHeader header;
    GetBytes(block, kNonceAt, header.nonce);
    for (int i = 7; i >= 0; --i) header.size = (header.size << 8) | block[kSizeOffset + i];
    GetBytes(block, kSizeOffset + sizeof header.size, header.sizeCheck);
    return header;
}

Block AuxiliaryHeader::Encode() const {
    Block block{};
    std::memcpy(block.data(), kMagic, sizeof kMagic);
    Put32(block, kVersionAt, kAuxiliaryVersion);
    Put32(block, kKindAt, kAuxiliaryKind);
    PutBytes(block, kNonceAt, nonce);
    for (int i = 0; i < 8; ++i)
        block[kSizeOffset + i] = static_cast<unsigned char>(size >> (8 * i));
    PutBytes(block, kSizeOffset + sizeof size, sizeCheck);
    return block;
}

bool IsProtected(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char magic[sizeof kMagic] = {};
    const bool protectedFile = ::pread(fd, magic, sizeof magic, 0) == sizeof magic &&
                               std::memcmp(magic, kMagic, sizeof kMagic) == 0;
    ::close(fd);
    return protectedFile;
}

TableHeader ReadTableHeader(const std::string& path) {
    return ReadHeader(Descriptor(path, O_RDONLY));
}

std::optional<UnlockedFile> Unlock(const TableHeader& header, std::string_view password) {
    const PasswordKey key = DerivePasswordKey(password, header.salt, header.cost);
    UnlockedFile unlocked;
    if (!UnwrapKey(header.wrapped, key, header.Fixed(), unlocked.master)) return std::nullopt;
    unlocked.header = header.DigestOf();
    return unlocked;
}

std::optional<UnlockedFile> Unlock(const std::string& path, std::string_view password) {
    return Unlock(ReadTableHeader(path), password);
}

UnlockedFile CreateProtected(const std::string& path, std::string_view password,
                             const KdfCost& cost) {
    const MasterKey master = RandomArray<MasterKey>();
    const TableHeader header = NewHeader(master, RandomArray<Nonce>(), password, cost);
    const Descriptor file(path, O_WRONLY | O_CREAT | O_EXCL);
    const Block block = header.Encode();
    file.Write(block.data(), block.size(), 0);
    return {master, header.DigestOf()};
}

void ChangePassword(const std::string& path, const UnlockedFile& unlocked,
                    std::string_view password, const KdfCost& cost) {
    const Descriptor file(path, O_RDWR);
    const TableHeader old = ReadHeader(file);
    if (old.DigestOf() != unlocked.header) {
        throw DamagedHeader("The protection header of the table file changed while it was in use");
    }
    const Block block = NewHeader(unlocked.master, old.nonce, password, cost).Encode();
    file.Write(block.data(), kSizeOffset, 0);
}

}  // namespace tablecrypt
