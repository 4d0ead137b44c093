// Who uses a table file. Every table file the engine opens holds a shared claim on byte 0 of
// the table's lock file (record numbers start at 1, so no record lock takes that byte); a
// tool that replaces the file takes the claim exclusively. So a file is never replaced under
// a running program, which would go on writing into the old file, no longer in the directory.
//
// Contracts:
// - The claims are open-file-description locks: they end with the object or the process.
// - Without a lock file (a read-only directory) a shared claim claims nothing and succeeds.
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

  private:
    int fd_ = -1;
};

}  // namespace dbe
