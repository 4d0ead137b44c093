// The order a cursor steps in, its range, and the key-bounded SQL conditions ("regions")
// that step from any position without reading more rows than asked for.
//
// An order is a key column with its collation, or the record number alone. Records sort by
// (key value, record number); null key values come first, as in SQLite's indexes. Stepping
// forward from key (v, id) reads the region `k = v AND rowid > id` in rowid order, then
// `k > v` in (k, rowid) order; from a null key it reads `k IS NULL AND rowid > id`, then
// `k IS NOT NULL`. Backward is the mirror image, the null region last. Each region is one
// statement that an index on (k) or (k, rowid) answers with a SEARCH; only the whole
// non-null region is an ordered index scan, which skips the null keys at its start.
//
// Contracts: the SQL text of a region holds only the quoted key column, constants and `?`
// placeholders; every value is in `binds`, in placeholder order.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/record.h"
#include "engine/sql_dialect.h"
#include "engine/values.h"

namespace dbe {

struct Order {
    // What the order sorts and compares by: the key column in its collation as the store spells
    // it (`"Xm" COLLATE "GBK"`), or "rowid".
    std::string key;
    // The layout index of the leading key field, -1 when the layout lacks it.
    int field = -1;
    // How the key's texts compare: "GBK", "NOCASE", or "" for byte order.
    std::string collation;
    // What a read selects as the key's value: the bare column.
    std::string select;
    // A bound value compared with the key.
    std::string param = "?";

    static Order ByRowid(int field) { return {"rowid", field, "", "rowid"}; }
    // `column` quoted.
    static Order ByKey(const std::string& column, const std::string& collation, int field,
                       const SqlDialect& dialect);
    bool IsRowid() const { return key == "rowid"; }
};

// Compares two keys as the order sorts them: null first, then numbers, then texts in the
// order's collation; equal values by record number.
int CompareKeys(const Order& order, const Key& a, const Key& b);

// Which key values a cursor sees: nulls and/or non-null values within optional bounds.
struct Range {
    bool nulls = true;
    bool values = true;
    std::optional<Value> low, high;  // non-null bounds, inclusive

    // The range from `low` to `high` inclusive; a null bound sorts before every value, and
    // a missing one leaves that side open.
    static Range Between(const std::optional<Value>& low, const std::optional<Value>& high);
    bool IsAll() const { return nulls && values && !low && !high; }
};

// A SQL condition and the values of its placeholders.
struct Where {
    std::string text;
    std::vector<Value> binds;

    void And(const std::string& condition, std::vector<Value> values = {});
    void And(const Where& other);
};

struct Region {
    Where where;
    std::string orderBy;
};

enum class From { kBegin, kEnd, kKey };

// The statement reading up to `?` (the last parameter) rows of `region` from `table`:
// "SELECT <selectList> FROM <table> [WHERE ...] ORDER BY ... LIMIT ?".
std::string RegionSql(const std::string& selectList, const std::string& table,
                      const Region& region);

// The regions to read, in order, stepping from `from` (at `key` when kKey) in the given
// direction. Stepping forward from kEnd or backward from kBegin has none.
std::vector<Region> StepRegions(const Order& order, const Range& range, From from, const Key& key,
                                bool forward);

}  // namespace dbe
