// One open table file: the store of a table in a directory of SQLite files. Its connection is
// shared by every cursor of one database handle on that file, so that each cursor sees the
// others' writes at once.
//
// Contracts (beyond store.h):
// - A protected file is reached through the protected VFS while the file object lives.
// - The file object holds a shared claim on the table (table_use.h) while it lives; opening
//   throws TableInUse while a tool replaces the file.
// - Opening never creates a file and reads the schema at once: a file that is no SQLite
//   database, or has no table named after its stem, fails here with DBIERR_NOTADB. The
//   connection has the functions that filter conditions call (filter.h).
// - Write() commits with synchronous=EXTRA: the journal's deletion and its directory synced.
// - Record locks are file locks in the lock file beside the table (record_lock.h).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine/sqlitekit/sqlite_support.h"
#include "engine/sqlitekit/table_use.h"
#include "engine/store.h"
#include "engine/tablecrypt/protected_vfs.h"

namespace dbe {

class TableFile final : public Store {
  public:
    // A protected file opens through the protected VFS with the keys `unlocked`.
    TableFile(std::string path, const std::optional<tablecrypt::UnlockedFile>& unlocked);

    const SqlDialect& Dialect() const override { return SqliteDialect(); }
    bool IsReadOnly() const override { return connection_.IsReadOnly(); }
    sqlite3* Handle() const { return connection_.Handle(); }

    void Write(const std::function<void()>& body) override;

    std::unique_ptr<RecordLock> NewRecordLock() override;

  private:
    std::unique_ptr<Statement> NewStatement(const std::string& sql) override;
    Stamp ChangeStamp() override;

    TableUse use_;
    // Declared before the connection, which may use the grant until it closes.
    std::unique_ptr<tablecrypt::KeyGrant> grant_;
    sqlitekit::Connection connection_;
    std::int64_t writes_ = 0;
};

}  // namespace dbe
