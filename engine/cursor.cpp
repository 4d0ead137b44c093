#include "engine/cursor.h"

#include <algorithm>

#include "base/gbk_text.h"
#include "engine/errors.h"
#include "engine/sqlitekit/sqlite_support.h"

namespace dbe {

namespace {

Order IndexOrder(const IndexDef& index, const Layout& layout, const SqlDialect& dialect) {
    if (index.desc.bPrimary) return Order::ByRowid(layout.AutoIncField());
    const std::string& column = layout.fields[index.keyField].column;
    return Order::ByKey(sqlitekit::QuoteIdentifier(column), index.collation, index.keyField,
                        dialect);
}

}  // namespace

Cursor::Cursor(View view) : view_(std::move(view)), locks_(view_.table->NewRecordLock()) {
    for (std::size_t i = 0; i < view_.layout->fields.size(); ++i) {
        const Field& field = view_.layout->fields[i];
        if (field.Readable() && !field.IsMemo()) readFields_.push_back(static_cast<int>(i));
    }
    SetOrder(view_.order);
    UpdateVisible();
}

void Cursor::SetOrder(Order order) {
    order_ = std::move(order);
    fieldList_.clear();
    for (int field : readFields_) {
        fieldList_ += ", " + sqlitekit::QuoteIdentifier(view_.layout->fields[field].column);
    }
    range_ = Range();
    SetToBegin();
}

void Cursor::SwitchToIndex(const std::string& name) {
    if (view_.indexes.empty()) {
        throw EngineError(DBIERR_NOTSUPPORTED, "A query answer keeps the order of its query");
    }
    for (const IndexDef& index : view_.indexes) {
        if (!SameName(index.desc.szName, name)) continue;
        if (!index.usable) throw EngineError(DBIERR_INDEXKIND, ContextLine(kIndexLine, name));
        return SetOrder(IndexOrder(index, *view_.layout, view_.table->Dialect()));
    }
    throw EngineError(DBIERR_NOSUCHINDEX, ContextLine(kIndexLine, name));
}

void Cursor::SetRange(const Record* low, const Record* high) {
    if (order_.field < 0) {
        throw EngineError(DBIERR_NOTSUPPORTED, "The cursor's order has no field to range on");
    }
    const auto bound = [&](const Record* key) -> std::optional<Value> {
        if (key == nullptr) return std::nullopt;
        return key->StorageValue(order_.field);
    };
    range_ = Range::Between(bound(low), bound(high));
    SetToBegin();
}

void Cursor::ResetRange() {
    range_ = Range();
    SetToBegin();
}

void Cursor::SetToRecord(const Record& record) {
    const std::optional<Origin>& origin = record.GetOrigin();
    if (!origin) throw EngineError(DBIERR_INVALIDPARAM, "The record buffer holds no record");
    if (origin->order == order_.key) {
        position_ = {At::kRecord, origin->key};
        return;
    }
    // Read in another order: the key in this one comes from the row, visible or not, or,
    // when the row is gone, from the buffer's own value.
    // Bounded by the view's condition, which an arm needs to read through its index.
    Where byRowid{"rowid = ?", {origin->key.rowid}};
    byRowid.And(view_.condition);
    std::optional<Key> key;
    FetchAny({Region{byRowid, "rowid"}}, 1, [&](const Statement& row, std::size_t) {
        key = Key{ColumnValue(row, 1), origin->key.rowid};
    });
    if (!key) {
        const Value value = order_.field >= 0 ? record.StorageValue(order_.field) : Value();
        key = Key{order_.IsRowid() ? Value(origin->key.rowid) : value, origin->key.rowid};
    }
    position_ = {At::kRecord, *key};
}

std::size_t Cursor::Fetch(const std::vector<Region>& regions, std::size_t limit, const Where& extra,
                          const RowSink& sink) {
    std::vector<Region> bounded = regions;
    for (Region& region : bounded) {
        region.where.And(visible_);
        region.where.And(extra);
    }
    return FetchAny(bounded, limit, sink);
}

std::size_t Cursor::FetchAny(const std::vector<Region>& regions, std::size_t limit,
                             const RowSink& sink) {
    std::size_t got = 0;
    for (const Region& region : regions) {
        if (got == limit) break;
        const Where read = RegionStatement(region, limit - got);
        StatementUse statement(view_.table->Prepare(read.text));
        BindAll(*statement, read.binds);
        while (statement->Step()) sink(*statement, got++);
    }
    return got;
}

namespace {

// The arms' order: their rows' record number is the first column, which an arm's select list
// may name twice (as the record number and as the table's own column).
std::string ByPosition(const std::string& orderBy) {
    const std::size_t at = orderBy.rfind("rowid");
    return orderBy.substr(0, at) + "1" + orderBy.substr(at + 5);
}

// `arm` selecting `value` of its values.
Arm OneOf(const Arm& arm, const std::string& value, std::vector<Value> binds) {
    Arm one = arm;
    one.each.clear();
    one.condition = Where{arm.eachColumn + " = " + value, std::move(binds)};
    one.condition.And(arm.condition);
    return one;
}

// One arm for each value of `arm`'s: a table file merges them in order.
std::vector<Arm> Expanded(const Arm& arm) {
    if (arm.each.empty()) return {arm};
    std::vector<Arm> arms;
    for (const Value& value : arm.each) arms.push_back(OneOf(arm, "?", {value}));
    return arms;
}

}  // namespace

Where Cursor::RegionStatement(const Region& region, std::size_t limit) const {
    const Value rows(std::in_place_type<std::int64_t>, static_cast<std::int64_t>(limit));
    Where read;
    if (view_.arms.empty()) {
        read = {
            RegionSql("rowid, " + order_.select + fieldList_, view_.table->QuotedTable(), region),
            region.where.binds};
    } else if (!view_.table->Dialect().LimitsEachArm()) {
        read = ArmsSelect(region.where);
        read.text += " ORDER BY " + region.orderBy + " LIMIT ?";
    } else {
        // Each arm's first rows in order are all that the union's first rows can be.
        const std::string orderBy = " ORDER BY " + ByPosition(region.orderBy);
        for (const Arm& arm : view_.arms) {
            const Where one = LimitedArm(arm, region.where, orderBy, rows);
            read.text += (read.text.empty() ? "SELECT * FROM (" : " UNION ") + one.text;
            read.binds.insert(read.binds.end(), one.binds.begin(), one.binds.end());
        }
        read.text += ") AS arms" + orderBy + " LIMIT ?";
    }
    read.binds.push_back(rows);
    return read;
}

Where Cursor::ArmSelect(const Arm& arm, const Where& where) const {
    // The arm's condition first: of two bounds on one side of an index SQLite seeks by the
    // first, and the arm's keep every read within its own rows.
    Where selected = arm.condition;
    selected.And(where);
    return {"SELECT " + arm.rowid + " AS rowid, " + arm.key + " AS ch_key" + fieldList_ + " FROM " +
                arm.source + (selected.text.empty() ? "" : " WHERE " + selected.text),
            selected.binds};
}

Where Cursor::ArmsSelect(const Where& where) const {
    Where all;
    for (const Arm& each : view_.arms) {
        for (const Arm& arm : Expanded(each)) {
            const Where one = ArmSelect(arm, where);
            all.text += (all.text.empty() ? "" : " UNION ") + one.text;
            all.binds.insert(all.binds.end(), one.binds.begin(), one.binds.end());
        }
    }
    return all;
}

Where Cursor::LimitedArm(const Arm& arm, const Where& where, const std::string& orderBy,
                         const Value& rows) const {
    if (arm.each.empty()) {
        Where one = ArmSelect(arm, where);
        one.text = "(" + one.text + orderBy + " LIMIT ?)";
        one.binds.push_back(rows);
        return one;
    }
    // A lateral join reads the arm for each value: the planner plans one arm however many
    // values there are, where a union of them cost it a millisecond each.
    Where read{"(SELECT DISTINCT arm.* FROM (VALUES ", {}};
    for (const Value& value : arm.each) {
        read.text += read.binds.empty() ? "(?)" : ", (?)";
        read.binds.push_back(value);
    }
    const Where one = ArmSelect(OneOf(arm, "each_value.v", {}), where);
    read.text +=
        ") AS each_value(v) CROSS JOIN LATERAL (" + one.text + orderBy + " LIMIT ?) AS arm)";
    read.binds.insert(read.binds.end(), one.binds.begin(), one.binds.end());
    read.binds.push_back(rows);
    return read;
}

std::vector<Region> Cursor::Regions(From from, const Key& key, bool forward) const {
    // An arm's rows all hold the key: a name index keeps no empty name, and the nulls' region
    // would cost a statement for nothing.
    Range range = range_;
    if (!view_.arms.empty()) range.nulls = false;
    return StepRegions(order_, range, from, key, forward);
}

std::optional<Key> Cursor::First(const Where& extra, Record* record) {
    std::optional<Key> key;
    Fetch(Regions(From::kBegin, {}, true), 1, extra, [&](const Statement& row, std::size_t) {
        key = Key{ColumnValue(row, 1), row.ColumnInt(0)};
        if (record != nullptr) record->Load(row, readFields_, order_.key);
    });
    return key;
}

std::optional<Key> Cursor::FindVisible(std::int64_t rowid, Record* record) {
    return First(Where{"rowid = ?", {rowid}}, record);
}

void Cursor::GetRecord(bool lock, Record* record) {
    if (position_.at == At::kBegin) throw EngineError(DBIERR_BOF);
    if (position_.at == At::kEnd) throw EngineError(DBIERR_EOF);
    if (position_.at == At::kCrack) throw EngineError(DBIERR_RECNOTFOUND);
    if (lock) LockCurrent();
    const std::optional<Key> key = FindVisible(position_.key.rowid, record);
    if (!key) {
        if (lock) locks_->Unlock(position_.key.rowid);
        position_.at = At::kCrack;
        throw EngineError(DBIERR_RECNOTFOUND);
    }
    position_.key = *key;
}

std::size_t Cursor::Move(bool forward, const std::vector<Record*>& out) {
    const From from = position_.at == At::kBegin ? From::kBegin
                      : position_.at == At::kEnd ? From::kEnd
                                                 : From::kKey;
    std::optional<Key> last;
    if (from == From::kKey) last = position_.key;
    const std::size_t got = Fetch(Regions(from, position_.key, forward), out.size(), {},
                                  [&](const Statement& row, std::size_t i) {
                                      Key key{ColumnValue(row, 1), row.ColumnInt(0)};
                                      RequireStep(last, key, forward);
                                      last = std::move(key);
                                      if (out[i] != nullptr)
                                          out[i]->Load(row, readFields_, order_.key);
                                  });
    if (got < out.size()) {
        position_ = {forward ? At::kEnd : At::kBegin, {}};
    } else {
        position_ = {At::kRecord, *last};
    }
    return got;
}

// Each step must go on in the order: a row that does not lies in a damaged b-tree, which would
// otherwise hand out the same records again and again.
void Cursor::RequireStep(const std::optional<Key>& from, const Key& to, bool forward) const {
    if (!from) return;
    const int order = CompareKeys(order_, *from, to);
    if (forward ? order >= 0 : order <= 0) {
        throw EngineError(DBIERR_CORRUPT,
                          "Record " + std::to_string(to.rowid) + " is out of order");
    }
}

void Cursor::LockCurrent() {
    RequireWritable();
    locks_->Lock(CurrentRowid());
}

Where Cursor::KeyCondition(std::uint16_t fields, std::uint16_t partialLen,
                           const Record& key) const {
    const std::uint16_t keyFields = order_.IsRowid() ? 1 : 2;
    if (fields == 0 || fields > keyFields || order_.field < 0) {
        throw EngineError(DBIERR_INVALIDPARAM, "Key fields: " + std::to_string(fields));
    }
    const Value value = key.StorageValue(order_.field);
    Where where;
    if (IsNull(value)) {
        where.And(order_.key + " IS NULL");
    } else if (partialLen > 0 && fields == 1 && std::holds_alternative<std::string>(value)) {
        where.And(order_.key + " >= " + order_.param,
                  {std::string(gbk::Cut(std::get<std::string>(value), partialLen))});
    } else {
        where.And(order_.key + " = " + order_.param, {value});
    }
    const int autoInc = view_.layout->AutoIncField();
    if (fields == 2 && autoInc >= 0) where.And("rowid = ?", {key.StorageValue(autoInc)});
    return where;
}

void Cursor::GetRecordForKey(std::uint16_t fields, std::uint16_t partialLen, const Record& key,
                             Record* record) {
    const Where condition = KeyCondition(fields, partialLen, key);
    Record found(view_.layout);
    const std::optional<Key> at = First(condition, &found);
    const Value wanted = key.StorageValue(order_.field);
    // A partial key finds the first value at or after it; it must begin with the key.
    const bool partial =
        partialLen > 0 && fields == 1 && std::holds_alternative<std::string>(wanted);
    if (!at || (partial && (!std::holds_alternative<std::string>(at->value) ||
                            gbk::CompareN(std::get<std::string>(at->value),
                                          std::get<std::string>(wanted), partialLen) != 0))) {
        throw EngineError(DBIERR_RECNOTFOUND);
    }
    position_ = {At::kRecord, *at};
    if (record != nullptr) record->CopyFrom(found);
}

std::vector<Where> Cursor::CountConditions() const {
    std::vector<Where> conditions;
    for (const Region& region : Regions(From::kBegin, {}, true)) {
        conditions.push_back(region.where);
        conditions.back().And(visible_);
    }
    return conditions;
}

std::string Cursor::CountCacheKey(const std::vector<Where>& conditions) const {
    std::string key;
    const auto append = [&key](const Where& where) {
        key += where.text + '|';
        for (const Value& value : where.binds) AppendKeyText(value, key);
    };
    // An arm may hold the only test of a query's rows.
    for (const Arm& arm : view_.arms) {
        append(arm.condition);
        key += arm.eachColumn + '|';
        for (const Value& value : arm.each) AppendKeyText(value, key);
    }
    for (const Where& where : conditions) append(where);
    return key;
}

std::uint32_t Cursor::ExactCount() {
    const std::vector<Where> conditions = CountConditions();
    return view_.table->Count(CountCacheKey(conditions), [&] {
        std::uint32_t total = 0;
        for (const Where& where : conditions) {
            Where count{"SELECT count(*) FROM " + view_.table->QuotedTable() +
                            (where.text.empty() ? "" : " WHERE " + where.text),
                        where.binds};
            if (!view_.arms.empty()) {
                count = ArmsSelect(where);
                count.text = "SELECT count(*) FROM (" + count.text + ") AS counted";
            }
            StatementUse statement(view_.table->Prepare(count.text));
            BindAll(*statement, count.binds);
            statement->Step();
            total += static_cast<std::uint32_t>(statement->ColumnInt(0));
        }
        return total;
    });
}

std::uint32_t Cursor::EstimatedCount() {
    if (const auto cached = view_.table->PeekCount(CountCacheKey(CountConditions()))) {
        return *cached;
    }
    const bool filtered = std::any_of(filters_.begin(), filters_.end(),
                                      [](const auto& filter) { return filter->active; });
    if (!range_.IsAll() || filtered) return ExactCount();
    StatementUse statement(
        view_.table->Prepare("SELECT coalesce(max(rowid), 0) FROM " + view_.table->QuotedTable()));
    statement->Step();
    return static_cast<std::uint32_t>(statement->ColumnInt(0));
}

void Cursor::LoadMemo(Record& record, int field) {
    if (record.MemoLoaded(field)) return;
    const std::optional<Origin>& origin = record.GetOrigin();
    if (!origin) return record.SetLoadedMemo(field, {});
    StatementUse statement(view_.table->Prepare(
        "SELECT " + sqlitekit::QuoteIdentifier(view_.layout->fields[field].column) + " FROM " +
        view_.table->QuotedTable() + " WHERE rowid = ?"));
    statement->BindInt(1, origin->key.rowid);
    if (!statement->Step()) throw EngineError(DBIERR_RECDELETED);
    record.SetLoadedMemo(
        field, statement->ColumnIsNull(0) ? Value() : Value(std::string(statement->ColumnText(0))));
}

std::int64_t Cursor::CurrentRowid() const {
    if (position_.at == At::kBegin) throw EngineError(DBIERR_BOF);
    if (position_.at == At::kEnd) throw EngineError(DBIERR_EOF);
    return position_.key.rowid;
}

}  // namespace dbe
