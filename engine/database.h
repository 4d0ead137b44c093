// A database handle (hDBIDb): a current directory and the table files open in it.
//
// Contracts:
// - The directory starts as the process's working directory; SetDirectory() checks that the
//   new one exists (DBIERR_NOTFOUND_FILE with an entry naming it).
// - All cursors of one database on one file share one TableFile (one SQLite connection); it
//   closes when the last of them does.
// - OpenTable() never creates a file. Asked for writing, a file that cannot be written answers
//   DBIERR_READONLY and opens nothing.
// - PrepareQuery() checks the text, the table and the fields; the View it answers makes a
//   read-only answer cursor each time it is executed.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "engine/cursor.h"
#include "engine/table_file.h"

namespace dbe {

class Database {
  public:
    explicit Database(bool readOnly) : readOnly_(readOnly) {}

    void SetDirectory(const std::string& dir);
    std::unique_ptr<Cursor> OpenTable(const std::string& name, const std::string& indexName,
                                      bool readOnly);
    View PrepareQuery(const std::string& text);

  private:
    std::shared_ptr<TableFile> Share(const std::string& path);

    bool readOnly_;
    std::string directory_ = ".";
    std::map<std::string, std::weak_ptr<TableFile>> tables_;
};

}  // namespace dbe
