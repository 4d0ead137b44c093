// Which database directories a PostgreSQL server serves, as the engine's configuration file
// says: /etc/dbengine.conf, or the file that $DBENGINE_CONF names.
//
// A line `SERVER <directory> = <libpq connection string>`, such as
//   SERVER d:\qorvyna\bingli = host=db.clinic port=5432 dbname=clinic user=clinic
// gives a directory name, as the program names it, to a server; a directory that no line names
// stays a directory of SQLite files. `DLLPATH=...` lines belong to the engine's loader and are
// passed over, as are blank lines and lines that begin with '#'.
//
// Contracts callers rely on:
// - Directory names are compared without regard to ASCII case, with '/' and '\' alike and
//   without separators at the end. A directory name holds no '='.
// - A connection string parses as libpq parses it and holds no password: the password is asked
//   of the user, never written down.
// - Any other line, and a directory named twice, make the whole file refused: a seat that
//   quietly kept its records in local files would part them from the other seats'. The
//   ConfigError names the file and every refused line by its number, and repeats no password.
#pragma once

#include <istream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

namespace dbe {

class ConfigError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class StorageConfig {
  public:
    // Reads the configuration file; one that does not exist maps nothing.
    static StorageConfig Load();
    // Reads `text`; `fileName` names it in errors.
    static StorageConfig Parse(std::istream& text, const std::string& fileName);

    // The connection string of the server that serves `directory`; nullopt for none.
    std::optional<std::string> ServerFor(const std::string& directory) const;

  private:
    struct Server {
        std::string conninfo;
        int line = 0;
    };
    // An error for the line, or "" when it is good.
    std::string ReadLine(const std::string& line, int number);
    std::string ReadServer(const std::string& entry, int number);

    std::map<std::string, Server> servers_;  // by DirectoryKey()
};

}  // namespace dbe
