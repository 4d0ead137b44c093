// What stores one table for the cursors: a table file of SQLite (table_file.h) or a table on a
// PostgreSQL server (server_table.h). Cursors, filters and queries speak to a table only
// through this, in the SQL that sql_dialect.h describes.
//
// Contracts:
// - Prepare() hands out a cached statement; the caller wraps it in a StatementUse so that it is
//   reset before the call returns and no read stays open, and uses it before it prepares the
//   next: the cache keeps the most recently used statements only.
// - Write() runs its body in one transaction, durable when it returns, or rolled back if the
//   body throws.
// - Count() computes a count once and answers it again for the same key while no one (this
//   store, another cursor, another program or seat) has changed the table since; PeekCount()
//   answers only such a stored count.
// - NewRecordLock() gives a cursor its own record locks: another cursor's, in this process or
//   another, holding a record makes the new one's Lock() fail with DBIERR_LOCKED.
// - Every failure throws the storage's own error (sqlitekit::Error, pgkit::Error) or an
//   EngineError.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "engine/record_lock.h"
#include "engine/schema.h"
#include "engine/sql_dialect.h"
#include "engine/statement.h"

namespace dbe {

class Store {
  public:
    // `table` is the SQL table's name.
    Store(std::string path, const std::string& table);
    virtual ~Store() = default;
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // The table as messages name it: the file's path, or the server's directory and table.
    const std::string& Path() const { return path_; }
    // The SQL table's name, as it is and quoted for SQL text.
    const std::string& TableName() const { return table_; }
    const std::string& QuotedTable() const { return quotedTable_; }
    const Schema& GetSchema() const { return schema_; }
    virtual const SqlDialect& Dialect() const = 0;
    virtual bool IsReadOnly() const = 0;

    Statement& Prepare(const std::string& sql);
    virtual void Write(const std::function<void()>& body) = 0;

    std::uint32_t Count(const std::string& key, const std::function<std::uint32_t()>& compute);
    std::optional<std::uint32_t> PeekCount(const std::string& key);

    virtual std::unique_ptr<RecordLock> NewRecordLock() = 0;

  protected:
    // Read by the derived class's constructor, which cannot pass it up.
    void SetSchema(Schema schema) { schema_ = std::move(schema); }
    virtual std::unique_ptr<Statement> NewStatement(const std::string& sql) = 0;
    // Values that change whenever anyone changes the table; read before a count is computed,
    // so that a change made meanwhile leaves the stored count stale rather than wrong.
    using Stamp = std::pair<std::int64_t, std::int64_t>;
    virtual Stamp ChangeStamp() = 0;

  private:
    struct CachedStatement {
        std::unique_ptr<Statement> statement;
        std::list<std::string>::iterator use;  // its place in recentUse_
    };
    struct CountEntry {
        Stamp stamp;
        std::uint32_t count = 0;
    };

    std::string path_;
    std::string table_;
    std::string quotedTable_;
    Schema schema_;
    std::unordered_map<std::string, CachedStatement> statements_;
    std::list<std::string> recentUse_;  // the statements' texts, most recently used first
    std::unordered_map<std::string, CountEntry> counts_;
};

}  // namespace dbe
