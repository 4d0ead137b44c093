// The record locks of one cursor: open-file-description locks (F_OFD_SETLK) on the byte at
// each locked record number in the lock file beside the table (`bingren.LCK`).
//
// Contracts:
// - Each RecordLock opens the lock file on its own, so another cursor (in this process or
//   another) holding a record's lock makes Lock() fail with DBIERR_LOCKED.
// - The lock file is the one that the table's claim made (table_use.h). A cursor that cannot
//   open it for writing cannot lock: Lock() then fails with DBIERR_LOCKED and an entry naming
//   the lock file and why. A lock that was not taken is never taken for granted.
// - Destruction releases every lock; the system releases them when the process ends.
#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace dbe {

class RecordLock {
  public:
    explicit RecordLock(std::string path) : path_(std::move(path)) {}
    ~RecordLock();
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;

    void Lock(std::int64_t rowid);
    bool Holds(std::int64_t rowid) const { return held_.count(rowid) != 0; }
    // False when this cursor did not hold the record's lock.
    bool Unlock(std::int64_t rowid);
    void UnlockAll();

  private:
    // Opens the lock file on first use.
    void Open();
    bool SetLock(std::int64_t rowid, short type);

    std::string path_;
    int fd_ = -1;
    std::set<std::int64_t> held_;
};

// Holds a record's lock for the length of one write: taken if the cursor did not hold it, and
// then released at the end, as it is when Release() asks for it.
class ScopedRecordLock {
  public:
    ScopedRecordLock(RecordLock& locks, std::int64_t rowid);
    ~ScopedRecordLock();
    ScopedRecordLock(const ScopedRecordLock&) = delete;
    ScopedRecordLock& operator=(const ScopedRecordLock&) = delete;

    void Release() { release_ = true; }

  private:
    RecordLock& locks_;
    std::int64_t rowid_;
    bool release_;
};

}  // namespace dbe
