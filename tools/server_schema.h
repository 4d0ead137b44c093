// How the tool makes the clinic's two tables on a PostgreSQL server from their description
// (base/clinic_tables.h), laid out as the engine's server storage reads them
// (engine/pgkit/server_layout.h), and what it asks of the server about them.
//
// Contracts:
// - CreateServerTables() makes the support objects and then every table with its indexes and
//   name index in one transaction: all of them or, when one is there already or fails, none
//   (ToolError names the table that is there).
// - The tables live in the session's current schema, the first of its search_path that exists.
#pragma once

#include <span>

#include "base/clinic_tables.h"
#include "engine/pgkit/pg_connection.h"

namespace clinicdb {

void CreateServerTables(pgkit::Connection& connection,
                        std::span<const clinic_tables::Table* const> tables);

// The support objects that every table shares (pgkit::InstallSupport) and those of the name
// indexes (pgkit::InstallPinyin), each made in a transaction of its own; made once however
// often this runs.
void InstallServerSupport(pgkit::Connection& connection);

// Makes `tables` with their name indexes and tables of deleted rows in the caller's
// transaction, in the first schema of the search_path, which must hold none of them.
// Requires: InstallServerSupport() ran.
void CreateServerTablesInTransaction(pgkit::Connection& connection,
                                     std::span<const clinic_tables::Table* const> tables);

// The name index (pgkit/server_name_index.h) of the table's character-indexed column, none for a
// table without one: made from the table's rows, or dropped (when there) with its trigger, in
// the caller's transaction. A bulk load drops it before and makes it after, faster than under
// its trigger.
void CreateServerNameIndex(pgkit::Connection& connection, const clinic_tables::Table& table);
void DropServerNameIndex(pgkit::Connection& connection, const clinic_tables::Table& table);

// After a bulk load, outside its transaction: the planner's statistics of `tables` and of their
// name indexes, and the visibility map without which an index-only scan reads the table too.
// Autovacuum comes to both only minutes later; until then a search for a common character read
// for the better part of a second.
void VacuumServerTables(pgkit::Connection& connection,
                        std::span<const clinic_tables::Table* const> tables);

// Readies `tables` for a bulk load in the caller's transaction: makes those that the current
// schema lacks and refuses (ToolError naming the table; nothing changed) when one holds rows.
// Requires: InstallServerSupport() ran.
void PrepareEmptyServerTables(pgkit::Connection& connection,
                              std::span<const clinic_tables::Table* const> tables);

// Whether the current schema holds a relation of the table's server name.
bool ServerTableExists(pgkit::Connection& connection, const clinic_tables::Table& table);

}  // namespace clinicdb
