// Whether each table file holds what the program reads (base/clinic_tables.h): every described
// column, declared with its described kind, and the index that the program opens the table by.
// The program refuses a file that lacks one of them at start-up, so the check fails on it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/table_passwords.h"

namespace clinicdb {

struct ProgramRefusal {
    std::string file;                // the first table file, patients first, that lacks something
    std::vector<std::string> lines;  // what it lacks, one line each
};

// Requires: both table files exist and are sound. Opens them through `tables`.
std::optional<ProgramRefusal> FindRefusal(const std::filesystem::path& dir, TableOpener& tables);

}  // namespace clinicdb
