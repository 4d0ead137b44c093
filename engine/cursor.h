// A cursor (hDBICur): a position in one view of a table file, stepped on the view's current
// order with key-bounded statements, so that moving, counting and positioning cost the same
// on a million rows as on ten. A cursor never loads its table and caches no rows: every read
// asks the file.
//
// A position is the beginning, the end, on a record, or on the crack of a record's key (where
// a record was deleted, or one that left the range). Reading, stepping, key lookup and counting
// honour the range, the active filters and, for a query answer, the answer's condition.
//
// Contracts:
// - Every method either completes or throws EngineError or its store's error; a failed call
//   leaves the position where it was unless its description says otherwise.
// - Writes on a read-only view throw DBIERR_TABLEREADONLY.
// - Record buffers passed in have this view's layout shape (the caller checks).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/order.h"
#include "engine/record.h"
#include "engine/record_lock.h"
#include "engine/store.h"

namespace dbe {

// One of the sources a view reads through a character index (answer_plan.h): the rows of
// `source` that `condition` selects, with `key` standing for the view's order key and `rowid`
// for the record number. Read through an index, both are the index's own columns, so that
// its order is the arm's and the arms merge without sorting any.
struct Arm {
    std::string source;
    std::string key;
    Where condition;
    std::string rowid = "rowid";
    // Where `each` holds values, the arm stands for one arm for each of them, selecting
    // `eachColumn = value` besides `condition`: the entries of several keys of one index.
    std::string eachColumn;
    std::vector<Value> each;
};

// What a cursor sees of a table.
struct View {
    std::shared_ptr<Store> table;
    std::shared_ptr<const Layout> layout;
    std::vector<IndexDef> indexes;  // the indexes a table cursor may switch to; none for answers
    Order order;                    // the order it starts in
    Where condition;                // a query answer's condition
    std::string name;               // the table file's name, "" for an answer
    bool readOnly = false;
    // What the cursor reads, when not the table alone: the union of its arms, each read in the
    // view's order and merged, a row that several arms hold once. Each arm names its key
    // ch_key, and the order's key is the store's ArmKey() (sql_dialect.h).
    std::vector<Arm> arms;
};

// A filter added to a cursor: its condition (see filter.h) and whether it applies.
struct CursorFilter {
    Where condition;
    bool active = false;
};

class Cursor {
  public:
    explicit Cursor(View view);

    const View& GetView() const { return view_; }
    const Layout& GetLayout() const { return *view_.layout; }

    // Index names compare without regard to case; "" is the primary index. Filters stay.
    void SwitchToIndex(const std::string& name);
    // Either bound may be missing (nullptr): that side is open.
    void SetRange(const Record* low, const Record* high);
    void ResetRange();

    void SetToBegin() { position_ = {At::kBegin, {}}; }
    void SetToEnd() { position_ = {At::kEnd, {}}; }
    // Onto the key `record` was read at (requires a buffer read from this table).
    void SetToRecord(const Record& record);

    // Reads the record at the cursor into `record` (if given); with `lock`, locks it first.
    void GetRecord(bool lock, Record* record);
    // Steps up to out.size() records, filling the non-null entries; answers how many were
    // read. Ends on the last one read, or at the end (beginning) when fewer were there.
    std::size_t Move(bool forward, const std::vector<Record*>& out);
    void LockCurrent();
    void GetRecordForKey(std::uint16_t fields, std::uint16_t partialLen, const Record& key,
                         Record* record);

    std::uint32_t ExactCount();
    // The cached exact count while it is valid; otherwise, without a range or an active
    // filter, the highest record number (an upper bound read from the table's b-tree at once);
    // with either, the exact count.
    std::uint32_t EstimatedCount();

    // Where the cursor stands between the first record it sees (0) and the last (1), estimated
    // from the keys of the three without counting (cursor_position.cpp): by record number in
    // the record number's order or where the key does not change (a range on one value),
    // otherwise by the key's numeric value. At the beginning 0, at the end 1; nothing where
    // the key is not a number or nothing is seen.
    std::optional<double> KeyFraction();
    // Puts the cursor on the crack before the first record at or after `fraction` of the way,
    // on the same estimate; 0 or less goes to the beginning, 1 or more to the end. Throws
    // DBIERR_NOTSUPPORTED where KeyFraction would answer nothing.
    void SetToKeyFraction(double fraction);

