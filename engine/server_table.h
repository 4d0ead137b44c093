// One table on a PostgreSQL server: the store of a database directory that the engine's
// configuration gives to a server (pgkit/storage_config.h), laid out as pgkit/server_layout.h
// says. Each store has a session of its own, shared by every cursor of one database handle on
// the table.
//
// Contracts (beyond store.h):
// - Opening logs in with no password, then with each of the session's passwords in turn; when
//   the server wants one that none of them is, it fails with DBIERR_NOTSUFFTABLERIGHTS, which
//   the record sets answer by asking the user. A table that the server lacks fails with
//   DBIERR_NOTFOUND_FILE.
// - Every session reads dates as ISO text and commits durably (synchronous_commit on).
// - A read whose session was lost opens a new session and runs once more, unless a
//   transaction was open; so does a write whose transaction could not begin. A write never runs
//   twice: a COMMIT lost with its session fails with the outcome unknown, and Refresh shows
//   what was stored. The next statement after a lost session opens a new one.
// - Record locks are the server's advisory locks, held by this store's session, so that a
//   seat whose program ends or whose session drops holds none; within the process, the store
//   keeps each record's lock for the one cursor that took it. A lost session loses its locks
//   for good (another seat may have changed the record meanwhile): the holder's next write of
//   the record fails with DBIERR_LOCKED and a line saying to edit it again, and so does a
//   write that was to begin as the session was found lost while locks were held.
// - Counts are invalidated by the table's change counter, which every seat's writes bump.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "engine/errors.h"
#include "engine/key_ring.h"
#include "engine/pgkit/pg_connection.h"
#include "engine/store.h"

namespace dbe {

class ServerTable final : public Store {
  public:
    // `table` is the server's name of the table, `name` how messages name it.
    ServerTable(const std::string& conninfo, const KeyRing& keys, const std::string& table,
                const std::string& name);
    ~ServerTable() override;

    const SqlDialect& Dialect() const override { return ServerDialect(); }
    bool IsReadOnly() const override { return readOnly_; }

    void Write(const std::function<void()>& body) override;

    std::unique_ptr<RecordLock> NewRecordLock() override;

    // Runs one statement (already in the server's SQL) with its parameters.
    pgkit::Result Run(const std::string& sql, const pgkit::Connection::Params& params);

    // The record locks of this table's session (server_record_lock.cpp).
    bool TakeLock(const void* owner, std::int64_t rowid);
    void ReleaseLock(const void* owner, std::int64_t rowid);
    // Throws DBIERR_LOCKED when `owner`'s lock on the record did not survive a new session.
    void ConfirmLock(const void* owner, std::int64_t rowid) const;

  private:
    std::unique_ptr<Statement> NewStatement(const std::string& sql) override;
    Stamp ChangeStamp() override;

    void Login(const std::string& conninfo, const KeyRing& keys);
    // A new session in place of a lost one; the old one's locks are lost. True when some
    // had been held until now.
    bool Reconnect();
    void ApplySessionSettings();
    // Marks every held lock lost; true when some had been held until now.
    bool LoseLocks();
    // The failure of a write or a lock that a lost session took away.
    static EngineError LostLock(std::optional<std::int64_t> rowid);
    std::string LockKey(std::int64_t rowid) const;

    std::unique_ptr<pgkit::Connection> connection_;
    std::int64_t tableKey_ = 0;  // the table's oid, which keys its records' advisory locks
    bool readOnly_ = false;
    // The records locked through this store, and by which cursor; `lost` when a new session
    // could not take the lock back.
    struct Held {
        const void* owner;
        bool lost;
    };
    std::map<std::int64_t, Held> locks_;
};

}  // namespace dbe
