#include "tools/server_rows.h"

#include <algorithm>

#include "engine/pgkit/server_layout.h"
#include "tools/server_schema.h"
#include "tools/tool_error.h"

namespace clinicdb {

namespace {

// Rows a FETCH brings: few round trips, little memory.
constexpr int kBatchRows = 10'000;

}  // namespace

std::vector<std::string> ServerColumns(const clinic_tables::Table& table) {
    std::vector<std::string> columns;
    for (const clinic_tables::Column& column : table.columns)
        columns.push_back(pgkit::ServerName(column.name));
    return columns;
}

std::string ServerSelect(const pgkit::Connection& connection, const clinic_tables::Table& table) {
    std::string columns;
    for (const std::string& column : ServerColumns(table))
        columns += (columns.empty() ? "" : ", ") + pgkit::QuoteIdentifier(connection, column);
    return "SELECT " + columns + " FROM " +
           pgkit::QuoteIdentifier(connection, pgkit::ServerName(table.name));
}

void ReadServerRows(pgkit::Connection& connection, const clinic_tables::Table& table,
                    const ServerRowBatch& take) {
    connection.Exec("DECLARE clinicdb_rows NO SCROLL CURSOR FOR " +
                    ServerSelect(connection, table) + " ORDER BY id");
    const std::string fetch = "FETCH FORWARD " + std::to_string(kBatchRows) + " FROM clinicdb_rows";
    for (;;) {
        const pgkit::Result rows = connection.Query(fetch);
        if (rows.Rows() == 0) break;
        take(rows);
    }
    connection.Exec("CLOSE clinicdb_rows");
}

std::optional<std::string_view> ServerValue(const pgkit::Result& rows, int row, int column) {
    if (rows.IsNull(row, column)) return std::nullopt;
    return rows.Text(row, column);
}

std::int64_t ServerUsedNumbers(pgkit::Connection& connection, const clinic_tables::Table& table) {
    const pgkit::Result sequence =
        connection.Query("SELECT pg_get_serial_sequence($1, 'id')",
                         {pgkit::QuoteIdentifier(connection, pgkit::ServerName(table.name))});
    if (sequence.IsNull(0, 0))
        throw ToolError(pgkit::ServerName(table.name) + ".id is no identity");
    // The server quoted the sequence's name itself.
    const pgkit::Result state =
        connection.Query("SELECT last_value, is_called FROM " + std::string(sequence.Text(0, 0)));
    // A sequence not yet called hands out last_value itself next.
    return state.Int(0, 0) - (state.Text(0, 1) == "t" ? 0 : 1);
}

ServerBulkTable::ServerBulkTable(pgkit::Connection& connection, const clinic_tables::Table& table)
    : connection_(connection), table_(table), name_(pgkit::ServerName(table.name)) {
    const pgkit::Result found = connection_.Query(
        "SELECT c.relname, pg_get_indexdef(i.indexrelid) FROM pg_index i "
        "JOIN pg_class c ON c.oid = i.indexrelid "
        "WHERE i.indrelid = $1::regclass AND NOT i.indisprimary ORDER BY c.relname",
        {pgkit::QuoteIdentifier(connection_, name_)});
    for (int row = 0; row < found.Rows(); ++row) {
        indexes_.push_back({std::string(found.Text(row, 0)), std::string(found.Text(row, 1))});
        connection_.Exec("DROP INDEX " + pgkit::QuoteIdentifier(connection_, indexes_.back().name));
    }
    DropServerNameIndex(connection_, table_);
    copy_.emplace(connection_, name_, ServerColumns(table));
}

std::int64_t ServerBulkTable::Finish(std::int64_t usedNumbers) {
    const std::int64_t rows = copy_->Finish();
    copy_.reset();
    for (const Index& index : indexes_) connection_.Exec(index.definition);
    CreateServerNameIndex(connection_, table_);
    const std::string quoted = pgkit::QuoteIdentifier(connection_, name_);
    const std::int64_t highest =
        connection_.Query("SELECT coalesce(max(id), 0) FROM " + quoted).Int(0, 0);
    if (std::max(highest, usedNumbers) > 0) {
        connection_.Query("SELECT setval(pg_get_serial_sequence($1, 'id'), $2)",
                          {quoted, std::to_string(std::max(highest, usedNumbers))});
    }
    connection_.Exec("ANALYZE " + quoted);
    return rows;
}

}  // namespace clinicdb
