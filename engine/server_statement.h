// A statement of a table on a server: the engine's Statement over one of its store's SQL
// texts, run when first stepped with the values bound so far (as text, which the server reads
// as each parameter's type), its answer then read row by row.
#pragma once

#include <string>

#include "engine/pgkit/pg_connection.h"
#include "engine/statement.h"

namespace dbe {

class ServerTable;

class ServerStatement final : public Statement {
  public:
    // `sql` is in the server's SQL.
    ServerStatement(ServerTable& table, std::string sql) : table_(table), sql_(std::move(sql)) {}

    void BindNull(int index) override { Bind(index, std::nullopt); }
    void BindInt(int index, std::int64_t value) override { Bind(index, std::to_string(value)); }
    void BindDouble(int index, double value) override;
    void BindText(int index, std::string_view value) override { Bind(index, std::string(value)); }
    bool Step() override;
    void Reset() override;

    ColumnKind Kind(int column) const override;
    std::int64_t ColumnInt(int column) const override { return result_.Int(row_, column); }
    double ColumnDouble(int column) const override;
    std::string_view ColumnText(int column) const override { return result_.Text(row_, column); }

  private:
    void Bind(int index, pgkit::Connection::Param value);

    ServerTable& table_;
    std::string sql_;
    pgkit::Connection::Params params_;
    pgkit::Result result_;
    bool ran_ = false;
    int row_ = -1;
};

}  // namespace dbe
