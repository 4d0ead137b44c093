#include "tools/database_check.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <system_error>

#include "engine/errors.h"
#include "engine/sqlitekit/deleted_rows.h"
#include "engine/sqlitekit/sqlite_support.h"
#include "engine/tablecrypt/table_protection.h"
#include "tools/clinic_schema.h"
#include "tools/protection_commands.h"
#include "tools/tool_error.h"

namespace clinicdb {
namespace {

using sqlitekit::Connection;
using sqlitekit::Statement;

// SQLite lists at most this many problems; more would only repeat the verdict.
constexpr int kProblemsListed = 10;

std::vector<std::string> IntegrityProblems(const Connection& db,
                                           const clinic_tables::Table& table) {
    Statement check(db.Handle(), "SELECT * FROM pragma_integrity_check(?1)");
    check.BindInt(1, kProblemsListed);
    std::vector<std::string> problems;
    // A row may hold several problems, one a line.
    while (check.Step()) {
        std::istringstream lines{std::string(check.ColumnText(0))};
        for (std::string line; std::getline(lines, line);)
            if (line != "ok") problems.push_back(line);
    }
    Statement hasTable(db.Handle(),
                       "SELECT count(*) FROM sqlite_schema WHERE type='table' AND name=?1");
    hasTable.BindText(1, table.name);
    hasTable.Step();
    if (hasTable.ColumnInt(0) == 0) problems.push_back("no table " + std::string(table.name));
    return problems;
}

// A directory that cannot be read is no verdict on its files, nor are its files missing.
void RequireReadable(const std::filesystem::path& dir) {
    if (access(dir.c_str(), R_OK | X_OK) == 0 || errno == ENOENT) return;
    const int error = errno;
    throw ToolError("cannot read " + dir.string() + ": " + std::strerror(error));
}

// The copy is named with why it stays.
void RemoveCopy(const std::filesystem::path& file, CheckReport& report) {
    try {
        if (auto removed = RemoveLeftoverCopy(file)) report.removedCopies.push_back(*removed);
    } catch (const std::system_error& e) {
        report.keptCopies.push_back(tablecrypt::CopyPath(file) +
                                    ": cannot be removed: " + e.code().message());
    }
}

// Whether the table's character indexes are there and agree with the table; with `repair`, one
// that is missing or disagrees is built anew first. A missing one is no damage (searches scan).
void CheckCharacterIndexes(const tablecrypt::TableConnection& db, const clinic_tables::Table& table,
                           bool repair, FileCheck& result) {
    for (const sqlitekit::CharacterIndex& index : CharacterIndexesOf(table)) {
        const int characters = IndexedCharacters(table);
        const std::string what = "the " + index.Name() + " index";
        const auto agrees = [&] {
            return index.IsPresent(db.Get().Handle()) &&
                   index.Disagreements(db.Get().Handle(), characters) == 0;
        };
        if (repair && !agrees()) {
            sqlitekit::Transaction transaction(db.Get());
            index.Drop(db.Get());
            index.Create(db.Get(), characters);
            transaction.Commit();
            result.notes.push_back("rebuilt " + what);
        }
        const std::string repairHint = " (clinicdb check --repair builds it anew)";
        if (!index.IsPresent(db.Get().Handle())) {
            result.notes.push_back("no " + index.Name() + " index: searches by " + index.column +
                                   " read the whole table" + repairHint);
        } else if (const auto wrong = index.Disagreements(db.Get().Handle(), characters)) {
            result.problems.push_back(what + " disagrees with the table in " +
                                      std::to_string(wrong) + " entries" + repairHint);
        }
    }
}

// Whether deletes from the table can be undone; with `repair`, they can from then on.
void CheckDeletedRows(const tablecrypt::TableConnection& db, const clinic_tables::Table& table,
                      bool repair, FileCheck& result) {
    const sqlitekit::DeletedRows deleted{std::string(table.name)};
    if (deleted.IsPresent(db.Get().Handle())) return;
    if (repair) {
        sqlitekit::Transaction transaction(db.Get());
        deleted.Drop(db.Get());
        deleted.Create(db.Get());
        transaction.Commit();
        result.notes.push_back("added " + deleted.Name() + ": deletes can be undone from now on");
        return;
    }
    result.notes.push_back("no " + deleted.Name() + ": deletes in " + std::string(table.name) +
                           " cannot be undone (clinicdb check --repair adds it)");
}

FileCheck CheckFile(const std::filesystem::path& dir, const clinic_tables::Table& table,
                    TableOpener& tables, bool repair) {
    const auto path = TableFile(dir, table);
    FileCheck result{path.filename().string(), {}, {}};
    if (!std::filesystem::exists(path)) {
        result.problems.push_back("missing");
        return result;
    }
    try {
        // Read-write, never create: a file that a killed program left with a hot journal is
        // rolled back first, as the program itself does when it opens it.
        const auto db = tables.Open(path, SQLITE_OPEN_READWRITE);
        result.problems = IntegrityProblems(db.Get(), table);
        if (result.problems.empty()) {
            CheckCharacterIndexes(db, table, repair, result);
            CheckDeletedRows(db, table, repair, result);
        }
    } catch (const sqlitekit::Error& e) {
        // A file too damaged to check at all is as unsound as one that fails the check. Said
        // in the engine's words, which tell a page that fails its check from other failures.
        result.problems.push_back(dbe::SqliteMessage(e));
    } catch (const tablecrypt::DamagedHeader&) {
        result.problems.emplace_back("damaged protection header");
    }
    return result;
}

void FindOrphans(const std::filesystem::path& dir, TableOpener& tables, CheckReport& report) {
    const auto visits = tables.Open(TableFile(dir, clinic_tables::Visits()), SQLITE_OPEN_READWRITE);
    // Attaching a protected file takes the grant that a connection of its own holds.
    const auto patients =
        tables.Open(TableFile(dir, clinic_tables::Patients()), SQLITE_OPEN_READONLY);
    Statement attach(visits.Get().Handle(), "ATTACH DATABASE ?1 AS patients");
    attach.BindText(1, patients.Uri());
    attach.Step();
    Statement orphans(visits.Get().Handle(),
                      "SELECT v.Id FROM main.bingli v WHERE NOT EXISTS "
                      "(SELECT 1 FROM patients.bingren p WHERE p.Id = v.Brid) ORDER BY v.Id");
    while (orphans.Step()) {
        if (report.firstOrphans.size() < kOrphansListed)
            report.firstOrphans.push_back(orphans.ColumnInt(0));
        ++report.orphanCount;
    }
    const sqlitekit::DeletedRows deleted{std::string(clinic_tables::Patients().name)};
    const std::string wasDeleted = deleted.IsPresent(patients.Get().Handle())
                                       ? "EXISTS (SELECT 1 FROM patients." +
                                             sqlitekit::QuoteIdentifier(deleted.Name()) +
                                             " d WHERE d.deleted_rowid = v.Brid)"
                                       : "0";
    Statement missing(visits.Get().Handle(),
                      "SELECT v.Brid, group_concat(v.Id, ' '), " + wasDeleted +
                          " FROM main.bingli v WHERE NOT EXISTS (SELECT 1 FROM patients.bingren p "
                          "WHERE p.Id = v.Brid) GROUP BY v.Brid ORDER BY v.Brid LIMIT ?");
    missing.BindInt(1, kOrphansListed);
    while (missing.Step()) {
        report.missingPatients.push_back(
            {missing.ColumnInt(0), std::string(missing.ColumnText(1)), missing.ColumnInt(2) != 0});
    }
}

// The integer columns of a table with their bounds, from their declared kinds.
struct IntegerColumn {
    std::string name;
    std::int64_t low, high;
};

std::vector<IntegerColumn> IntegerColumns(const Connection& db, std::string_view table) {
    Statement info(db.Handle(), "SELECT name, upper(type) FROM pragma_table_info(?1)");
    info.BindText(1, table);
    std::vector<IntegerColumn> columns;
    while (info.Step()) {
        const std::string type(info.ColumnText(1));
        if (type == "SMALLINT")
            columns.push_back({std::string(info.ColumnText(0)), INT16_MIN, INT16_MAX});
        if (type == "INTEGER")
            columns.push_back({std::string(info.ColumnText(0)), INT32_MIN, INT32_MAX});
    }
    return columns;
}

void FindUnreadableCells(const std::filesystem::path& dir, TableOpener& tables,
                         CheckReport& report) {
    for (const clinic_tables::Table* table : clinic_tables::All()) {
        const auto path = TableFile(dir, *table);
        const auto db = tables.Open(path, SQLITE_OPEN_READONLY);
        const std::string quotedTable = sqlitekit::QuoteIdentifier(table->name);
        for (const IntegerColumn& column : IntegerColumns(db.Get(), table->name)) {
            const std::string c = sqlitekit::QuoteIdentifier(column.name);
            Statement cells(db.Get().Handle(),
                            "SELECT rowid, " + c + " FROM " + quotedTable + " WHERE typeof(" + c +
                                ") IN ('integer', 'real') AND (" + c + " <> CAST(" + c +
                                " AS INTEGER) OR " + c + " NOT BETWEEN ?1 AND ?2) ORDER BY rowid");
            cells.BindInt(1, column.low);
            cells.BindInt(2, column.high);
            while (cells.Step()) {
                report.unreadableCells.push_back(path.filename().string() + ": " + column.name +
                                                 " of Id " + std::to_string(cells.ColumnInt(0)) +
                                                 " holds " + std::string(cells.ColumnText(1)));
            }
        }
    }
}

}  // namespace

bool CheckReport::Sound() const {
    return std::all_of(files.begin(), files.end(),
                       [](const FileCheck& f) { return f.problems.empty(); });
}

bool CheckReport::Passed() const {
    return Sound() && !refusal && keptCopies.empty();
}

CheckReport CheckDatabase(const std::filesystem::path& dir, TableOpener& tables, bool repair) {
    RequireReadable(dir);
    CheckReport report;
    for (const clinic_tables::Table* table : clinic_tables::All())
        RemoveCopy(TableFile(dir, *table), report);
    for (const clinic_tables::Table* table : clinic_tables::All())
        report.files.push_back(CheckFile(dir, *table, tables, repair));
    if (!report.Sound()) return report;
    report.refusal = FindRefusal(dir, tables);
    if (report.refusal) return report;
    FindOrphans(dir, tables, report);
    FindUnreadableCells(dir, tables, report);
    return report;
}

}  // namespace clinicdb
