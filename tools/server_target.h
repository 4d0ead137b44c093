// Where clinicdb's commands find a PostgreSQL server: an argument that is a libpq connection
// string (CONN) instead of a database directory, and the session opened on it.
//
// Contracts:
// - IsConnectionString(): a string holding '=' (key=value form) or beginning with
//   postgresql:// or postgres:// names a server; anything else is a directory.
// - OpenServer() refuses (ToolError) a string that libpq cannot parse or that holds a password:
//   passwords are never written down. libpq's own PGPASSWORD and password file work as libpq
//   makes them work; when the server still asks for a password, one is asked of `passwords`
//   (at a terminal, again after a wrong one, three times at most) and the login tried again.
// - The session it opens reads and writes dates as YYYY-MM-DD, whatever the server's settings.
//   Every failure of the server throws pgkit::Error.
#pragma once

#include <string>
#include <string_view>

#include "engine/pgkit/pg_connection.h"
#include "tools/password_source.h"

namespace clinicdb {

bool IsConnectionString(std::string_view argument);

pgkit::Connection OpenServer(const std::string& conninfo, PasswordSource& passwords);

}  // namespace clinicdb
