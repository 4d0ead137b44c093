#include "tools/database_check.h"

#include <algorithm>
#include <sstream>

#include "engine/sqlite_support.h"
#include "tools/clinic_schema.h"

namespace clinicdb {
namespace {

using sqlitekit::Connection;
using sqlitekit::Statement;

// SQLite lists at most this many problems; more would only repeat the verdict.
constexpr int kProblemsListed = 10;

std::vector<std::string> IntegrityProblems(const Connection& db, const TableDefinition& table) {
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

FileCheck CheckFile(const std::filesystem::path& dir, const TableDefinition& table,
                    TableOpener& tables) {
    const auto path = TableFile(dir, table);
    FileCheck result{path.filename().string(), {}};
    if (!std::filesystem::exists(path)) {
        result.problems.push_back("missing");
        return result;
    }
    try {
        // Read-write, never create: a file that a killed program left with a hot journal is
        // rolled back first, as the program itself does when it opens it.
        const auto db = tables.Open(path, SQLITE_OPEN_READWRITE);
        result.problems = IntegrityProblems(db.Get(), table);
    } catch (const sqlitekit::Error& e) {
        // A file too damaged to check at all is as unsound as one that fails the check.
        result.problems.emplace_back(e.what());
    } catch (const tablecrypt::DamagedHeader&) {
        result.problems.emplace_back("damaged protection header");
    }
    return result;
}

void FindOrphans(const std::filesystem::path& dir, TableOpener& tables, CheckReport& report) {
    const auto visits = tables.Open(TableFile(dir, VisitTable()), SQLITE_OPEN_READWRITE);
    // Attaching a protected file takes the grant that a connection of its own holds.
    const auto patients = tables.Open(TableFile(dir, PatientTable()), SQLITE_OPEN_READONLY);
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
}

}  // namespace

bool CheckReport::Sound() const {
    return std::all_of(files.begin(), files.end(),
                       [](const FileCheck& f) { return f.problems.empty(); });
}

CheckReport CheckDatabase(const std::filesystem::path& dir, TableOpener& tables) {
    CheckReport report;
    for (const TableDefinition* table : ClinicTables())
        report.files.push_back(CheckFile(dir, *table, tables));
    if (report.Sound()) FindOrphans(dir, tables, report);
    return report;
}

}  // namespace clinicdb
