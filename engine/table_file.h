// One open table file: its SQLite connection, shared by every cursor of one database handle
// on that file, so that each cursor sees the others' writes at once.
//
// Contracts:
// - A protected file is reached through the protected VFS while the file object lives.
// - The file object holds a shared claim on the table (table_use.h) while it lives; opening
//   throws TableInUse while a tool replaces the file.
// - Opening never creates a file and reads the schema at once: a file that is no SQLite
//   database, or has no table named after its stem, fails here with DBIERR_NOTADB. The
//   connection has the functions that filter conditions call (filter.h).
// - Prepare() hands out a cached statement; the caller wraps it in a StatementUse
//   so that it is reset before the call returns and no read transaction stays open, and uses
//   it before it prepares the next: the cache keeps the most recently used statements only.
// - Write() runs its body in one BEGIN IMMEDIATE transaction, committed (durably, with
//   synchronous=EXTRA: the journal's deletion and its directory synced) before it returns, or
//   rolled back if the body throws.
// - Count() computes a count once and answers it again for the same key while neither this
//   connection nor any other has changed the file since; PeekCount() answers only such a
//   stored count.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "engine/schema.h"
#include "engine/sqlitekit/sqlite_support.h"
#include "engine/sqlitekit/table_use.h"
#include "engine/statement.h"
#include "engine/tablecrypt/protected_vfs.h"

namespace dbe {

class TableFile {
  public:
    // A protected file opens through the protected VFS with the keys `unlocked`.
    TableFile(std::string path, const std::optional<tablecrypt::UnlockedFile>& unlocked);

    const std::string& Path() const { return path_; }
    // The SQL table's name, quoted for SQL text.
    const std::string& QuotedTable() const { return quotedTable_; }
    const Schema& GetSchema() const { return schema_; }
    bool IsReadOnly() const { return connection_.IsReadOnly(); }
    sqlite3* Handle() const { return connection_.Handle(); }

    Statement& Prepare(const std::string& sql);
    // The record number of the last row inserted through this file, and the rows that the
    // last INSERT, UPDATE or DELETE changed.
    std::int64_t LastInsertRowid() const { return sqlite3_last_insert_rowid(Handle()); }
    int Changes() const { return sqlite3_changes(Handle()); }

    void Write(const std::function<void()>& body);

    std::uint32_t Count(const std::string& key, const std::function<std::uint32_t()>& compute);
    std::optional<std::uint32_t> PeekCount(const std::string& key);

  private:
    struct Stamp {
        std::int64_t dataVersion = 0;
        std::uint64_t writes = 0;
        bool operator==(const Stamp&) const = default;
    };
    struct CountEntry {
        Stamp stamp;
        std::uint32_t count = 0;
    };

    Stamp CurrentStamp();

    std::string path_;
    TableUse use_;
    // Declared before the connection, which may use the grant until it closes.
    std::unique_ptr<tablecrypt::KeyGrant> grant_;
    sqlitekit::Connection connection_;
    std::string quotedTable_;
    Schema schema_;
    struct CachedStatement {
        std::unique_ptr<Statement> statement;
        std::list<std::string>::iterator use;  // its place in recentUse_
    };
    std::unordered_map<std::string, CachedStatement> statements_;
    std::list<std::string> recentUse_;  // the statements' texts, most recently used first
    std::unordered_map<std::string, CountEntry> counts_;
    std::uint64_t writes_ = 0;
};

}  // namespace dbe
