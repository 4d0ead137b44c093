// The engine's SQL as the server speaks it. The engine writes one SQL for both storages
// (sql_dialect.h); a few words of it are SQLite's own, and the server's store rewrites them in
// every statement it prepares:
// - `?` placeholders become $1, $2, ... in order;
// - the word `rowid` becomes the table's record-number column;
// - `a LIKE b` becomes `a ILIKE b ESCAPE ''`: SQLite's LIKE ignores the case of ASCII letters
//   only, as ILIKE does in the server's C collation, and has no escape character;
//
// Contracts: quoted identifiers and string constants pass unchanged; the text holds no value
// of the caller's (the engine binds every one), so no rewrite can reach into one.
#pragma once

#include <string>
#include <string_view>

namespace dbe {

// `sql` for the server; `rowid` is the record-number column, quoted.
std::string ToServerSql(std::string_view sql, const std::string& rowid);

}  // namespace dbe
