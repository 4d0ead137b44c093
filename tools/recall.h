// The recall command: the patients whose follow-up falls in a span of days (or has passed
// without a visit), each with his last visit and what he answered when reminded, for the
// receptionist who telephones them, on the terminal or as a CSV file for a spreadsheet.
//
// Contracts:
// - ReadRecall reads only; protected files are opened with the password that `tables` asks
//   for. It throws ToolError when the directory or a table file is missing or a password does
//   not open a file, tablecrypt::DamagedHeader for a damaged protection header and
//   sqlitekit::Error when SQLite cannot read a file.
// - Lines come in follow-up order, then by record number.
// - WriteRecallCsv either replaces `file` with the whole CSV or leaves it as it was: the CSV is
//   written beside it under another name, made durable and renamed over it. Throws ToolError
//   when it cannot.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "engine/pgkit/pg_connection.h"
#include "tools/demo_records.h"
#include "tools/table_passwords.h"

namespace clinicdb {

struct RecallOptions {
    Day from = 0;  // the follow-up dates listed, both ends included
    Day to = 0;
    bool overdue = false;  // instead: follow-ups before today with no visit since
    bool notReminded = false;
    std::filesystem::path csv;  // empty: an aligned table on the terminal
};

struct RecallLine {
    std::int64_t id = 0;
    std::string name;
    std::string phone;
    std::string followUp;   // as stored: YYYY-MM-DD
    std::string lastVisit;  // the latest visit date, blank without visits
    std::string complaint;  // of that visit
    bool reminded = false;  // Sfylxfz holds 是; a blank or 否 is not reminded
    std::string answer;
};

// `today` in days since 1899-12-30; only --overdue reads it.
std::vector<RecallLine> ReadRecall(const std::filesystem::path& dir, const RecallOptions& options,
                                   Day today, TableOpener& tables);

// The same from a server's tables, in one statement.
std::vector<RecallLine> ReadRecallOnServer(pgkit::Connection& server, const RecallOptions& options,
                                           Day today);

// A header row, then one row a line, columns aligned by their width on a terminal (a wide
// character takes two columns); line breaks and tabs inside a value show as spaces.
void PrintRecallTable(std::span<const RecallLine> lines, std::ostream& out);

// UTF-8 with a byte order mark, a header row and CRLF line ends.
void WriteRecallCsv(std::span<const RecallLine> lines, const std::filesystem::path& file);

}  // namespace clinicdb
