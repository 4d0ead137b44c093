// Where the engine's files are: database directories and the table files inside them.
//
// Contracts:
// - ResolveDirectory() maps a path with a drive letter (`d:\a\b`) to <root>/d/a/b, <root>
//   being $DBENGINE_ROOT, else $XDG_DATA_HOME/dbengine, else ~/.local/share/dbengine; any
//   other path is used as it is. It does not look at the file system.
// - FindTableFile() never creates anything.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

namespace dbe {

std::string ResolveDirectory(const std::string& dir);

bool IsDirectory(const std::string& path);

// `dir`/`name`, or `name` itself when it is absolute.
std::string JoinPath(const std::string& dir, const std::string& name);

// The path of the file `name` in `dir`: under its exact name, else the first (in byte order)
// whose name equals it without regard to ASCII case; nullopt when there is none.
std::optional<std::string> FindTableFile(const std::string& dir, const std::string& name);

// The file's name without its directory and extension ("bingren" for "/x/bingren.DB").
std::string FileStem(const std::string& path);

// The lock file beside a table file ("/x/bingren.LCK" for "/x/bingren.DB").
std::string LockFilePath(const std::string& tablePath);

// True when the file and its directory (where SQLite writes its journal) can be written.
bool CanWrite(const std::string& path);

// Gives the file open as `fd` the owner and group of `model` where this user may (root), else
// its group where this user may (a member of it), and `model`'s permission bits within `bits`:
// a file made in place of another, or beside it, then serves the same users. False, with errno
// set, when the group or the permission bits could not be given.
bool TakeAccessOf(int fd, const struct stat& model, mode_t bits);

}  // namespace dbe
