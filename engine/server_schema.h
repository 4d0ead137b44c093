// The shape of a table on a server, read from the server's catalogue as pgkit/server_layout.h
// lays it out: each column's field from the definition its comment holds (a column without one
// by the server's name of its type), the identity column as the record number, the indexes
// whose first key is a column, gbk_key(column) (GBK order) or lower(column) (NOCASE), and the
// columns that a whole name index answers (pgkit/server_name_index.h).
//
// Contracts:
// - The names it answers are the only identifiers the engine places in SQL text for the table.
// - A table the server lacks answers DBIERR_NOTFOUND_FILE; one without a record number
//   (an identity column) DBIERR_NOTADB.
#pragma once

#include <string>

#include "engine/pgkit/pg_connection.h"
#include "engine/schema.h"

namespace dbe {

// `table` is the server's (unquoted) name of the table.
Schema ReadServerSchema(pgkit::Connection& connection, const std::string& table);

}  // namespace dbe
