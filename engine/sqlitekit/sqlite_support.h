// Small owners and helpers over SQLite's C interface, shared by the engine and the tools.
//
// Contracts callers rely on:
// - A Connection closes its database and a Statement finalizes itself; both are move-only.
// - Every failing SQLite call throws sqlitekit::Error with SQLite's extended result code and
//   the connection's message; nothing here returns an error code.
// - Values reach SQLite only through the Bind* calls. SQL text given to Prepare/Exec is built
//   from constants and from identifiers passed through QuoteIdentifier().
// - A StatementUse resets its statement (and clears its bindings) when it goes out of scope,
//   so that no read transaction stays open between two calls of the caller.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/scoped_use.h"

namespace sqlitekit {

class Error : public std::runtime_error {
  public:
    Error(int code, const std::string& message);
    // SQLite's extended result code (SQLITE_CONSTRAINT_UNIQUE, SQLITE_BUSY, ...).
    int Code() const { return code_; }
    // The primary result code: Code() & 0xff.
    int PrimaryCode() const { return code_ & 0xff; }

  private:
    int code_;
};

// Throws Error for `rc` with `db`'s current message (or SQLite's text for `rc` without one).
[[noreturn]] void Throw(sqlite3* db, int rc);

// "name" with inner quotes doubled: safe to place in SQL text as an identifier.
std::string QuoteIdentifier(std::string_view name);

class Statement {
  public:
    Statement() = default;
    // Prepares one statement; `prepareFlags` as for sqlite3_prepare_v3 (e.g. PERSISTENT).
    Statement(sqlite3* db, std::string_view sql, unsigned prepareFlags = 0);

    void BindInt(int index, std::int64_t value);
    void BindDouble(int index, double value);
    void BindText(int index, std::string_view value);
    void BindBlob(int index, std::string_view bytes);
    void BindNull(int index);

    // True when a row is ready, false when the statement has finished.
    bool Step();
    // Resets the statement and clears its bindings.
    void Reset();

    int ColumnType(int column) const { return sqlite3_column_type(stmt_.get(), column); }
    bool ColumnIsNull(int column) const { return ColumnType(column) == SQLITE_NULL; }
    std::int64_t ColumnInt(int column) const { return sqlite3_column_int64(stmt_.get(), column); }
    double ColumnDouble(int column) const { return sqlite3_column_double(stmt_.get(), column); }
    // Valid until the next Step() or Reset().
    std::string_view ColumnText(int column) const;
    std::string_view ColumnBlob(int column) const;

    sqlite3_stmt* Handle() const { return stmt_.get(); }

  private:
    struct Finalizer {
        void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
    };
    void Check(int rc) const;

    std::unique_ptr<sqlite3_stmt, Finalizer> stmt_;
};

// Holds a statement for one use; resets it on leaving scope.
using StatementUse = ScopedUse<Statement>;

class Connection {
  public:
    // Opens `path` with the sqlite3_open_v2 `flags` (SQLITE_OPEN_READWRITE, ...), with extended
    // result codes, synchronous=EXTRA, a busy timeout of kBusyTimeoutMs and the GBK collation.
    // Opening is lazy in SQLite: a file that is no database fails at its first statement.
    // `vfs` names the VFS to open through (nullptr: the default one).
    static Connection Open(const std::string& path, int flags, const char* vfs = nullptr);

    static constexpr int kBusyTimeoutMs = 2000;

    sqlite3* Handle() const { return db_.get(); }
    // Runs one or more statements that take no parameters.
    void Exec(std::string_view sql) const;
    // True when the main database was opened read-only.
    bool IsReadOnly() const { return sqlite3_db_readonly(db_.get(), "main") == 1; }

  private:
    struct Closer {
        void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
    };

    std::unique_ptr<sqlite3, Closer> db_;
};

// Registers the collation gbk::kCollation (GBK byte order) on `db`.
void RegisterGbkCollation(sqlite3* db);

// pinyin_keys(text): the text's pinyin keys (pinyin::Keys) as a JSON array of strings; an empty
// array for null. The character indexes of pinyin keys call it (character_index.h).
inline constexpr const char* kPinyinKeysFunction = "pinyin_keys";
void RegisterPinyinKeys(sqlite3* db);

// BEGIN IMMEDIATE on construction; rolls back on destruction unless Commit() was called.
class Transaction {
  public:
    explicit Transaction(const Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void Commit();

  private:
    const Connection& connection_;
    bool open_ = true;
};

}  // namespace sqlitekit
