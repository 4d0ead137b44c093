#include "engine/order.h"

namespace dbe {

namespace {

// The non-null bounds of `range` on the key `k`.
Where Bounds(const std::string& k, const Range& range) {
    Where where;
    if (range.low) where.And(k + " >= ?", {*range.low});
    if (range.high) where.And(k + " <= ?", {*range.high});
    return where;
}

std::string Direction(bool forward) {
    return forward ? "" : " DESC";
}

std::vector<Region> RowidRegions(const Range& range, From from, const Key& key, bool forward) {
    Region region{Bounds("rowid", range), "rowid" + Direction(forward)};
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
std::vector<Region> ValueRegions(const std::string& k, const Range& range, From from,
                                 const Key& key, bool forward) {
    const std::string dir = Direction(forward);
    std::vector<Region> regions;
    Region beyond{Bounds(k, range), k + dir + ", rowid" + dir};
    if (from == From::kKey && !IsNull(key.value)) {
        Region equal{Bounds(k, range), "rowid" + dir};
        equal.where.And(k + " = ? AND " + (forward ? "rowid > ?" : "rowid < ?"),
                        {key.value, key.rowid});
        regions.push_back(std::move(equal));
        beyond.where.And(k + (forward ? " > ?" : " < ?"), {key.value});
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
        for (Region& region : ValueRegions(order.key, range, from, key, forward)) {
            regions.push_back(std::move(region));
        }
    }
    if (!forward && range.nulls) regions.push_back(NullRegion(order.key, nullFrom, key, forward));
    return regions;
}

}  // namespace dbe
