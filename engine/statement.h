// A prepared statement of a table's storage, as the cursors use it whatever stores the table:
// values bound by position, rows stepped one by one, columns read by their kind.
//
// Contracts:
// - Bind* take 1-based parameter positions; Column* read 0-based columns of the current row.
// - A column's text is valid until the next Step() or Reset().
// - Every failure throws the storage's own error, which the engine's entry points turn into
//   engine codes (sqlitekit::Error for the table files).
// - A store hands out the statements it caches: the caller wraps one in a StatementUse, which
//   resets it and clears its bindings on leaving scope, so that no read stays open between two
//   calls of the engine.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/scoped_use.h"

namespace dbe {

enum class ColumnKind { kNull, kInteger, kReal, kText };

class Statement {
  public:
    virtual ~Statement() = default;

    virtual void BindNull(int index) = 0;
    virtual void BindInt(int index, std::int64_t value) = 0;
    virtual void BindDouble(int index, double value) = 0;
    virtual void BindText(int index, std::string_view value) = 0;

    // True when a row is ready, false when the statement has finished.
    virtual bool Step() = 0;
    // Resets the statement and clears its bindings.
    virtual void Reset() = 0;

    virtual ColumnKind Kind(int column) const = 0;
    virtual std::int64_t ColumnInt(int column) const = 0;
    virtual double ColumnDouble(int column) const = 0;
    virtual std::string_view ColumnText(int column) const = 0;
    bool ColumnIsNull(int column) const { return Kind(column) == ColumnKind::kNull; }
};

// Holds a statement for one use; resets it on leaving scope.
using StatementUse = ScopedUse<Statement>;

}  // namespace dbe
