// A database handle (hDBIDb): a current directory and the tables open in it, which are table
// files, or tables on the server that the engine's configuration gives the directory to.
//
// Contracts:
// - The directory starts as the process's working directory. SetDirectory() to a directory
//   that the configuration (pgkit/storage_config.h) gives to a server makes every later table
//   a table on that server (server_table.h); a configuration file that cannot be read fails with
//   DBIERR_ENVSTART. For any other, SetDirectory() checks that the new one exists
//   (DBIERR_NOTFOUND_FILE with an entry naming it) and that this user may read it (DBIERR_IO with
//   an entry naming it and the system's reason). A table file that this user may not read fails the
//   same way, whether opened or queried.
// - All cursors of one database on one table share one Store (one connection); it
//   closes when the last of them does.
// - A protected table file opens with the session's passwords (KeyRing), whether for a table
//   or a query; the open fails with the key ring's answer when none of them opens it.
// - OpenTable() never creates a file. Asked for writing, a file that cannot be written answers
//   DBIERR_READONLY and opens nothing. A table whose claim cannot be taken (table_use.h)
//   answers DBIERR_IO.
// - PrepareQuery() checks the text, the table and the fields; the View it answers makes a
//   read-only answer cursor each time it is executed.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "engine/cursor.h"
#include "engine/key_ring.h"
#include "engine/store.h"

namespace dbe {

class Database {
  public:
    // `keys` opens protected tables; it outlives the database.
    Database(bool readOnly, KeyRing& keys) : readOnly_(readOnly), keys_(keys) {}

    void SetDirectory(const std::string& dir);
    std::unique_ptr<Cursor> OpenTable(const std::string& name, const std::string& indexName,
                                      bool readOnly);
    View PrepareQuery(const std::string& text);

  private:
    std::shared_ptr<Store> Share(const std::string& path);
    std::shared_ptr<Store> ShareServerTable(const std::string& name);
    std::shared_ptr<Store> QueriedTable(const std::string& name);
    std::unique_ptr<Cursor> MakeCursor(std::shared_ptr<Store> table, const std::string& name,
                                       const std::string& indexName, bool readOnly);

    bool readOnly_;
    KeyRing& keys_;
    std::string directory_ = ".";
    // The server's connection string when the configuration gives the directory to a server.
    std::optional<std::string> server_;
    std::map<std::string, std::weak_ptr<Store>> tables_;
};

}  // namespace dbe
