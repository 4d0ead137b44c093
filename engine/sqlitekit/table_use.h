// Who uses a table file. Every table file the engine opens holds a shared claim on byte 0 of
// the table's lock file (record numbers start at 1, so no record lock takes that byte); a
// tool that replaces the file takes the claim exclusively. So a file is never replaced under
// a running program, which would go on writing into the old file, no longer in the directory.
//
// Contracts:
// - The claims are open-file-description locks: they end with the object or the process.
// - The lock file is made with the table file's permission bits and group (and, for root, its
//   owner), whatever the umask, so that whoever may write the table may lock it and its
//   records (record_lock.h); its owner gives an existing one those again where they differ.
// - A shared claim needs only to read the lock file. Without one (a directory that nobody let
//   this user write), it claims nothing only when this user cannot write the table either, so
//   has nothing to lose by a replacement; otherwise it throws std::system_error. An exclusive
//   claim needs to write the lock file and throws std::system_error when it cannot.
// - A claim that conflicts throws TableInUse at once; nothing waits.
#pragma once

#include <stdexcept>
#include <string>

namespace dbe {

class TableInUse : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class TableUse {
  public:
    enum class Kind { Shared, Exclusive };

    TableUse(const std::string& tablePath, Kind kind);
    ~TableUse();
    TableUse(const TableUse&) = delete;
    TableUse& operator=(const TableUse&) = delete;

    // False for a shared claim that claims nothing (see above).
    bool Holds() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

}  // namespace dbe
