#include "tools/server_check.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/pgkit/server_layout.h"
#include "engine/pgkit/server_name_index.h"
#include "tools/clinic_schema.h"
#include "tools/server_rows.h"
#include "tools/server_schema.h"
#include "tools/server_shape.h"
#include "tools/tool_error.h"

namespace clinicdb {

namespace {

using pgkit::Connection;

// The oid of the table $1 of the current schema, NULL when there is none.
constexpr const char* kTableOid =
    "to_regclass(quote_ident(current_schema()) || '.' || quote_ident($1))";

// A function of the support objects in the current schema, by its name and argument types.
bool HasFunction(Connection& connection, const std::string& signature) {
    return connection
               .Query(
                   "SELECT to_regprocedure(quote_ident(current_schema()) || '.' || $1) "
                   "IS NOT NULL",
                   {signature})
               .Text(0, 0) == "t";
}

FileCheck CheckSupport(Connection& connection) {
    FileCheck check{"support objects", {}, {}};
    for (const char* function :
         {"gbk_key(text)", "gbk_prefix(text, bigint)", "dbengine_count_change()",
          "dbengine_characters(text, integer)", "dbengine_pinyin_keys(text)",
          "dbengine_reading_text(text)", "pinyin_pattern(text)", "pinyin_match(text, text)"}) {
        if (!HasFunction(connection, function))
            check.problems.push_back(std::string("function ") + function + " is missing");
    }
    if (check.problems.empty()) {
        // 张三 in GBK: d5c5 c8fd; its first three bytes end inside 三.
        const pgkit::Result answers = connection.Query(
            "SELECT encode(gbk_key('张三'), 'hex') = 'd5c5c8fd', gbk_prefix('张三', 3) = '张'");
        if (answers.Text(0, 0) != "t") check.problems.emplace_back("gbk_key gives no GBK bytes");
        if (answers.Text(0, 1) != "t")
            check.problems.emplace_back("gbk_prefix does not cut at a character");
    }
    const pgkit::Result counter = connection.Query(
        std::string("SELECT string_agg(a.attname || ' ' || format_type(a.atttypid, a.atttypmod), "
                    "', ' ORDER BY a.attnum) FROM pg_attribute a WHERE a.attrelid = ") +
            kTableOid + " AND a.attnum > 0 AND NOT a.attisdropped",
        {"dbengine_changes"});
    if (counter.Text(0, 0) != "tbl text, n bigint")
        check.problems.emplace_back("table dbengine_changes (tbl text, n bigint) is missing");
    return check;
}

// Reads every value of every row as text on the server, as a seat's read turns it into text, so
// that a damaged page or value fails here; a table that fails is reported, and the check goes
// on. The text stays on the server: shipping gigabytes of memos would only slow the check.
std::int64_t CheckRows(Connection& connection, const clinic_tables::Table& table,
                       FileCheck& check) {
    std::int64_t rows = 0;
    connection.Exec("SAVEPOINT clinicdb_rows");
    try {
        rows = connection
                   .Query("SELECT count(*) FROM (" + ServerSelect(connection, table) +
                          ") r WHERE r::text IS NOT NULL")
                   .Int(0, 0);
        connection.Exec("RELEASE SAVEPOINT clinicdb_rows");
    } catch (const pgkit::Error& e) {
        if (e.Kind() == pgkit::Failure::ConnectionLost) throw;
        connection.Exec("ROLLBACK TO SAVEPOINT clinicdb_rows");
        check.problems.push_back(std::string("the rows cannot be read: ") + e.what());
    }
    return rows;
}

void CheckNumbering(Connection& connection, const clinic_tables::Table& table, std::int64_t rows,
                    FileCheck& check) {
    const std::string name = pgkit::ServerName(table.name);
    const std::string quoted = pgkit::QuoteIdentifier(connection, name);
    const std::int64_t highest =
        connection.Query("SELECT coalesce(max(id), 0) FROM " + quoted).Int(0, 0);
    if (ServerUsedNumbers(connection, table) < highest)
        check.problems.push_back("its identity would hand out numbers that rows hold (up to " +
                                 std::to_string(highest) +
                                 "): SELECT setval(pg_get_serial_sequence('" + name + "', 'id'), " +
                                 std::to_string(highest) + ") puts it past them");
    const bool counted =
        connection.Query("SELECT 1 FROM dbengine_changes WHERE tbl = $1", {name}).Rows() == 1;
    if (rows > 0 && !counted)
        check.problems.emplace_back(
            "it holds rows but dbengine_changes counts no change to it: they came in past its "
            "trigger, and the seats' cached counts may be stale");
}

// Entries of one name index table that the table's rows do not give, and entries that the rows
// give and it lacks. The rows' entries are worked out once: on a large table that is the check's
// dearest part.
std::int64_t NameIndexDisagreements(Connection& connection, const std::string& indexTable,
                                    const std::string& columns, const std::string& entries) {
    return connection
        .Query("WITH expected AS MATERIALIZED (" + entries + "), stored AS (SELECT " + columns +
               " FROM " + indexTable +
               ") SELECT (SELECT count(*) FROM (TABLE expected EXCEPT TABLE stored) m) + "
               "(SELECT count(*) FROM (TABLE stored EXCEPT TABLE expected) e)")
        .Int(0, 0);
}

// The name index's shape is the layout's (its trigger among the table's); here its entries must
// be what the rows give.
void CheckNameIndex(Connection& connection, const clinic_tables::Table& table, FileCheck& check) {
    if (table.characterIndexed.empty()) return;
    const std::string name = pgkit::ServerName(table.name);
    const std::string column = pgkit::ServerName(table.characterIndexed);
    const std::string rows = pgkit::QuoteIdentifier(connection, name);
    const std::string c = pgkit::QuoteIdentifier(connection, column);
    for (const bool pinyin : {false, true}) {
        const std::string index = pgkit::NameIndexTable(name, column, pinyin);
        const pgkit::Result present =
            connection.Query(std::string("SELECT ") + kTableOid + " IS NOT NULL", {index});
        if (present.Text(0, 0) != "t") {
            check.problems.push_back("name index " + index + " is missing");
        } else if (const std::int64_t wrong = NameIndexDisagreements(
                       connection, pgkit::QuoteIdentifier(connection, index),
                       pgkit::NameIndexColumns(pinyin),
                       pgkit::NameIndexEntries(rows, "id", c, IndexedCharacters(table), pinyin))) {
            check.problems.push_back("name index " + index + " disagrees with the table in " +
                                     std::to_string(wrong) + " entries");
        }
    }
}

FileCheck CheckTable(Connection& connection, const clinic_tables::Table& table,
                     const std::map<std::string, TableShape>& layout) {
    const std::string name = pgkit::ServerName(table.name);
    FileCheck check{name, {}, {}};
    if (!ServerTableExists(connection, table)) {
        check.problems.emplace_back("missing");
        return check;
    }
    // Without the support objects there is no layout to compare with: that failure says it.
    if (layout.empty()) return check;
    const std::string schema(connection.Query("SELECT current_schema()").Text(0, 0));
    check.problems = ShapeDifferences(ReadTableShape(connection, schema, name), layout.at(name));
    // Rows are read by the described columns, and numbered by id: only in a sound table.
    if (!check.problems.empty()) return check;
    const std::int64_t rows = CheckRows(connection, table, check);
    if (!check.problems.empty()) return check;
    CheckNumbering(connection, table, rows, check);
    CheckNameIndex(connection, table, check);
    return check;
}

void FindOrphans(Connection& connection, CheckReport& report) {
    const pgkit::Result orphans = connection.Query(
        "SELECT v.id, count(*) OVER () FROM bingli v WHERE NOT EXISTS "
        "(SELECT 1 FROM bingren p WHERE p.id = v.brid) ORDER BY v.id LIMIT $1",
        {std::to_string(kOrphansListed)});
    for (int row = 0; row < orphans.Rows(); ++row) {
        report.firstOrphans.push_back(orphans.Int(row, 0));
        report.orphanCount = orphans.Int(row, 1);
    }
}

std::int64_t Count(Connection& connection, const char* sql,
                   const pgkit::Connection::Params& params = {}) {
    return connection.Query(sql, params).Int(0, 0);
}

}  // namespace

CheckReport CheckServer(Connection& connection) {
    CheckReport report;
    report.files.push_back(CheckSupport(connection));
    const std::map<std::string, TableShape> layout =
        report.Sound() ? LayoutShapes(connection) : std::map<std::string, TableShape>{};
    pgkit::Transaction transaction(connection);
    connection.Exec("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY");
    for (const clinic_tables::Table* table : clinic_tables::All())
        report.files.push_back(CheckTable(connection, *table, layout));
    if (report.Sound()) FindOrphans(connection, report);
    transaction.Commit();
    return report;
}

Summary ReadServerSummary(Connection& connection, int today) {
    pgkit::Transaction transaction(connection);
    connection.Exec("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY");
    for (const clinic_tables::Table* table : clinic_tables::All()) {
        if (!ServerTableExists(connection, *table))
            throw ToolError("the server has no table " + pgkit::ServerName(table->name));
    }
    Summary summary;
    summary.patients = Count(connection, "SELECT count(*) FROM bingren");
    summary.visits = Count(connection, "SELECT count(*) FROM bingli");
    summary.dueTomorrow = Count(connection, "SELECT count(*) FROM bingren WHERE fzyysj = $1",
                                {dates::FormatStoredDate(today + 1)});
    const pgkit::Result first =
        connection.Query("SELECT id, xm, xb, nl, lxdh FROM bingren ORDER BY id LIMIT $1",
                         {std::to_string(kPatientsListed)});
    for (int row = 0; row < first.Rows(); ++row) {
        PatientLine line{first.Int(row, 0), std::string(first.Text(row, 1)),
                         std::string(first.Text(row, 2)), std::nullopt,
                         std::string(first.Text(row, 4))};
        if (!first.IsNull(row, 3)) line.age = first.Int(row, 3);
        summary.firstPatients.push_back(std::move(line));
    }
    transaction.Commit();
    return summary;
}

}  // namespace clinicdb
