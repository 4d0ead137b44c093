#include "engine/record_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/dbengine.h"
#include "engine/errors.h"

namespace dbe {

void RecordLock::Lock(std::int64_t rowid) {
    if (held_.count(rowid) != 0) return;
    if (!Take(rowid)) {
        throw EngineError(DBIERR_LOCKED, ContextLine(kRecordLine, std::to_string(rowid)));
    }
    held_.insert(rowid);
}

bool RecordLock::Unlock(std::int64_t rowid) {
    if (held_.erase(rowid) == 0) return false;
    Release(rowid);
    return true;
}

void RecordLock::UnlockAll() {
    for (std::int64_t rowid : held_) Release(rowid);
    held_.clear();
}

FileRecordLock::~FileRecordLock() {
    // Closing the lock file releases every lock on it.
    if (fd_ >= 0) close(fd_);
}

void FileRecordLock::Open() {
    if (fd_ >= 0) return;
    fd_ = open(path_.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ >= 0) return;
    const int error = errno;
    throw EngineError(DBIERR_LOCKED)
        .With(DBIERR_LOCKED, error,
              "Records cannot be locked: lock file " + path_ + ": " + std::strerror(error));
}

bool FileRecordLock::SetLock(std::int64_t rowid, short type) {
    struct flock request {};
    request.l_type = type;
    request.l_whence = SEEK_SET;
    request.l_start = static_cast<off_t>(rowid);
    request.l_len = 1;
    return fcntl(fd_, F_OFD_SETLK, &request) == 0;
}

bool FileRecordLock::Take(std::int64_t rowid) {
    Open();
    if (SetLock(rowid, F_WRLCK)) return true;
    const int error = errno;
    if (error == EAGAIN || error == EACCES) return false;
    throw EngineError(DBIERR_IO).With(DBIERR_IO, error,
                                      "Lock file: " + path_ + ": " + std::strerror(error));
}

void FileRecordLock::Release(std::int64_t rowid) {
    SetLock(rowid, F_UNLCK);
}

ScopedRecordLock::ScopedRecordLock(RecordLock& locks, std::int64_t rowid)
    : locks_(locks), rowid_(rowid), release_(!locks.Holds(rowid)) {
    if (!release_) locks_.Confirm(rowid_);
    locks_.Lock(rowid_);
}

ScopedRecordLock::~ScopedRecordLock() {
    if (release_) locks_.Unlock(rowid_);
}

}  // namespace dbe
