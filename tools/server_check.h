// The check and the summary of a server's clinic tables: are they laid out as the engine's
// server storage reads them (engine/pgkit/server_layout.h), can every row be read, and what do
// they hold.
//
// The check reports as the directory's check does (tools/database_check.h): one FileCheck for
// the support objects that every table shares (gbk_key and gbk_prefix, which must give GBK's
// bytes, dbengine_count_change and the table dbengine_changes, the name indexes' functions) and
// one for each table, named as the server names it. A table must have every column, index and
// trigger that the layout gives it, as the layout gives it (tools/server_shape.h: types,
// identity, the comments holding the declared definitions, index keys); then every row is read,
// the identity must hand out no number that a row holds, a table holding rows must have its
// change count, and its name index must hold just the keys that its rows give. Visits that
// belong to no patient are counted as for a directory. The tables are read in one read-only
// snapshot; the check changes nothing, but builds the layout's shapes in temporary tables, so
// it needs a server that takes writes (not a standby).
#pragma once

#include "engine/pgkit/pg_connection.h"
#include "tools/database_check.h"
#include "tools/database_summary.h"

namespace clinicdb {

CheckReport CheckServer(pgkit::Connection& connection);

// `today` in days since 1899-12-30 (base/dates.h). Throws ToolError when a table is missing.
Summary ReadServerSummary(pgkit::Connection& connection, int today);

}  // namespace clinicdb
