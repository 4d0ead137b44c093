#include "engine/tablecrypt/protected_vfs.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <utility>

namespace tablecrypt {

namespace {

// ---- Grants ----

std::mutex& GrantsMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::multimap<KeyGrant::FileId, const UnlockedFile*>& Grants() {
    static auto* grants = new std::multimap<KeyGrant::FileId, const UnlockedFile*>;
    return *grants;
}

std::optional<KeyGrant::FileId> IdOf(const char* path) {
    struct stat info {};
    if (path == nullptr || ::stat(path, &info) != 0) return std::nullopt;
    return KeyGrant::FileId{info.st_dev, info.st_ino};
}

// The master key granted for the table at `path`; with `header`, only the grant made from
// that header.
std::optional<MasterKey> GrantedKey(const char* path, const Digest* header) {
    const auto id = IdOf(path);
    if (!id) return std::nullopt;
    std::lock_guard lock(GrantsMutex());
    const auto [first, last] = Grants().equal_range(*id);
    for (auto it = first; it != last; ++it) {
        if (header == nullptr || it->second->header == *header) return it->second->master;
    }
    return std::nullopt;
}

// ---- One open file ----

// The checks of a block of a journal or temporary file: of what was written last and of what
// was written before it.
struct CheckEntry {
    Check last{};
    Check before{};
};

// A block of a journal or temporary file in clear, with its entry as in the file.
struct RecentBlock {
    std::uint64_t block = 0;
    Block plain{};
    CheckEntry entry;
};

struct FileState {
    std::unique_ptr<BlockCipher> cipher;
    // A table's pages carry checks; its size is the file's size less the header. Journals and
    // temporary files are written at any offset, so they keep their size in their header, and
    // the checks of their blocks in blocks of their own.
    bool tablePages = false;
    std::uint64_t auxiliarySize = 0;
    Nonce auxiliaryNonce{};
    // Page 1, as last read or written, sealed and in clear. SQLite reads its change counter at
    // the start of every transaction; an unchanged page need not be decrypted and checked again.
    std::optional<std::pair<Block, Block>> page1;
    // The auxiliary block last read or written: SQLite writes a journal and reads it back a
    // few bytes at a time, so the same block comes again and again.
    std::optional<RecentBlock> recent;
};

struct ProtectedFile {
    sqlite3_file base;
    FileState* state;
    // The default VFS's file follows this struct.
    sqlite3_file* Real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

ProtectedFile& Of(sqlite3_file* file) {
    return *reinterpret_cast<ProtectedFile*>(file);
}

sqlite3_vfs* Root(sqlite3_vfs* vfs) {
    return static_cast<sqlite3_vfs*>(vfs->pAppData);
}

// ---- Where blocks lie ----
//
// A table's blocks follow its header. A journal or temporary file has, ahead of each run of
// kRun blocks, a block of their checks, an entry a block. An entry keeps the check before the
// last too because it is written before its block: a crash between the two leaves the old
// block passing.

constexpr std::uint64_t kRun = kBlockSize / sizeof(CheckEntry);

// The physical block that holds the checks of `block`'s run.
std::uint64_t ChecksBlock(std::uint64_t block) {
    return 1 + block / kRun * (kRun + 1);
}

sqlite3_int64 Physical(const FileState& state, std::uint64_t block) {
    const std::uint64_t at = state.tablePages ? block + 1 : ChecksBlock(block) + 1 + block % kRun;
    return static_cast<sqlite3_int64>(at * kBlockSize);
}

sqlite3_int64 EntryOffset(std::uint64_t block) {
    const std::uint64_t at = ChecksBlock(block) * kBlockSize + block % kRun * sizeof(CheckEntry);
    return static_cast<sqlite3_int64>(at);
}

// The physical size of a file of `blocks` blocks.
sqlite3_int64 PhysicalSize(const FileState& state, std::uint64_t blocks) {
    if (blocks == 0) return static_cast<sqlite3_int64>(kHeaderSize);
    return Physical(state, blocks - 1) + kBlockSize;
}

// Nothing may unwind through SQLite: a failure of the cryptography becomes an I/O error.
template <typename Body>
int Guarded(int failure, Body body) {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

int RealRead(ProtectedFile& file, void* data, int size, sqlite3_int64 offset) {
    return file.Real()->pMethods->xRead(file.Real(), data, size, offset);
}

int RealWrite(ProtectedFile& file, const void* data, int size, sqlite3_int64 offset) {
    return file.Real()->pMethods->xWrite(file.Real(), data, size, offset);
}

// A block never written has no entry: zeros, also past the end of the file.
int ReadEntry(ProtectedFile& file, std::uint64_t block, CheckEntry& entry) {
    const int rc = RealRead(file, &entry, sizeof entry, EntryOffset(block));
    if (rc != SQLITE_IOERR_SHORT_READ) return rc;
    entry = {};
    return SQLITE_OK;
}

// Zeroes the entries from `block` to the end of its block of checks, left behind by a
// truncation: a block written later past a gap must not leave the gap failing old checks.
int ForgetChecksFrom(ProtectedFile& file, std::uint64_t block) {
    const std::uint64_t entries = (kRun - block % kRun) % kRun;
    if (entries == 0) return SQLITE_OK;  // its block of checks went with the truncation
    const Block zeros{};
    return RealWrite(file, zeros.data(), entries * sizeof(CheckEntry), EntryOffset(block));
}

int ReadPage(ProtectedFile& file, std::uint64_t block, Block& plain) {
    FileState& state = *file.state;
    Block sealed;
    const int rc = RealRead(file, sealed.data(), kBlockSize, Physical(state, block));
    if (rc == SQLITE_IOERR_SHORT_READ) plain.fill(0);
    if (rc != SQLITE_OK) return rc;
    if (block == 0 && state.page1 && state.page1->first == sealed) {
        plain = state.page1->second;
        return SQLITE_OK;
    }
    state.cipher->Decrypt(block, sealed.data(), plain.data());
    if (!state.cipher->PageIntact(block, plain.data())) return SQLITE_IOERR_DATA;
    if (block == 0) state.page1.emplace(sealed, plain);
    return SQLITE_OK;
}

// Block `block` of a journal or temporary file from the file, checked; one never written
// reads as zeros, as in a plain file.
int LoadAuxiliaryBlock(ProtectedFile& file, std::uint64_t block, RecentBlock& loaded) {
    FileState& state = *file.state;
    loaded.block = block;
    if (const int rc = ReadEntry(file, block, loaded.entry); rc != SQLITE_OK) return rc;
    Block sealed;
    const int rc = RealRead(file, sealed.data(), kBlockSize, Physical(state, block));
    if (rc != SQLITE_OK || loaded.entry.last == Check{}) return rc;
    const Check check = state.cipher->BlockCheck(block, sealed.data());
    if (!SameCheck(check, loaded.entry.last) && !SameCheck(check, loaded.entry.before)) {
        return SQLITE_IOERR_DATA;
    }
    state.cipher->Decrypt(block, sealed.data(), loaded.plain.data());
    return SQLITE_OK;
}

int ReadAuxiliaryBlock(ProtectedFile& file, std::uint64_t block, Block& plain) {
    FileState& state = *file.state;
    const std::uint64_t start = block * kBlockSize;
    plain.fill(0);
    if (start >= state.auxiliarySize) return SQLITE_IOERR_SHORT_READ;
    if (!state.recent || state.recent->block != block) {
        RecentBlock loaded;
        if (const int rc = LoadAuxiliaryBlock(file, block, loaded); rc != SQLITE_OK) return rc;
        state.recent = loaded;
    }
    // Bytes past the file's end read as zeros, as they would in a plain file.
    const std::uint64_t kept = std::min<std::uint64_t>(kBlockSize, state.auxiliarySize - start);
    std::copy_n(state.recent->plain.begin(), kept, plain.begin());
    return SQLITE_OK;
}

// Block `block` in clear: SQLITE_IOERR_SHORT_READ (and zeros) past the end of the file.
int ReadPlain(ProtectedFile& file, std::uint64_t block, Block& plain) {
    return file.state->tablePages ? ReadPage(file, block, plain)
                                  : ReadAuxiliaryBlock(file, block, plain);
}

// Page 1 must declare 4096-byte pages with room for the page check.
bool HasRoomForChecks(const Block& page1) {
    const unsigned pageSize = (page1[16] << 8) | page1[17];
    return pageSize == kBlockSize && page1[20] >= kPageCheckSize;
}

int WritePage(ProtectedFile& file, std::uint64_t block, Block& plain) {
    FileState& state = *file.state;
    if (block == 0 && !HasRoomForChecks(plain)) return SQLITE_IOERR_WRITE;
    state.cipher->SealPage(block, plain.data());
    if (block == 0) state.page1.reset();
    Block sealed;
    state.cipher->Encrypt(block, plain.data(), sealed.data());
    return RealWrite(file, sealed.data(), kBlockSize, Physical(state, block));
}

// The entry goes before the block it checks.
int WriteAuxiliaryBlock(ProtectedFile& file, std::uint64_t block, const Block& plain) {
    FileState& state = *file.state;
    RecentBlock written{block, plain, {}};
    if (state.recent && state.recent->block == block) {
        written.entry = state.recent->entry;
    } else if (const int rc = ReadEntry(file, block, written.entry); rc != SQLITE_OK) {
        return rc;
    }
    state.recent.reset();
    Block sealed;
    state.cipher->Encrypt(block, plain.data(), sealed.data());
    written.entry.before = written.entry.last;
    written.entry.last = state.cipher->BlockCheck(block, sealed.data());
    int rc = RealWrite(file, &written.entry, sizeof written.entry, EntryOffset(block));
    if (rc == SQLITE_OK) rc = RealWrite(file, sealed.data(), kBlockSize, Physical(state, block));
    if (rc == SQLITE_OK) state.recent = written;
    return rc;
}

int WritePlain(ProtectedFile& file, std::uint64_t block, Block& plain) {
    return file.state->tablePages ? WritePage(file, block, plain)
                                  : WriteAuxiliaryBlock(file, block, plain);
}

Block AuxiliaryHeaderOf(const FileState& state) {
    const Check sizeCheck = state.cipher->SizeCheck(state.auxiliarySize);
    return AuxiliaryHeader{state.auxiliaryNonce, state.auxiliarySize, sizeCheck}.Encode();
}

int WriteAuxiliaryHeader(ProtectedFile& file) {
    const Block header = AuxiliaryHeaderOf(*file.state);
    return RealWrite(file, header.data(), kBlockSize, 0);
}

// The size and its check alone, so that the rest of the header is never rewritten.
int WriteAuxiliarySize(ProtectedFile& file) {
    const Block header = AuxiliaryHeaderOf(*file.state);
    return RealWrite(file, header.data() + kSizeOffset, kSizeFieldsSize, kSizeOffset);
}

// ---- I/O methods ----

int Close(sqlite3_file* f) {
    ProtectedFile& file = Of(f);
    const std::unique_ptr<FileState> state(std::exchange(file.state, nullptr));
    return file.Real()->pMethods->xClose(file.Real());
}

int Read(sqlite3_file* f, void* data, int size, sqlite3_int64 offset) {
    return Guarded(SQLITE_IOERR_READ, [&] {
        ProtectedFile& file = Of(f);
        auto* out = static_cast<unsigned char*>(data);
        bool shortRead = false;
        for (std::uint64_t at = offset, end = offset + size; at < end;) {
            const std::uint64_t block = at / kBlockSize, within = at % kBlockSize;
            const std::uint64_t count = std::min<std::uint64_t>(kBlockSize - within, end - at);
            Block plain;
            const int rc = ReadPlain(file, block, plain);
            if (rc == SQLITE_IOERR_SHORT_READ)
                shortRead = true;
            else if (rc != SQLITE_OK)
                return rc;
            std::memcpy(out + (at - offset), plain.data() + within, count);
            at += count;
        }
        if (!file.state->tablePages &&
            static_cast<std::uint64_t>(offset + size) > file.state->auxiliarySize) {
            shortRead = true;
        }
        return shortRead ? SQLITE_IOERR_SHORT_READ : SQLITE_OK;
    });
}

int Write(sqlite3_file* f, const void* data, int size, sqlite3_int64 offset) {
    return Guarded(SQLITE_IOERR_WRITE, [&] {
        ProtectedFile& file = Of(f);
        const auto* in = static_cast<const unsigned char*>(data);
        const std::uint64_t end = offset + size;
        for (std::uint64_t at = offset; at < end;) {
            const std::uint64_t block = at / kBlockSize, within = at % kBlockSize;
            const std::uint64_t count = std::min<std::uint64_t>(kBlockSize - within, end - at);
            Block plain;
            if (count < kBlockSize) {
                const int rc = ReadPlain(file, block, plain);
                if (rc != SQLITE_OK && rc != SQLITE_IOERR_SHORT_READ) return rc;
            }
            std::memcpy(plain.data() + within, in + (at - offset), count);
            if (const int rc = WritePlain(file, block, plain); rc != SQLITE_OK) return rc;
            at += count;
        }
        if (file.state->tablePages || end <= file.state->auxiliarySize) return SQLITE_OK;
        file.state->auxiliarySize = end;
        return WriteAuxiliarySize(file);
    });
}

int Truncate(sqlite3_file* f, sqlite3_int64 size) {
    return Guarded(SQLITE_IOERR_TRUNCATE, [&] {
        ProtectedFile& file = Of(f);
        FileState& state = *file.state;
        const std::uint64_t blocks = (size + kBlockSize - 1) / kBlockSize;
        state.recent.reset();
        int rc = file.Real()->pMethods->xTruncate(file.Real(), PhysicalSize(state, blocks));
        if (rc != SQLITE_OK || state.tablePages) return rc;
        if ((rc = ForgetChecksFrom(file, blocks)) != SQLITE_OK) return rc;
        state.auxiliarySize = std::min<std::uint64_t>(state.auxiliarySize, size);
        return WriteAuxiliarySize(file);
    });
}

int Sync(sqlite3_file* f, int flags) {
    return Of(f).Real()->pMethods->xSync(Of(f).Real(), flags);
}

int FileSize(sqlite3_file* f, sqlite3_int64* size) {
    ProtectedFile& file = Of(f);
    if (!file.state->tablePages) {
        *size = static_cast<sqlite3_int64>(file.state->auxiliarySize);
        return SQLITE_OK;
    }
    sqlite3_int64 physical = 0;
    const int rc = file.Real()->pMethods->xFileSize(file.Real(), &physical);
    // A block cut short by a crash while the file grew was never committed.
    *size = std::max<sqlite3_int64>(0, physical - kHeaderSize) / kBlockSize * kBlockSize;
    return rc;
}

int Lock(sqlite3_file* f, int level) {
    return Of(f).Real()->pMethods->xLock(Of(f).Real(), level);
}

int Unlock(sqlite3_file* f, int level) {
    return Of(f).Real()->pMethods->xUnlock(Of(f).Real(), level);
}

int CheckReservedLock(sqlite3_file* f, int* reserved) {
    return Of(f).Real()->pMethods->xCheckReservedLock(Of(f).Real(), reserved);
}

int FileControl(sqlite3_file* f, int op, void* arg) {
    switch (op) {
        case SQLITE_FCNTL_POWERSAFE_OVERWRITE:
            // A block is rewritten whole, so a write never leaves its neighbours alone.
            if (*static_cast<int*>(arg) < 0) *static_cast<int*>(arg) = 0;
            return SQLITE_OK;
        case SQLITE_FCNTL_MMAP_SIZE:
            *static_cast<sqlite3_int64*>(arg) = 0;
            return SQLITE_OK;
        case SQLITE_FCNTL_SIZE_HINT:
        case SQLITE_FCNTL_CHUNK_SIZE:
            // Sizes here are content sizes; the file below is larger by its header.
            return SQLITE_NOTFOUND;
        default:
            return Of(f).Real()->pMethods->xFileControl(Of(f).Real(), op, arg);
    }
}

int SectorSize(sqlite3_file*) {
    return kBlockSize;
}

int DeviceCharacteristics(sqlite3_file*) {
    return 0;
}

int ShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** memory) {
    return Of(f).Real()->pMethods->xShmMap(Of(f).Real(), region, size, extend, memory);
}

int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return Of(f).Real()->pMethods->xShmLock(Of(f).Real(), offset, n, flags);
}

void ShmBarrier(sqlite3_file* f) {
    Of(f).Real()->pMethods->xShmBarrier(Of(f).Real());
}

int ShmUnmap(sqlite3_file* f, int deleteFlag) {
    return Of(f).Real()->pMethods->xShmUnmap(Of(f).Real(), deleteFlag);
}

// Version 2: no xFetch, so SQLite never maps the file into memory.
const sqlite3_io_methods kMethods = {2,
                                     Close,
                                     Read,
                                     Write,
                                     Truncate,
                                     Sync,
                                     FileSize,
                                     Lock,
                                     Unlock,
                                     CheckReservedLock,
                                     FileControl,
                                     SectorSize,
                                     DeviceCharacteristics,
                                     ShmMap,
                                     ShmLock,
                                     ShmBarrier,
                                     ShmUnmap,
                                     nullptr,
                                     nullptr};

// ---- Opening ----

constexpr int kAuxiliaryFlags = SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_WAL | SQLITE_OPEN_TEMP_DB |
                                SQLITE_OPEN_TEMP_JOURNAL | SQLITE_OPEN_SUBJOURNAL |
                                SQLITE_OPEN_TRANSIENT_DB;

int OpenTable(ProtectedFile& file, const char* name) {
    Block block{};
    const int rc = RealRead(file, block.data(), kBlockSize, 0);
    if (rc != SQLITE_OK) return SQLITE_CANTOPEN;
    TableHeader header;
    try {
        header = TableHeader::Decode(block);
    } catch (const DamagedHeader&) {
        return SQLITE_CANTOPEN;
    }
    const Digest digest = header.DigestOf();
    const std::optional<MasterKey> master = GrantedKey(name, &digest);
    if (!master) return SQLITE_CANTOPEN;
    file.state->cipher = std::make_unique<BlockCipher>(*master, header.nonce);
    file.state->tablePages = true;
    return SQLITE_OK;
}

// A journal or WAL uses its table's key; a temporary file a key of its own. Either gets a
// header of its own when it is new: empty, or with a header of zeros that was never written.
// Any other header that does not decode, or whose size fails its check, is damage (a journal
// of the version before, whose blocks had no checks, too): reading it could roll the table
// back to other pages.
int OpenAuxiliary(ProtectedFile& file, const char* name, int flags) {
    std::optional<MasterKey> master;
    if (flags & (SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_WAL)) {
        master = GrantedKey(sqlite3_filename_database(name), nullptr);
        if (!master) return SQLITE_CANTOPEN;
    } else {
        master = RandomArray<MasterKey>();
    }
    Block block{};
    const int rc = RealRead(file, block.data(), kBlockSize, 0);
    if (rc != SQLITE_OK && rc != SQLITE_IOERR_SHORT_READ) return rc;
    std::optional<AuxiliaryHeader> header = AuxiliaryHeader::Decode(block);
    const bool fresh = block == Block{};
    if (!header && !fresh) return SQLITE_IOERR_DATA;
    if (fresh) header = AuxiliaryHeader{RandomArray<Nonce>(), 0};
    file.state->cipher = std::make_unique<BlockCipher>(*master, header->nonce);
    file.state->auxiliaryNonce = header->nonce;
    file.state->auxiliarySize = header->size;
    if (fresh) return (flags & SQLITE_OPEN_READONLY) ? SQLITE_OK : WriteAuxiliaryHeader(file);
    const Check sizeCheck = file.state->cipher->SizeCheck(header->size);
    return SameCheck(sizeCheck, header->sizeCheck) ? SQLITE_OK : SQLITE_IOERR_DATA;
}

int Open(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
    ProtectedFile& file = Of(f);
    file.base.pMethods = nullptr;
    // A super-journal holds file names only.
    if (flags & SQLITE_OPEN_SUPER_JOURNAL)
        return Root(vfs)->xOpen(Root(vfs), name, f, flags, outFlags);
    if (!(flags & (SQLITE_OPEN_MAIN_DB | kAuxiliaryFlags))) return SQLITE_CANTOPEN;
    int rc = Root(vfs)->xOpen(Root(vfs), name, file.Real(), flags, outFlags);
    if (rc != SQLITE_OK) return rc;
    std::unique_ptr<FileState> state(new (std::nothrow) FileState);
    file.state = state.get();
    rc = state == nullptr ? SQLITE_NOMEM : Guarded(SQLITE_CANTOPEN, [&] {
        return (flags & SQLITE_OPEN_MAIN_DB) ? OpenTable(file, name)
                                             : OpenAuxiliary(file, name, flags);
    });
    if (rc != SQLITE_OK) {
        file.Real()->pMethods->xClose(file.Real());
        return rc;
    }
    // Close() takes the state back.
    file.state = state.release();
    file.base.pMethods = &kMethods;
    return SQLITE_OK;
}

// ---- The VFS: everything but opening is the default VFS's ----

int Delete(sqlite3_vfs* vfs, const char* name, int syncDir) {
    return Root(vfs)->xDelete(Root(vfs), name, syncDir);
}
int Access(sqlite3_vfs* vfs, const char* name, int flags, int* result) {
    return Root(vfs)->xAccess(Root(vfs), name, flags, result);
}
int FullPathname(sqlite3_vfs* vfs, const char* name, int size, char* out) {
    return Root(vfs)->xFullPathname(Root(vfs), name, size, out);
}
void* DlOpen(sqlite3_vfs* vfs, const char* name) {
    return Root(vfs)->xDlOpen(Root(vfs), name);
}
void DlError(sqlite3_vfs* vfs, int size, char* out) {
    Root(vfs)->xDlError(Root(vfs), size, out);
}
void (*DlSym(sqlite3_vfs* vfs, void* library, const char* symbol))(void) {
    return Root(vfs)->xDlSym(Root(vfs), library, symbol);
}
void DlClose(sqlite3_vfs* vfs, void* library) {
    Root(vfs)->xDlClose(Root(vfs), library);
}
int Randomness(sqlite3_vfs* vfs, int size, char* out) {
    return Root(vfs)->xRandomness(Root(vfs), size, out);
}
int Sleep(sqlite3_vfs* vfs, int microseconds) {
    return Root(vfs)->xSleep(Root(vfs), microseconds);
}
int CurrentTime(sqlite3_vfs* vfs, double* now) {
    return Root(vfs)->xCurrentTime(Root(vfs), now);
}
int GetLastError(sqlite3_vfs* vfs, int size, char* out) {
    return Root(vfs)->xGetLastError(Root(vfs), size, out);
}
int CurrentTimeInt64(sqlite3_vfs* vfs, sqlite3_int64* now) {
    return Root(vfs)->xCurrentTimeInt64(Root(vfs), now);
}

// Each copy of this code in a process (the engine library, and a tool or test that links the
// code itself) has grants of its own, so each registers a VFS under a name of its own.
sqlite3_vfs* Register() {
    sqlite3_vfs* root = sqlite3_vfs_find(nullptr);
    if (root == nullptr) throw CryptoError("SQLite has no default VFS");
    static char name[40];
    std::snprintf(name, sizeof name, "dbe-protected-%p", static_cast<void*>(name));
    static sqlite3_vfs vfs = {2,
                              static_cast<int>(sizeof(ProtectedFile)) + root->szOsFile,
                              root->mxPathname,
                              nullptr,
                              name,
                              root,
                              Open,
                              Delete,
                              Access,
                              FullPathname,
                              DlOpen,
                              DlError,
                              DlSym,
                              DlClose,
                              Randomness,
                              Sleep,
                              CurrentTime,
                              GetLastError,
                              CurrentTimeInt64,
                              nullptr,
                              nullptr,
                              nullptr};
    if (sqlite3_vfs_register(&vfs, 0) != SQLITE_OK) {
        throw CryptoError("The protected VFS could not be registered");
    }
    return &vfs;
}

}  // namespace

const char* ProtectedVfs() {
    static sqlite3_vfs* vfs = Register();
    return vfs->zName;
}

KeyGrant::KeyGrant(const std::string& path, const UnlockedFile& unlocked) : unlocked_(unlocked) {
    const auto id = IdOf(path.c_str());
    if (!id) throw std::system_error(errno, std::generic_category(), path);
    id_ = *id;
    std::lock_guard lock(GrantsMutex());
    Grants().emplace(id_, &unlocked_);
}

KeyGrant::~KeyGrant() {
    std::lock_guard lock(GrantsMutex());
    const auto [first, last] = Grants().equal_range(id_);
    for (auto it = first; it != last; ++it) {
        if (it->second == &unlocked_) {
            Grants().erase(it);
            break;
        }
    }
}

}  // namespace tablecrypt
