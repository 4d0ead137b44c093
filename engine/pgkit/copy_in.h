// Rows streamed into a table with COPY ... FROM STDIN: the fast way to load many rows at once,
// a thousand times fewer round trips than one INSERT a row.
//
// Contracts callers rely on:
// - Values travel in COPY's text format, each one escaped by its rules (backslash, tab, line
//   feed, carriage return and the other control characters that the format names), so that
//   every text arrives as it was given; nullopt is NULL, "" an empty text. A value holding a
//   NUL character, which the server cannot store, throws pgkit::Error before anything of its
//   row is sent.
// - Rows are sent in batches as they fill; the server may report a bad value only at Finish().
//   Every failure throws pgkit::Error; the COPY then counts as failed, and so does a
//   transaction block around it.
// - A CopyIn destroyed before Finish() abandons the copy: the server rolls it back.
// - While a CopyIn is open its connection runs nothing else.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/pgkit/pg_connection.h"

namespace pgkit {

class CopyIn {
  public:
    // Starts COPY `table` (`columns`) FROM STDIN; the names are given as the server spells
    // them and are quoted here.
    CopyIn(Connection& connection, std::string_view table, const std::vector<std::string>& columns);
    ~CopyIn();
    CopyIn(const CopyIn&) = delete;
    CopyIn& operator=(const CopyIn&) = delete;

    // The next value of the current row.
    void Add(std::optional<std::string_view> value);
    // Ends the current row. Requires: as many values added as columns named.
    void EndRow();
    // Sends what is left and ends the copy; answers the rows that the server took.
    std::int64_t Finish();

  private:
    // Sends the rows ended so far; a row is never sent in part.
    void Flush();

    Connection& connection_;
    std::size_t columns_;
    std::size_t added_ = 0;  // values of the current row
    std::string buffer_;     // whole rows, and the values of the current one
    bool open_ = true;
};

}  // namespace pgkit
