#include "tools/deleted_commands.h"

#include <algorithm>

#include "base/clinic_tables.h"
#include "engine/pgkit/server_deleted_rows.h"
#include "engine/pgkit/server_layout.h"
#include "engine/sqlitekit/deleted_rows.h"
#include "tools/clinic_schema.h"
#include "tools/tool_error.h"

namespace clinicdb {
namespace {

using pgkit::ServerDeletedRows;
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

std::vector<DeletedRow> NewestFirst(std::vector<DeletedRow> rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const DeletedRow& a, const DeletedRow& b) {
        return a.deletedAt > b.deletedAt;
    });
    return rows;
}

std::string RowName(std::string_view table, std::int64_t id) {
    return std::string(table) + " " + std::to_string(id);
}

// What an undelete did, told as the files' and the server's deleted rows both tell it.
template <typename Undone>
std::string Reported(Undone undone, const std::string& row) {
    switch (undone) {
        case Undone::kNumberTaken:
            throw ToolError(row + " is taken by another row since; nothing was changed");
        case Undone::kNeverDeleted:
            throw ToolError(row + " is not among the deleted rows; nothing was changed");
        case Undone::kRestored:
            break;
    }
    return "brought back " + row + "\n";
}

// A visit as the list names it: its patient, and its date.
std::string VisitOf(std::int64_t patient, std::string_view name, std::string_view date) {
    return "patient " + std::to_string(patient) + " " + std::string(name) + ", visit of " +
           std::string(date);
}

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
                            VisitOf(patient, names.Of(patient), list.ColumnText(2)),
                            std::string(list.ColumnText(3))});
        }
    }
    return NewestFirst(std::move(rows));
}

std::string Undelete(const std::filesystem::path& dir, std::string_view table, std::int64_t id,
                     TableOpener& tables) {
    const auto file = TableFile(dir, table);
    if (!std::filesystem::exists(file)) throw ToolError("no table file " + file.string());
    const auto db = tables.Open(file, SQLITE_OPEN_READWRITE);
    const DeletedRows deleted{std::string(table)};
    const std::string row = RowName(table, id);
    if (!deleted.IsPresent(db.Get().Handle()))
        throw ToolError(file.string() + " keeps no deleted rows: its deletes cannot be undone");
    return Reported(deleted.Undelete(db.Get(), id), row);
}

std::vector<DeletedRow> ListDeletedOnServer(pgkit::Connection& server) {
    const ServerDeletedRows patients{"bingren"}, visits{"bingli"};
    const bool keepsPatients = patients.IsPresent(server);
    std::vector<DeletedRow> rows;
    if (keepsPatients) {
        const pgkit::Result list =
            server.Query("SELECT deleted_rowid, coalesce(xm, ''), deleted_at FROM bingren_deleted");
        for (int row = 0; row < list.Rows(); ++row) {
            rows.push_back({"bingren", list.Int(row, 0), std::string(list.Text(row, 1)),
                            std::string(list.Text(row, 2))});
        }
    }
    if (visits.IsPresent(server)) {
        const std::string deletedName =
            keepsPatients ? "(SELECT coalesce(xm, '') || ' (deleted)' FROM bingren_deleted WHERE "
                            "deleted_rowid = v.brid ORDER BY deleted_at DESC LIMIT 1), "
                          : "";
        const pgkit::Result list = server.Query(
            "SELECT v.deleted_rowid, coalesce(v.brid, 0), coalesce((SELECT coalesce(xm, '') FROM "
            "bingren WHERE id = v.brid), " +
            deletedName +
            "'(no such patient)'), coalesce(v.lzrq::text, ''), v.deleted_at FROM bingli_deleted v");
        for (int row = 0; row < list.Rows(); ++row) {
            rows.push_back({"bingli", list.Int(row, 0),
                            VisitOf(list.Int(row, 1), list.Text(row, 2), list.Text(row, 3)),
                            std::string(list.Text(row, 4))});
        }
    }
    return NewestFirst(std::move(rows));
}

std::string UndeleteOnServer(pgkit::Connection& server, std::string_view table, std::int64_t id) {
    const ServerDeletedRows deleted{pgkit::ServerName(table)};
    const std::string row = RowName(table, id);
    if (!deleted.IsPresent(server))
        throw ToolError("the server's table " + deleted.table +
                        " keeps no deleted rows: its deletes cannot be undone");
    return Reported(deleted.Undelete(server, id), row);
}

}  // namespace clinicdb
