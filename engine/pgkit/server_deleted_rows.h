// The deleted rows of a table on a server, kept as a table file keeps its own
// (sqlitekit/deleted_rows.h): a row trigger copies every row that a delete removes, with the
// time of the delete, into <table>_deleted in the deleting transaction, whichever seat or
// session deleted it.
//
// Contracts:
// - <table>_deleted holds deleted_rowid, deleted_at (the server's local time as text,
//   "YYYY-MM-DD HH:MM:SS.SSS") and the table's own columns with their types.
// - Create() makes it, with the function and trigger <table>_deleted_keep, in the caller's
//   transaction. A table without them works as before; its deletes cannot be undone.
// - Undelete() puts the latest deleted row with that record number back under it, and removes
//   it from the deleted rows, in one transaction; a number that a row holds is refused and
//   nothing changes. The table's own triggers (its name index, its change count) run as for
//   any insert.
#pragma once

#include <cstdint>
#include <string>

#include "engine/pgkit/pg_connection.h"

namespace pgkit {

struct ServerDeletedRows {
    std::string table;  // the server's name of the table

    // <table>_deleted, unquoted.
    std::string Name() const;

    void Create(Connection& connection) const;
    // The table of deleted rows and its trigger are in the session's schema.
    bool IsPresent(Connection& connection) const;

    enum class Undone { kRestored, kNumberTaken, kNeverDeleted };
    Undone Undelete(Connection& connection, std::int64_t rowid) const;
};

}  // namespace pgkit
