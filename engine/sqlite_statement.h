// A statement of a table file: the engine's Statement over a prepared SQLite statement.
#pragma once

#include "engine/sqlitekit/sqlite_support.h"
#include "engine/statement.h"

namespace dbe {

class SqliteStatement final : public Statement {
  public:
    // Prepared to be kept: the table file caches its statements.
    SqliteStatement(sqlite3* db, std::string_view sql)
        : statement_(db, sql, SQLITE_PREPARE_PERSISTENT) {}

    void BindNull(int index) override { statement_.BindNull(index); }
    void BindInt(int index, std::int64_t value) override { statement_.BindInt(index, value); }
    void BindDouble(int index, double value) override { statement_.BindDouble(index, value); }
    void BindText(int index, std::string_view value) override { statement_.BindText(index, value); }
    bool Step() override { return statement_.Step(); }
    void Reset() override { statement_.Reset(); }

    ColumnKind Kind(int column) const override;
    std::int64_t ColumnInt(int column) const override { return statement_.ColumnInt(column); }
    double ColumnDouble(int column) const override { return statement_.ColumnDouble(column); }
    std::string_view ColumnText(int column) const override { return statement_.ColumnText(column); }

  private:
    sqlitekit::Statement statement_;
};

}  // namespace dbe
