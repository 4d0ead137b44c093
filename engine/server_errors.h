// The engine's codes for the server's failures, each with a line that tells the clinic what
// happened in its own words, and the server's message after it.
//
// - A session that is gone, or a server that cannot be reached: DBIERR_IO, "The database
//   server cannot be reached". A change whose COMMIT was lost with the session: DBIERR_IO,
//   saying that whether it was saved is unknown and that Refresh shows what was stored.
// - A password the server wants and was not given, or a wrong one: DBIERR_NOTSUFFTABLERIGHTS,
//   the code that makes the record sets ask the user for one.
// - A full disk: DBIERR_DISKFULL. A busy server (too many sessions, a statement that timed
//   out or was cancelled, a lock wait, a deadlock): DBIERR_BUSY. A write the user may not
//   make: DBIERR_TABLEREADONLY. A broken key or rule of the table: as for a table file.
// - Anything else: DBIERR_IO with the server's message.
#pragma once

#include "engine/errors.h"
#include "engine/pgkit/pg_error.h"

namespace dbe {

EngineError FromServer(const pgkit::Error& error);

}  // namespace dbe
