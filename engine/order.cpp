#include "engine/order.h"

#include "base/gbk_text.h"
#include "engine/schema.h"

namespace dbe {

namespace {

// The non-null bounds of `range` on the order's key.
Where Bounds(const Order& order, const Range& range) {
    Where where;
    if (range.low) where.And(order.key + " >= " + order.param, {*range.low});
    if (range.high) where.And(order.key + " <= " + order.param, {*range.high});
    return where;
}

std::string Direction(bool forward) {
    return forward ? "" : " DESC";
}

std::vector<Region> RowidRegions(const Range& range, From from, const Key& key, bool forward) {
    Region region{Bounds(Order::ByRowid(-1), range), "rowid" + Direction(forward)};
    if (from == From::kKey) region.where.And(forward ? "rowid > ?" : "rowid < ?", {key.rowid});
    if (!range.values) return {};
    return {region};
}

// The whole null region, or its part beyond `key` when starting from a null key.
Region NullRegion(const std::string& k, From from, const Key& key, bool forward) {
    Region region{{}, "rowid" + Direction(forward)};
    region.where.And(k + " IS NULL");
    if (from == From::kKey) region.where.And(forward ? "rowid > ?" : "rowid < ?", {key.rowid});
    return region;
}

// The non-null values beyond `key` (all of them from an end), then the key's equals.
std::vector<Region> ValueRegions(const Order& order, const Range& range, From from, const Key& key,
                                 bool forward) {
    const std::string& k = order.key;
    const std::string dir = Direction(forward);
    std::vector<Region> regions;
    Region beyond{Bounds(order, range), k + dir + ", rowid" + dir};
    if (from == From::kKey && !IsNull(key.value)) {
        Region equal{Bounds(order, range), "rowid" + dir};
        equal.where.And(k + " = " + order.param + " AND " + (forward ? "rowid > ?" : "rowid < ?"),
                        {key.value, key.rowid});
        regions.push_back(std::move(equal));
        beyond.where.And(k + (forward ? " > " : " < ") + order.param, {key.value});
    } else {
        beyond.where.And(k + " IS NOT NULL");
    }
    regions.push_back(std::move(beyond));
    return regions;
}

}  // namespace

Range Range::Between(const std::optional<Value>& low, const std::optional<Value>& high) {
    Range range;
    range.nulls = !low || IsNull(*low);
    range.values = !high || !IsNull(*high);
    if (low && !IsNull(*low)) range.low = *low;
    if (high && !IsNull(*high)) range.high = *high;
    return range;
}

void Where::And(const std::string& condition, std::vector<Value> values) {
    text += text.empty() ? condition : " AND " + condition;
    binds.insert(binds.end(), values.begin(), values.end());
}

void Where::And(const Where& other) {
    if (!other.text.empty()) And(other.text, other.binds);
}

std::string RegionSql(const std::string& selectList, const std::string& table,
                      const Region& region) {
    return "SELECT " + selectList + " FROM " + table +
           (region.where.text.empty() ? "" : " WHERE " + region.where.text) + " ORDER BY " +
           region.orderBy + " LIMIT ?";
}

std::vector<Region> StepRegions(const Order& order, const Range& range, From from, const Key& key,
                                bool forward) {
    if ((forward && from == From::kEnd) || (!forward && from == From::kBegin)) return {};
    if (order.IsRowid()) return RowidRegions(range, from, key, forward);
    const bool inNulls = from == From::kKey && IsNull(key.value);
    const From nullFrom = inNulls ? From::kKey : From::kBegin;
    std::vector<Region> regions;
    // Forward: nulls, then values. Backward: values, then nulls.
    if (forward && range.nulls && (from == From::kBegin || inNulls)) {
        regions.push_back(NullRegion(order.key, nullFrom, key, forward));
    }
    if (range.values && (forward || !inNulls)) {
        for (Region& region : ValueRegions(order, range, from, key, forward)) {
            regions.push_back(std::move(region));
        }
    }
    if (!forward && range.nulls) regions.push_back(NullRegion(order.key, nullFrom, key, forward));
    return regions;
}

Order Order::ByKey(const std::string& column, const std::string& collation, int field,
                   const SqlDialect& dialect) {
    const bool bytes = SqlDialect::IsBytes(collation);
    return {dialect.Collated(column, collation), field, bytes ? "" : collation, column,
            dialect.CollatedOperand("?", collation)};
}

namespace {

int Sign(auto a, auto b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

// SQLite's classes of values in their sort order: null, number, text.
int ValueClass(const Value& value) {
    if (IsNull(value)) return 0;
    return std::holds_alternative<std::string>(value) ? 2 : 1;
}

int CompareTexts(const std::string& a, const std::string& b, const std::string& collation) {
    if (SameName(collation, gbk::kCollation)) return gbk::Compare(a, b);
    if (SameName(collation, "NOCASE")) {
        const auto lower = [](std::string s) {
            for (char& c : s) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
            return s;
        };
        return Sign(lower(a).compare(lower(b)), 0);
    }
    return Sign(a.compare(b), 0);
}

int CompareValues(const Value& a, const Value& b, const std::string& collation) {
    if (ValueClass(a) != ValueClass(b)) return Sign(ValueClass(a), ValueClass(b));
    if (IsNull(a)) return 0;
    if (ValueClass(a) == 2)
        return CompareTexts(std::get<std::string>(a), std::get<std::string>(b), collation);
    const auto* i = std::get_if<std::int64_t>(&a);
    const auto* j = std::get_if<std::int64_t>(&b);
    if (i && j) return Sign(*i, *j);
    const auto number = [](const Value& v) {
        const auto* n = std::get_if<std::int64_t>(&v);
        return n ? static_cast<double>(*n) : std::get<double>(v);
    };
    return Sign(number(a), number(b));
}

}  // namespace

int CompareKeys(const Order& order, const Key& a, const Key& b) {
    if (!order.IsRowid()) {
        if (const int c = CompareValues(a.value, b.value, order.collation)) return c;
    }
    return Sign(a.rowid, b.rowid);
}

}  // namespace dbe
