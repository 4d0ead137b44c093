#include "tools/deleted_commands.h"

#include <algorithm>

#include "base/clinic_tables.h"
#include "engine/sqlitekit/deleted_rows.h"
#include "tools/clinic_schema.h"
#include "tools/tool_error.h"

namespace clinicdb {
namespace {

using sqlitekit::DeletedRows;
using sqlitekit::Statement;

// The name of a patient, wherever he is: among the patients, among the deleted ones, or nowhere.
class PatientNames {
  public:
    PatientNames(sqlite3* patients, bool keepsDeleted)
        : name_(patients,
                "SELECT Xm FROM bingren WHERE Id = ?1" +
                    (keepsDeleted ? " UNION ALL SELECT Xm || ' (deleted)' FROM " +
                                        sqlitekit::QuoteIdentifier(DeletedRows{"bingren"}.Name()) +
                                        " WHERE deleted_rowid = ?1"
                                  : std::string()) +
                    " LIMIT 1") {}

    std::string Of(std::int64_t id) {
        const sqlitekit::StatementUse use(name_);
        use->BindInt(1, id);
        return use->Step() ? std::string(use->ColumnText(0)) : "(no such patient)";
    }

  private:
    Statement name_;
};

}  // namespace

std::vector<DeletedRow> ListDeleted(const std::filesystem::path& dir, TableOpener& tables) {
    const auto patients =
        tables.Open(TableFile(dir, clinic_tables::Patients()), SQLITE_OPEN_READONLY);
    const auto visits = tables.Open(TableFile(dir, clinic_tables::Visits()), SQLITE_OPEN_READONLY);
    const DeletedRows deletedPatients{"bingren"}, deletedVisits{"bingli"};
    const bool keepsPatients = deletedPatients.IsPresent(patients.Get().Handle());
    std::vector<DeletedRow> rows;
    if (keepsPatients) {
        Statement list(patients.Get().Handle(),
                       "SELECT deleted_rowid, Xm, deleted_at FROM " +
                           sqlitekit::QuoteIdentifier(deletedPatients.Name()));
        while (list.Step()) {
            rows.push_back({"bingren", list.ColumnInt(0), std::string(list.ColumnText(1)),
                            std::string(list.ColumnText(2))});
        }
    }
    if (deletedVisits.IsPresent(visits.Get().Handle())) {
        PatientNames names(patients.Get().Handle(), keepsPatients);
        Statement list(visits.Get().Handle(), "SELECT deleted_rowid, Brid, Lzrq, deleted_at FROM " +
                                                  sqlitekit::QuoteIdentifier(deletedVisits.Name()));
        while (list.Step()) {
            const std::int64_t patient = list.ColumnInt(1);
            rows.push_back({"bingli", list.ColumnInt(0),
                            "patient " + std::to_string(patient) + " " + names.Of(patient) +
                                ", visit of " + std::string(list.ColumnText(2)),
                            std::string(list.ColumnText(3))});
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [](const DeletedRow& a, const DeletedRow& b) {
        return a.deletedAt > b.deletedAt;
    });
    return rows;
}

std::string Undelete(const std::filesystem::path& dir, std::string_view table, std::int64_t id,
                     TableOpener& tables) {
    const auto file = TableFile(dir, table);
    if (!std::filesystem::exists(file)) throw ToolError("no table file " + file.string());
    const auto db = tables.Open(file, SQLITE_OPEN_READWRITE);
    const DeletedRows deleted{std::string(table)};
    const std::string row = std::string(table) + " " + std::to_string(id);
    if (!deleted.IsPresent(db.Get().Handle()))
        throw ToolError(file.string() + " keeps no deleted rows: its deletes cannot be undone");
    switch (deleted.Undelete(db.Get(), id)) {
        case DeletedRows::Undone::kNumberTaken:
            throw ToolError(row + " is taken by another row since; nothing was changed");
        case DeletedRows::Undone::kNeverDeleted:
            throw ToolError(row + " is not among the deleted rows; nothing was changed");
        case DeletedRows::Undone::kRestored:
            break;
    }
    return "brought back " + row + "\n";
}

}  // namespace clinicdb
