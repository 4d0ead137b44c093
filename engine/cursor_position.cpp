// Cursor: where a record stands between the first and the last, estimated from keys.
#include <cmath>
#include <limits>

#include "engine/cursor.h"
#include "engine/errors.h"

namespace dbe {

namespace {

std::optional<double> Number(const Value& value) {
    if (const auto* i = std::get_if<std::int64_t>(&value)) return static_cast<double>(*i);
    if (const auto* d = std::get_if<double>(&value)) return *d;
    return std::nullopt;
}

}  // namespace

// The scale that keys are measured on: the record number where the order is the record number
// or the key is the same from the first record to the last (a visit range on one patient),
// otherwise the key's own numeric value.
std::optional<Cursor::KeyScale> Cursor::Scale() {
    const std::optional<Key> first = First({}, nullptr);
    std::optional<Key> last;
    Fetch(Regions(From::kEnd, {}, false), 1, {}, [&](const Statement& row, std::size_t) {
        last = Key{ColumnValue(row, 1), row.ColumnInt(0)};
    });
    if (!first || !last) return std::nullopt;
    if (order_.IsRowid() || first->value == last->value) {
        return KeyScale{true, *first, static_cast<double>(first->rowid),
                        static_cast<double>(last->rowid)};
    }
    const std::optional<double> low = Number(first->value), high = Number(last->value);
    if (!low || !high) return std::nullopt;
    return KeyScale{false, *first, *low, *high};
}

std::optional<double> Cursor::KeyFraction() {
    if (position_.at == At::kBegin) return 0.0;
    if (position_.at == At::kEnd) return 1.0;
    const std::optional<KeyScale> scale = Scale();
    if (!scale) return std::nullopt;
    const std::optional<double> at =
        scale->byRowid ? static_cast<double>(position_.key.rowid) : Number(position_.key.value);
    if (!at) return std::nullopt;
    if (scale->high <= scale->low) return 0.0;
    return std::clamp((*at - scale->low) / (scale->high - scale->low), 0.0, 1.0);
}

void Cursor::SetToKeyFraction(double fraction) {
    if (!(fraction > 0)) return SetToBegin();
    if (fraction >= 1) return SetToEnd();
    const std::optional<KeyScale> scale = Scale();
    if (!scale) {
        throw EngineError(DBIERR_NOTSUPPORTED, "The cursor's order has no numeric key");
    }
    const double target = std::floor(scale->low + fraction * (scale->high - scale->low));
    // The crack just before the target, so that the next record read is the first at or
    // after it.
    if (scale->byRowid) {
        const auto rowid = static_cast<std::int64_t>(target) - 1;
        const Value value = order_.IsRowid() ? Value(rowid) : scale->first.value;
        position_ = {At::kCrack, Key{value, rowid}};
    } else {
        const Value value = std::holds_alternative<double>(scale->first.value)
                                ? Value(target)
                                : Value(static_cast<std::int64_t>(target));
        position_ = {At::kCrack, Key{value, std::numeric_limits<std::int64_t>::min()}};
    }
}

}  // namespace dbe
