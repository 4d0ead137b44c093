#include "tools/server_demo.h"

#include <chrono>
#include <string>

#include "engine/pgkit/server_layout.h"
#include "tools/server_rows.h"
#include "tools/server_schema.h"

namespace clinicdb {
namespace {

// The values of a row as COPY takes them; an empty text or a missing date is NULL, as the
// directory's tables store them.
std::optional<std::string> Text(std::int64_t value) {
    return std::to_string(value);
}

std::optional<std::string> Text(const std::string& value) {
    if (value.empty()) return std::nullopt;
    return value;
}

std::optional<std::string> Text(std::optional<Day> day) {
    if (!day) return std::nullopt;
    return dates::FormatStoredDate(*day);
}

template <typename Row>
void CopyRow(pgkit::CopyIn& copy, const Row& row) {
    WithValues(row, [&](const auto&... values) { (copy.Add(Text(values)), ...); });
    copy.EndRow();
}

}  // namespace

DemoResult LoadServerDemo(pgkit::Connection& connection, const DemoOptions& options) {
    const auto started = std::chrono::steady_clock::now();
    InstallServerSupport(connection);
    pgkit::Transaction transaction(connection);
    PrepareEmptyServerTables(connection, clinic_tables::All());

    ServerBulkTable patients(connection, clinic_tables::Patients());
    DemoResult result =
        GenerateDemo(options, [&](const Patient& patient, const std::vector<Visit>&) {
            CopyRow(patients.Copy(), patient);
        });
    patients.Finish();

    ServerBulkTable visits(connection, clinic_tables::Visits());
    GenerateDemo(options, [&](const Patient&, const std::vector<Visit>& patientVisits) {
        for (const Visit& visit : patientVisits) CopyRow(visits.Copy(), visit);
    });
    visits.Finish();
    transaction.Commit();
    VacuumServerTables(connection, clinic_tables::All());

    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}

}  // namespace clinicdb
