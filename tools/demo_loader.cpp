#include "tools/demo_loader.h"

#include <chrono>
#include <string>
#include <vector>

#include "engine/sqlitekit/sqlite_support.h"
#include "engine/tablecrypt/protected_file.h"
#include "tools/clinic_schema.h"
#include "tools/tool_error.h"

namespace clinicdb {
namespace {

using sqlitekit::Connection;
using sqlitekit::Statement;
using sqlitekit::StatementUse;

// The values of a row reach SQLite by their kind; an empty text or a missing date is NULL.
void Bind(Statement& statement, int index, std::int64_t value) {
    statement.BindInt(index, value);
}

void Bind(Statement& statement, int index, const std::string& value) {
    if (value.empty()) {
        statement.BindNull(index);
    } else {
        statement.BindText(index, value);
    }
}

void Bind(Statement& statement, int index, std::optional<Day> day) {
    if (day) {
        statement.BindText(index, dates::FormatStoredDate(*day));
    } else {
        statement.BindNull(index);
    }
}

// Binds the values to parameters 1, 2, ... in order and runs the insert.
template <typename... Values>
void InsertRow(Statement& insert, const Values&... values) {
    StatementUse use(insert);
    int index = 0;
    (Bind(insert, ++index, values), ...);
    insert.Step();
}

// A table file that a demo load may fill: absent, or holding the empty table.
void RequireEmptyOrAbsent(const std::filesystem::path& dir, const clinic_tables::Table& table) {
    const auto file = TableFile(dir, table);
    if (!std::filesystem::exists(file)) return;
    if (tablecrypt::IsProtected(file))
        throw ToolError(file.string() + " is protected; demo data goes only into plain tables");
    const auto db = Connection::Open(file, SQLITE_OPEN_READONLY);
    Statement hasTable(db.Handle(),
                       "SELECT count(*) FROM sqlite_schema WHERE type='table' AND name=?1");
    hasTable.BindText(1, table.name);
    hasTable.Step();
    if (hasTable.ColumnInt(0) == 0)
        throw ToolError(file.string() + " holds no table " + std::string(table.name));
    Statement hasRows(db.Handle(), "SELECT EXISTS (SELECT 1 FROM " +
                                       sqlitekit::QuoteIdentifier(table.name) + ")");
    hasRows.Step();
    if (hasRows.ColumnInt(0) != 0)
        throw ToolError(file.string() + " is not empty; demo data goes only into empty tables");
}

void PrepareFiles(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    std::vector<const clinic_tables::Table*> missing;
    for (const clinic_tables::Table* table : clinic_tables::All()) {
        RequireEmptyOrAbsent(dir, *table);
        if (!std::filesystem::exists(TableFile(dir, *table))) missing.push_back(table);
    }
    CreateTableFiles(dir, missing);
}

// One table's connection for the bulk load: no journal, no syncing, indexes rebuilt at the end.
class BulkTable {
  public:
    BulkTable(const std::filesystem::path& dir, const clinic_tables::Table& table)
        : table_(table), db_(Connection::Open(TableFile(dir, table), SQLITE_OPEN_READWRITE)) {
        db_.Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-262144");
        DropIndexes(db_, table_);
        db_.Exec("BEGIN");
        insert_ =
            Statement(db_.Handle(), clinic_tables::InsertSql(table_), SQLITE_PREPARE_PERSISTENT);
    }

    Statement& Insert() { return insert_; }

    void Finish() {
        db_.Exec("COMMIT");
        CreateIndexes(db_, table_);
    }

  private:
    const clinic_tables::Table& table_;
    Connection db_;
    Statement insert_;
};

template <typename Row>
void InsertValues(Statement& insert, const Row& row) {
    WithValues(row, [&](const auto&... values) { InsertRow(insert, values...); });
}

}  // namespace

DemoResult GenerateDemo(const DemoOptions& options, const DemoSink& take) {
    const auto started = std::chrono::steady_clock::now();
    DemoResult result;
    DemoGenerator generator(options);
    Patient patient;
    std::vector<Visit> patientVisits;
    for (std::int64_t i = 0; i < options.patients; ++i) {
        generator.Next(patient, patientVisits);
        take(patient, patientVisits);
        result.visits += static_cast<std::int64_t>(patientVisits.size());
        if (patient.followUp == options.today + 1) ++result.dueTomorrow;
    }
    result.patients = options.patients;
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}

DemoResult LoadDemo(const std::filesystem::path& dir, const DemoOptions& options) {
    const auto started = std::chrono::steady_clock::now();
    PrepareFiles(dir);
    BulkTable patients(dir, clinic_tables::Patients());
    BulkTable visits(dir, clinic_tables::Visits());
    DemoResult result =
        GenerateDemo(options, [&](const Patient& patient, const std::vector<Visit>& patientVisits) {
            InsertValues(patients.Insert(), patient);
            for (const Visit& visit : patientVisits) InsertValues(visits.Insert(), visit);
        });
    patients.Finish();
    visits.Finish();
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}

}  // namespace clinicdb
