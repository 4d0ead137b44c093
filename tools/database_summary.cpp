#include "tools/database_summary.h"

#include "engine/sqlitekit/sqlite_support.h"
#include "tools/clinic_schema.h"
#include "tools/tool_error.h"

namespace clinicdb {
namespace {

using sqlitekit::Connection;
using sqlitekit::Statement;

std::int64_t Count(const Connection& db, const char* sql) {
    Statement count(db.Handle(), sql);
    count.Step();
    return count.ColumnInt(0);
}

std::vector<PatientLine> FirstPatients(const Connection& db) {
    Statement first(db.Handle(), "SELECT Id, Xm, Xb, Nl, Lxdh FROM bingren ORDER BY Id LIMIT ?1");
    first.BindInt(1, kPatientsListed);
    std::vector<PatientLine> lines;
    while (first.Step()) {
        PatientLine line{first.ColumnInt(0), std::string(first.ColumnText(1)),
                         std::string(first.ColumnText(2)), std::nullopt,
                         std::string(first.ColumnText(4))};
        if (!first.ColumnIsNull(3)) line.age = first.ColumnInt(3);
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace

tablecrypt::TableConnection OpenExistingTable(const std::filesystem::path& dir,
                                              const clinic_tables::Table& table,
                                              TableOpener& tables) {
    const auto file = TableFile(dir, table);
    if (!std::filesystem::exists(file)) throw ToolError(file.string() + " does not exist");
    return tables.Open(file, SQLITE_OPEN_READONLY);
}

Summary ReadSummary(const std::filesystem::path& dir, int today, TableOpener& tables) {
    const auto patientFile = OpenExistingTable(dir, clinic_tables::Patients(), tables);
    const auto visitFile = OpenExistingTable(dir, clinic_tables::Visits(), tables);
    const Connection& patients = patientFile.Get();
    const Connection& visits = visitFile.Get();
    Summary summary;
    summary.patients = Count(patients, "SELECT count(*) FROM bingren");
    summary.visits = Count(visits, "SELECT count(*) FROM bingli");
    Statement due(patients.Handle(), "SELECT count(*) FROM bingren WHERE Fzyysj = ?1");
    due.BindText(1, dates::FormatStoredDate(today + 1));
    due.Step();
    summary.dueTomorrow = due.ColumnInt(0);
    summary.firstPatients = FirstPatients(patients);
    return summary;
}

}  // namespace clinicdb
