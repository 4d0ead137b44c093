// The demo command on a server: the clinic's tables filled with the same generated patients
// and visits as a directory gets (tools/demo_generator.h).
//
// Contracts:
// - Makes the tables that the server lacks; refuses (ToolError, nothing changed) when one
//   holds rows.
// - One transaction: every row or, when anything fails, none. Built for volume: rows go by
//   COPY, each table in one pass (the generator runs once for the patients and once for the
//   visits: it gives the same data every time), indexes made after them.
#pragma once

#include "engine/pgkit/pg_connection.h"
#include "tools/demo_loader.h"

namespace clinicdb {

DemoResult LoadServerDemo(pgkit::Connection& connection, const DemoOptions& options);

}  // namespace clinicdb
