// The record locks of one cursor: each cursor holds its own, and another cursor's lock on a
// record (in this process, another program, or another seat of the server) makes Lock() fail
// with DBIERR_LOCKED and an entry naming the record. A lock never outlives its cursor, nor
// the process that held it.
//
// Contracts:
// - A lock that was not taken is never taken for granted: a store that cannot lock answers
//   DBIERR_LOCKED, or DBIERR_IO for a failure of the system, with an entry saying why.
// - Destruction releases every lock.
#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace dbe {

class RecordLock {
  public:
    RecordLock() = default;
    virtual ~RecordLock() = default;
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;

    void Lock(std::int64_t rowid);
    bool Holds(std::int64_t rowid) const { return held_.count(rowid) != 0; }
    // False when this cursor did not hold the record's lock.
    bool Unlock(std::int64_t rowid);
    void UnlockAll();

  protected:
    // Takes the record's lock: false when another holds it; throws on any other failure.
    virtual bool Take(std::int64_t rowid) = 0;
    virtual void Release(std::int64_t rowid) = 0;
    // Throws DBIERR_LOCKED when a lock this cursor holds was lost meanwhile.
    virtual void Confirm(std::int64_t) const {}

    friend class ScopedRecordLock;

  private:
    std::set<std::int64_t> held_;
};

// The locks of a table file: open-file-description locks (F_OFD_SETLK) on the byte at each
// locked record number in the lock file beside the table (`bingren.LCK`), which the table's
// claim made (table_use.h). Each opens the lock file on its own, so that its locks conflict
// with every other cursor's. A cursor that cannot open the lock file for writing cannot lock.
class FileRecordLock final : public RecordLock {
  public:
    explicit FileRecordLock(std::string path) : path_(std::move(path)) {}
    ~FileRecordLock() override;

  private:
    bool Take(std::int64_t rowid) override;
    void Release(std::int64_t rowid) override;
    // Opens the lock file on first use.
    void Open();
    bool SetLock(std::int64_t rowid, short type);

    std::string path_;
    int fd_ = -1;
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
