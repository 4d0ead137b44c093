// The deleted rows of a table, kept so that a delete can be undone: a trigger copies every row
// that a delete removes, with the time of the delete, into <table>_deleted in the same file and
// the same transaction. A delete that rolls back leaves no trace; one that commits can always
// be undone, whoever made it (the engine, clinicdb, the sqlite3 shell).
//
// Contracts:
// - <table>_deleted holds deleted_rowid, deleted_at (local time, "YYYY-MM-DD HH:MM:SS.SSS")
//   and the table's own columns, declared without a kind so that every value is kept exactly.
// - Create() adds it and its trigger <table>_deleted_keep; Drop() removes both. A file
//   without them works as before; its deletes cannot be undone.
// - Undelete() puts the latest deleted row with that record number back under it, and removes
//   it from the deleted rows, in one transaction; a number that a row has taken since is
//   refused and nothing changes. The table's own triggers (its character indexes) run as for
//   any insert.
#pragma once

#include <cstdint>
#include <string>

#include "engine/sqlitekit/sqlite_support.h"

namespace sqlitekit {

struct DeletedRows {
    std::string table;

    // <table>_deleted, unquoted.
    std::string Name() const;

    void Create(const Connection& db) const;
    void Drop(const Connection& db) const;
    // The table of deleted rows and its trigger are in the file.
    bool IsPresent(sqlite3* db) const;

    enum class Undone { kRestored, kNumberTaken, kNeverDeleted };
    Undone Undelete(const Connection& db, std::int64_t rowid) const;
};

}  // namespace sqlitekit
