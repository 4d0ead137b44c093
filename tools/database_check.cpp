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

FileCheck CheckFile(const std::filesystem::path& dir, const TableDefinition& table) {
    const auto path = TableFile(dir, table);
    FileCheck result{path.filename().string(), {}};
    if (!std::filesystem::exists(path)) {
        result.problems.push_back("missing");
        return result;
    }
    try {
        // Read-write, never create: a file that a killed program left with a hot journal is
        // rolled back first, as the program itself does when it opens it.
        const auto db = Connection::Open(path, SQLITE_OPEN_READWRITE);
        result.problems = IntegrityProblems(db, table);
    } catch (const sqlitekit::Error& e) {
        // A file too damaged to check at all is as unsound as one that fails the check.
        result.problems.emplace_back(e.what());
    }
    return result;
}

void FindOrphans(const std::filesystem::path& dir, CheckReport& report) {
    const auto db = Connection::Open(TableFile(dir, VisitTable()), SQLITE_OPEN_READWRITE);
    Statement attach(db.Handle(), "ATTACH DATABASE ?1 AS patients");
    attach.BindText(1, TableFile(dir, PatientTable()).string());
    attach.Step();
    Statement orphans(db.Handle(),
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

CheckReport CheckDatabase(const std::filesystem::path& dir) {
    CheckReport report;
    for (const TableDefinition* table : ClinicTables())
        report.files.push_back(CheckFile(dir, *table));
    if (report.Sound()) FindOrphans(dir, report);
    return report;
}

}  // namespace clinicdb
