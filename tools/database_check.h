// The check command: is each table file sound, would the program open the directory, and does
// every visit belong to a patient?
//
// A file that fails SQLite's integrity check, cannot be opened as a database or lacks its
// table is damaged, and so is one whose character index disagrees with it. Sound files must then
// hold the columns and the index that the program reads (table_shape.h): where one lacks them, the
// check fails and says what is missing. A visit whose Brid names no patient is an orphan: a fact
// worth a warning, not damage, because the files themselves are sound and the program shows such a
// visit under no patient. So is a number that does not fit its field, which the program reads
// blank. A copy that an interrupted protect or unprotect left beside a table is removed first; one
// that cannot be removed fails the check, as it may hold the table in clear. The command exits 1
// when the check fails.
//
// Protected files are checked as the plain ones, opened with the password that `tables` asks
// for; a damaged protection header is damage. A password that does not open a file, or a
// directory that cannot be read, is no verdict on the files: it throws ToolError.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/table_passwords.h"
#include "tools/table_shape.h"

namespace clinicdb {

struct FileCheck {
    std::string file;                   // bingren.DB or bingli.DB
    std::vector<std::string> problems;  // empty when the file is sound
    std::vector<std::string> notes;     // what was repaired, what is missing but no damage
};

struct CheckReport {
    std::vector<std::string> removedCopies;  // lines telling of leftover copies removed
    std::vector<std::string> keptCopies;     // leftover copies that stay, each with why
    std::vector<FileCheck> files;            // patients first
    // Where the program would not open the sound files.
    std::optional<ProgramRefusal> refusal;
    // Orphan visits, counted only when both files are sound and the program opens them.
    std::int64_t orphanCount = 0;
    std::vector<std::int64_t> firstOrphans;  // the lowest few orphan visit ids
    // The lowest few patient numbers that orphan visits name, each with its visits and whether
    // the patient is among the deleted rows, so that undelete brings him back.
    struct MissingPatient {
        std::int64_t id = 0;
        std::string visits;  // their ids, blank-separated
        bool deleted = false;
    };
    std::vector<MissingPatient> missingPatients;
    // Numbers that another tool stored outside their field's kind (or with a fraction): the
    // program reads them blank. One line a cell, as "bingren.DB: Nl of Id 5 holds 70000".
    std::vector<std::string> unreadableCells;

    // No file is damaged.
    bool Sound() const;
    // Sound, opened by the program, and no copy left beside a table.
    bool Passed() const;
};

inline constexpr std::size_t kOrphansListed = 5;

// With `repair`, a character index that is missing or disagrees with its table is built anew
// before it is checked.
CheckReport CheckDatabase(const std::filesystem::path& dir, TableOpener& tables,
                          bool repair = false);

}  // namespace clinicdb