    // Filters (cursor_filter.cpp). A filter's handle is its address, valid until it is dropped
    // or the cursor is destroyed; another value throws DBIERR_INVALIDHNDL. Activating or
    // deactivating puts the cursor at the beginning; so does dropping an active filter.
    CursorFilter* AddFilter(Where condition);
    void SetFilterActive(const void* handle, bool active);
    void DropFilter(const void* handle);

    // Loads the stored content of memo `field` into `record` unless it holds it already.
    void LoadMemo(Record& record, int field);

    // Writes (cursor_write.cpp).
    void Insert(Record& record, bool lock);
    void Modify(Record& record, bool freeLock);
    void Delete();
    // Releases the lock of the record at the cursor, or all of this cursor's locks.
    void ReleaseLock(bool all);

  private:
    enum class At { kBegin, kEnd, kRecord, kCrack };
    struct Position {
        At at = At::kBegin;
        Key key;
    };
    using RowSink = std::function<void(const Statement&, std::size_t)>;
    // The keys' scale from the first record seen to the last.
    struct KeyScale {
        bool byRowid;
        Key first;
        double low, high;
    };
    std::optional<KeyScale> Scale();

    void SetOrder(Order order);
    // The regions of a step in the cursor's order and range (order.h StepRegions).
    std::vector<Region> Regions(From from, const Key& key, bool forward) const;
    // Reads the rows of `regions` that the cursor sees and that meet `extra`.
    std::size_t Fetch(const std::vector<Region>& regions, std::size_t limit, const Where& extra,
                      const RowSink& sink);
    // Reads the rows of `regions` whatever the cursor's conditions say.
    std::size_t FetchAny(const std::vector<Region>& regions, std::size_t limit,
                         const RowSink& sink);
    // The statement reading up to `limit` rows of `region`, and its binds.
    Where RegionStatement(const Region& region, std::size_t limit) const;
    // The rows of `arm` that `where` selects: the record number, the key as ch_key and the
    // select list.
    Where ArmSelect(const Arm& arm, const Where& where) const;
    // The arms' rows that `where` selects, joined by UNION.
    Where ArmsSelect(const Where& where) const;
    // The first `rows` rows in `orderBy` of `arm` that `where` selects, for each of its values.
    Where LimitedArm(const Arm& arm, const Where& where, const std::string& orderBy,
                     const Value& rows) const;
    // The first visible record (in order) that also meets `extra`, read into `record`.
    std::optional<Key> First(const Where& extra, Record* record);
    void RequireStep(const std::optional<Key>& from, const Key& to, bool forward) const;
    std::optional<Key> FindVisible(std::int64_t rowid, Record* record);
    std::vector<Where> CountConditions() const;
    std::string CountCacheKey(const std::vector<Where>& conditions) const;
    Where KeyCondition(std::uint16_t fields, std::uint16_t partialLen, const Record& key) const;
    std::vector<std::unique_ptr<CursorFilter>>::iterator FindFilter(const void* handle);
    // Recomputes visible_ after a filter was activated, deactivated or dropped.
    void UpdateVisible();
    void RequireWritable() const;
    std::int64_t CurrentRowid() const;
    // The record `rowid` as stored, in a copy of `record`; none when it is gone.
    std::optional<Record> ReadStored(std::int64_t rowid, const Record& record);
    // Runs the write `sql` of one record in its own transaction and answers the record as it
    // stored it, read in this cursor's order; none when no record matched.
    std::optional<Record> WriteReturning(const std::string& sql, const std::vector<Value>& values,
                                         const Record& record);
    void FollowRecord(std::int64_t rowid);

    View view_;
    Order order_;
    Range range_;
    // ", " and each read field's quoted column: the select list after rowid and the key.
    std::string fieldList_;
    std::vector<int> readFields_;
    Position position_;
    std::unique_ptr<RecordLock> locks_;
    std::vector<std::unique_ptr<CursorFilter>> filters_;
    // What the cursor sees besides its range: the view's condition and the active filters.
    Where visible_;
};

}  // namespace dbe
