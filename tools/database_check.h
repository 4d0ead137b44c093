// The check command: is each table file sound, and does every visit belong to a patient?
//
// A file that fails SQLite's integrity check, cannot be opened as a database or lacks its
// table is damaged. A visit whose Brid names no patient is an orphan: a fact worth a warning,
// not damage, because the files themselves are sound and the program shows such a visit under
// no patient. The command exits 1 only for damage.
//
// Protected files are checked as the plain ones, opened with the password that `tables` asks
// for; a damaged protection header is damage. A password that does not open a file is no
// verdict on the files: it throws ToolError.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/table_passwords.h"

namespace clinicdb {

struct FileCheck {
    std::string file;                   // bingren.DB or bingli.DB
    std::vector<std::string> problems;  // empty when the file is sound
};

struct CheckReport {
    std::vector<FileCheck> files;  // patients first
    // Orphan visits, counted only when both files are sound.
    std::int64_t orphanCount = 0;
    std::vector<std::int64_t> firstOrphans;  // the lowest few orphan visit ids

    bool Sound() const;
};

inline constexpr std::size_t kOrphansListed = 5;

CheckReport CheckDatabase(const std::filesystem::path& dir, TableOpener& tables);

}  // namespace clinicdb
