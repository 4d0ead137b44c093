// How the tool makes the clinic's two tables on a PostgreSQL server from their description
// (base/clinic_tables.h), laid out as the engine's server storage reads them
// (engine/pgkit/server_layout.h).
//
// Contracts:
// - CreateServerTables() makes the support objects and every table with its indexes in one
//   transaction: all of them or, when one fails, none.
#pragma once

#include <span>

#include "base/clinic_tables.h"
#include "engine/pgkit/pg_connection.h"

namespace clinicdb {

void CreateServerTables(pgkit::Connection& connection,
                        std::span<const clinic_tables::Table* const> tables);

}  // namespace clinicdb
