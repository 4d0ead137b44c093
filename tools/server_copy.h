// push and pull: a database directory copied onto a server, and a server's tables copied back
// into a directory, each copy verified before it counts.
//
// Verification: every row of each table, in record-number order, is fed to a RowDigest
// (tools/row_digest.h) from the side it was read from and again from the side it was written
// to, read back; the copy stands only when the row counts and the digests agree. Values keep
// what they are: NULL stays NULL, an empty text stays empty, dates are YYYY-MM-DD on both
// sides. Record numbers keep their values, and the number that the next new row gets never
// falls back to one used before.
//
// Contracts:
// - PushDirectory() reads the directory's tables through `tables` (a protected one with its
//   password) and copies them into the server's current schema, making the tables that are
//   missing; it refuses (ToolError, nothing changed) when a table there holds rows already. The
//   whole copy and its verification are one server transaction: on any failure, a failed
//   verification among them (ToolError naming the table), the server is left as it was. Only
//   the support objects that every table shares (pgkit::InstallSupport) may stay, made once.
// - PullDirectory() reads the server's tables in one snapshot and makes the table files in
//   `dir` as `clinicdb create` makes them (indexes, character indexes, the tables of deleted
//   rows), filled and verified before they take their names: on any failure no file is there.
//   It refuses (ToolError) a directory that holds a table file already, and a server that
//   lacks a table.
// - Rows of the directory's tables of deleted rows are not copied: the server keeps none.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "engine/pgkit/pg_connection.h"
#include "tools/row_digest.h"
#include "tools/table_passwords.h"

namespace clinicdb {

struct CopiedTable {
    std::string table;  // bingren, bingli
    TableDigest digest;
};

std::vector<CopiedTable> PushDirectory(const std::filesystem::path& dir, TableOpener& tables,
                                       pgkit::Connection& server);

std::vector<CopiedTable> PullDirectory(pgkit::Connection& server, const std::filesystem::path& dir);

}  // namespace clinicdb
