// The deleted and undelete commands: the rows that deletes removed, kept in each table's file
// (engine/sqlitekit/deleted_rows.h) or beside each table on a server
// (engine/pgkit/server_deleted_rows.h), listed and brought back.
//
// Contracts:
// - ListDeleted() answers the deleted patients and visits, newest first; a visit names its
//   patient, who may be deleted too. A table that keeps no deleted rows lists none.
// - Undelete() brings one row back under its old record number and answers the line that says
//   so; a patient's visits were never deleted, so they are his again. It throws ToolError, and
//   changes nothing, for a table that keeps no deleted rows, a number that was never deleted,
//   or one that another row has taken since.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/pgkit/pg_connection.h"
#include "tools/table_passwords.h"

namespace clinicdb {

struct DeletedRow {
    std::string table;  // bingren or bingli
    std::int64_t id = 0;
    std::string what;       // the patient's name, or the visit's patient and date
    std::string deletedAt;  // local time, YYYY-MM-DD HH:MM:SS.SSS
};

std::vector<DeletedRow> ListDeleted(const std::filesystem::path& dir, TableOpener& tables);
std::string Undelete(const std::filesystem::path& dir, std::string_view table, std::int64_t id,
                     TableOpener& tables);

// The same on a server.
std::vector<DeletedRow> ListDeletedOnServer(pgkit::Connection& server);
std::string UndeleteOnServer(pgkit::Connection& server, std::string_view table, std::int64_t id);

}  // namespace clinicdb
