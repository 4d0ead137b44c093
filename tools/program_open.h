// Opening a database directory's tables as the program does at start-up: the clinic's record
// sets with their declared fields, through the engine library that the program loads, so that
// a directory the program would refuse is refused here too, in the program's own words.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace clinicdb {

struct ProgramRefusal {
    std::string file;                // the table file of the record set that failed to open
    std::vector<std::string> lines;  // the program's failure message, line by line
};

// Opens and closes the record sets on `dir`, after giving the engine's session `passwords` (in
// the program's code page), which stay there as they do in the program. nullopt when the
// program would start.
std::optional<ProgramRefusal> OpenAsProgram(const std::filesystem::path& dir,
                                            const std::vector<std::string>& passwords);

}  // namespace clinicdb
