// The summary command: how many patients and visits a database directory holds, who is due
// for a follow-up tomorrow, and its first few patients, for a quick look without the program.
//
// Contract: reads only; protected files are opened with the password that `tables` asks for.
// Throws ToolError when a table file is missing or the password does not open it,
// tablecrypt::DamagedHeader for a damaged protection header and sqlitekit::Error when SQLite
// cannot read a file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/clinic_tables.h"
#include "base/dates.h"
#include "tools/table_passwords.h"

namespace clinicdb {

struct PatientLine {
    std::int64_t id = 0;
    std::string name;
    std::string sex;
    std::optional<std::int64_t> age;
    std::string phone;
};

struct Summary {
    std::int64_t patients = 0;
    std::int64_t visits = 0;
    std::int64_t dueTomorrow = 0;            // Fzyysj is the day after `today`
    std::vector<PatientLine> firstPatients;  // the lowest ids, at most kPatientsListed
};

inline constexpr int kPatientsListed = 5;

// `today` in days since 1899-12-30 (base/dates.h).
Summary ReadSummary(const std::filesystem::path& dir, int today, TableOpener& tables);

// The table's file in `dir`, opened read-only; throws ToolError when it does not exist.
tablecrypt::TableConnection OpenExistingTable(const std::filesystem::path& dir,
                                              const clinic_tables::Table& table,
                                              TableOpener& tables);

}  // namespace clinicdb
