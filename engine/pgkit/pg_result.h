// The owner of one PGresult: what a statement answered, its rows read as text.
//
// Contracts callers rely on:
// - A Result clears its PGresult; it is move-only. Text() stays valid as long as the Result.
// - Cells are addressed from 0: Requires: 0 <= row < Rows() and 0 <= column < Columns();
//   std::out_of_range otherwise.
// - Text() of a NULL is "": IsNull() tells the two apart. Int() throws Error for a NULL or for
//   text that is no whole number within 64 bits.
#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/pgkit/pg_error.h"

namespace pgkit {

class Result {
  public:
    Result() = default;
    // Takes `result` over; nullptr is a Result of no rows.
    explicit Result(PGresult* result) : result_(result) {}

    int Rows() const { return PQntuples(result_.get()); }
    int Columns() const { return PQnfields(result_.get()); }
    bool IsNull(int row, int column) const;
    std::string_view Text(int row, int column) const;
    std::int64_t Int(int row, int column) const;
    // The rows that an INSERT, UPDATE or DELETE touched; 0 after any other statement.
    std::int64_t Affected() const;

    PGresult* Handle() const { return result_.get(); }

  private:
    struct Clearer {
        void operator()(PGresult* result) const { PQclear(result); }
    };
    void CheckCell(int row, int column) const;

    std::unique_ptr<PGresult, Clearer> result_;
};

// The failure that `result` reports on `conn`'s session, or, without one, the session's own
// message; ConnectionLost whenever the session is gone.
Error FailureOf(PGconn* conn, const Result& result, bool outcomeUnknown = false);

}  // namespace pgkit
