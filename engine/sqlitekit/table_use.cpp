#include "engine/sqlitekit/table_use.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "engine/sqlitekit/paths.h"

namespace dbe {

namespace {

constexpr mode_t kReadWriteBits = 0666;

// A lock file that its maker's umask kept from the table's other writers would leave them
// unable to lock: its owner gives it the table's access again. Failing that, it stays as it is.
void MatchTable(int fd, const struct stat& table) {
    struct stat lock {};
    if (fstat(fd, &lock) != 0 || !S_ISREG(lock.st_mode) || lock.st_uid != geteuid()) return;
    const bool same = lock.st_uid == table.st_uid && lock.st_gid == table.st_gid &&
                      (lock.st_mode & 07777) == (table.st_mode & kReadWriteBits);
    if (!same) TakeAccessOf(fd, table, kReadWriteBits);
}

// The table's lock file, opened with `access` and made if missing; -1 with errno on failure.
int OpenLockFile(const std::string& tablePath, int access) {
    struct stat table {};
    if (stat(tablePath.c_str(), &table) != 0) return -1;
    // Never through a link: the file's mode and owner are changed here.
    const int fd = open(LockFilePath(tablePath).c_str(), access | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
                        table.st_mode & kReadWriteBits);
    if (fd >= 0) MatchTable(fd, table);
    return fd;
}

int OpenForClaim(const std::string& tablePath, TableUse::Kind kind) {
    const int fd = OpenLockFile(tablePath, O_RDWR);
    if (fd >= 0 || kind == TableUse::Kind::Exclusive || (errno != EACCES && errno != EROFS)) {
        return fd;
    }
    return OpenLockFile(tablePath, O_RDONLY);
}

}  // namespace

TableUse::TableUse(const std::string& tablePath, Kind kind) {
    const std::string lockPath = LockFilePath(tablePath);
    fd_ = OpenForClaim(tablePath, kind);
    if (fd_ < 0) {
        const int error = errno;
        if (kind == Kind::Shared && !CanWrite(tablePath)) return;
        throw std::system_error(error, std::generic_category(),
                                "The table cannot be claimed: lock file " + lockPath);
    }
    struct flock request {};
    request.l_type = kind == Kind::Shared ? F_RDLCK : F_WRLCK;
    request.l_whence = SEEK_SET;
    request.l_start = 0;
    request.l_len = 1;
    if (fcntl(fd_, F_OFD_SETLK, &request) == 0) return;
    const int error = errno;
    close(fd_);
    if (error == EAGAIN || error == EACCES) {
        throw TableInUse(kind == Kind::Shared
                             ? "The table file is being protected or unprotected: " + tablePath
                             : "The table is open in a running program: " + tablePath);
    }
    throw std::system_error(error, std::generic_category(), lockPath);
}

TableUse::~TableUse() {
    if (fd_ >= 0) close(fd_);
}

}  // namespace dbe
