// The fingerprint of a table's rows, by which a copy between a directory and a server is
// verified: both sides feed the rows they hold, in record-number order, and the copy is good
// when the counts and the digests agree.
//
// Each value is fed as text as the storage gives it back (numbers in decimal, dates as
// YYYY-MM-DD) or as NULL. The serialization is unambiguous: NULL and the empty text differ, and
// so do the same characters cut into values at other places.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/sha256.h"

namespace clinicdb {

struct TableDigest {
    std::int64_t rows = 0;
    std::string sha256;

    bool operator==(const TableDigest&) const = default;
};

class RowDigest {
  public:
    // The next value of the current row; nullopt is NULL.
    void Add(std::optional<std::string_view> value);
    void EndRow();
    // Ends the digest: nothing may be added after it.
    TableDigest Finish();

  private:
    Sha256 hash_;
    std::int64_t rows_ = 0;
};

}  // namespace clinicdb
