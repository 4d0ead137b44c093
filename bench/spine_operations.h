// The operations that the spine benchmarks time on one demo database: each through the record
// sets over the engine and, on a directory of files, as the plain SQLite statements that do the
// same work.
//
// RunSpine points the engine at the root (DBENGINE_ROOT), so that the program's database
// directory d:\qorvyna\bingli is ROOT/d/qorvyna/bingli, and opens everything afresh: runs on
// several roots may follow one another in one process. A protected database needs its password:
// the session is given it as the program gives the user's, and the plain statements open the
// files with it. The operations write (a patient's age, new visits): run them on copies.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct SpineFigure {
    std::string name;
    double recordSets = 0;             // microseconds per operation
    std::optional<double> statements;  // the same work as plain SQLite statements, if timed
};

struct SpineFigures {
    std::string dir;
    std::vector<SpineFigure> figures;
    int walked = 0;  // patients visited with Next, the last figure
    double baseMiB = 0, openedMiB = 0, walkedMiB = 0;  // resident memory
};

// With `server`, a libpq connection string, the engine's configuration gives the database
// directory to that server, whose current schema holds the same tables (clinicdb push), for the
// run; only the record sets are timed there, as the plain statements read files.
SpineFigures RunSpine(const std::string& root, const std::optional<std::string>& password,
                      const std::optional<std::string>& server = std::nullopt);
