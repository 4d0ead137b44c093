#include "tools/server_copy.h"

#include <functional>

#include "engine/pgkit/server_layout.h"
#include "engine/sqlitekit/sqlite_support.h"
#include "tools/clinic_schema.h"
#include "tools/database_summary.h"
#include "tools/server_rows.h"
#include "tools/server_schema.h"
#include "tools/tool_error.h"

namespace clinicdb {

namespace {

using sqlitekit::Statement;

// The described columns of the table file in record-number order.
std::string FileRowsSql(const clinic_tables::Table& table) {
    std::string sql = "SELECT ";
    for (const clinic_tables::Column& column : table.columns) {
        if (&column != &table.columns.front()) sql += ", ";
        sql += sqlitekit::QuoteIdentifier(column.name);
    }
    return sql + " FROM " + sqlitekit::QuoteIdentifier(table.name) + " ORDER BY Id";
}

std::optional<std::string_view> FileValue(const Statement& rows, int column) {
    if (rows.ColumnIsNull(column)) return std::nullopt;
    return rows.ColumnText(column);
}

int ColumnCount(const clinic_tables::Table& table) {
    return static_cast<int>(table.columns.size());
}

// Every row of the table file, each value handed to `take` and each row's end to `endRow`.
void ReadFileRows(const sqlitekit::Connection& db, const clinic_tables::Table& table,
                  const std::function<void(std::optional<std::string_view>)>& take,
                  const std::function<void()>& endRow) {
    Statement rows(db.Handle(), FileRowsSql(table));
    while (rows.Step()) {
        for (int column = 0; column < ColumnCount(table); ++column) take(FileValue(rows, column));
        endRow();
    }
}

TableDigest FileDigest(const sqlitekit::Connection& db, const clinic_tables::Table& table) {
    RowDigest digest;
    ReadFileRows(
        db, table, [&](std::optional<std::string_view> value) { digest.Add(value); },
        [&] { digest.EndRow(); });
    return digest.Finish();
}

TableDigest ServerDigest(pgkit::Connection& server, const clinic_tables::Table& table) {
    RowDigest digest;
    ReadServerRows(server, table, [&](const pgkit::Result& rows) {
        for (int row = 0; row < rows.Rows(); ++row) {
            for (int column = 0; column < rows.Columns(); ++column)
                digest.Add(ServerValue(rows, row, column));
            digest.EndRow();
        }
    });
    return digest.Finish();
}

void RequireSame(const clinic_tables::Table& table, const TableDigest& read,
                 const TableDigest& written, const std::string& consequence) {
    if (read == written) return;
    throw ToolError("verification failed: " + std::string(table.name) + " as copied (" +
                    std::to_string(written.rows) + " rows, sha256 " + written.sha256 +
                    ") differs from " + std::string(table.name) + " as read (" +
                    std::to_string(read.rows) + " rows, sha256 " + read.sha256 + "); " +
                    consequence);
}

// The record numbers that the file's AUTOINCREMENT has handed out; 0 for none.
std::int64_t FileUsedNumbers(const sqlitekit::Connection& db, const clinic_tables::Table& table) {
    Statement used(db.Handle(),
                   "SELECT coalesce(max(seq), 0) FROM sqlite_sequence WHERE name = ?1");
    used.BindText(1, table.name);
    used.Step();
    return used.ColumnInt(0);
}

void SetFileUsedNumbers(const sqlitekit::Connection& db, const clinic_tables::Table& table,
                        std::int64_t used) {
    if (used <= 0) return;
    // Creating an AUTOINCREMENT table makes sqlite_sequence; a row of the table's makes its row.
    Statement add(db.Handle(),
                  "INSERT INTO sqlite_sequence (name, seq) SELECT ?1, ?2 "
                  "WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = ?1)");
    add.BindText(1, table.name);
    add.BindInt(2, used);
    add.Step();
    Statement raise(db.Handle(),
                    "UPDATE sqlite_sequence SET seq = ?2 WHERE name = ?1 AND seq < ?2");
    raise.BindText(1, table.name);
    raise.BindInt(2, used);
    raise.Step();
}

CopiedTable PushTable(const sqlitekit::Connection& db, const clinic_tables::Table& table,
                      pgkit::Connection& server) {
    // The rows and the numbers handed out, from one snapshot of the file.
    db.Exec("BEGIN");
    ServerBulkTable load(server, table);
    RowDigest read;
    ReadFileRows(
        db, table,
        [&](std::optional<std::string_view> value) {
            load.Copy().Add(value);
            read.Add(value);
        },
        [&] {
            load.Copy().EndRow();
            read.EndRow();
        });
    load.Finish(FileUsedNumbers(db, table));
    db.Exec("COMMIT");
    const TableDigest sent = read.Finish();
    RequireSame(table, sent, ServerDigest(server, table), "nothing was changed on the server");
    return {std::string(table.name), sent};
}

// The values reach the file as text; the columns' declared kinds store numbers as numbers, as
// they do for the engine's own writes.
CopiedTable PullTable(pgkit::Connection& server, const sqlitekit::Connection& db,
                      const clinic_tables::Table& table) {
    Statement insert(db.Handle(), clinic_tables::InsertSql(table), SQLITE_PREPARE_PERSISTENT);
    RowDigest read;
    ReadServerRows(server, table, [&](const pgkit::Result& rows) {
        for (int row = 0; row < rows.Rows(); ++row) {
            sqlitekit::StatementUse use(insert);
            for (int column = 0; column < rows.Columns(); ++column) {
                const std::optional<std::string_view> value = ServerValue(rows, row, column);
                read.Add(value);
                if (value) {
                    insert.BindText(column + 1, *value);
                } else {
                    insert.BindNull(column + 1);
                }
            }
            read.EndRow();
            insert.Step();
        }
    });
    SetFileUsedNumbers(db, table, ServerUsedNumbers(server, table));
    const TableDigest received = read.Finish();
    RequireSame(table, received, FileDigest(db, table), "no file was made");
    return {std::string(table.name), received};
}

}  // namespace

std::vector<CopiedTable> PushDirectory(const std::filesystem::path& dir, TableOpener& tables,
                                       pgkit::Connection& server) {
    // The tables' passwords are asked before the server's transaction begins.
    const auto patients = OpenExistingTable(dir, clinic_tables::Patients(), tables);
    const auto visits = OpenExistingTable(dir, clinic_tables::Visits(), tables);
    InstallServerSupport(server);
    pgkit::Transaction transaction(server);
    PrepareEmptyServerTables(server, clinic_tables::All());
    std::vector<CopiedTable> copied;
    copied.push_back(PushTable(patients.Get(), clinic_tables::Patients(), server));
    copied.push_back(PushTable(visits.Get(), clinic_tables::Visits(), server));
    transaction.Commit();
    VacuumServerTables(server, clinic_tables::All());
    return copied;
}

std::vector<CopiedTable> PullDirectory(pgkit::Connection& server,
                                       const std::filesystem::path& dir) {
    pgkit::Transaction transaction(server);
    server.Exec("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY");
    for (const clinic_tables::Table* table : clinic_tables::All()) {
        if (!ServerTableExists(server, *table))
            throw ToolError("the server has no table " + pgkit::ServerName(table->name));
    }
    std::filesystem::create_directories(dir);
    std::vector<CopiedTable> copied;
    CreateTableFiles(dir, clinic_tables::All(),
                     [&](const sqlitekit::Connection& db, const clinic_tables::Table& table) {
                         copied.push_back(PullTable(server, db, table));
                     });
    transaction.Commit();
    return copied;
}

}  // namespace clinicdb
