// A record buffer (hDBIRec): the values of one record of a cursor's layout, as read from the
// file or as the caller is composing them.
//
// Contracts:
// - Values are held as the interface passes them: integers, UTF-8 strings (already cut to
//   the field's size), dates as days since 1899-12-30, null as blank.
// - Each field remembers whether the caller wrote it since the buffer was last read; a modify
//   stores only written fields, so a stored value the engine cannot read, or a memo never
//   loaded, is never overwritten.
// - Memo contents are loaded on demand (by the cursor, from the row the buffer was read from).
// - A buffer read from the file knows where: the row's record number and its key in the
//   order of the cursor that read it (see Key), which positioning relies on.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/schema.h"
#include "engine/values.h"

namespace dbe {

// Where a record sits in one order: the order's key value (as stored) and the record number.
struct Key {
    Value value;
    std::int64_t rowid = 0;
};

// The origin of a buffer read from the file.
struct Origin {
    std::string order;  // the SQL key expression of the order the key belongs to
    Key key;
};

class Record {
  public:
    explicit Record(std::shared_ptr<const Layout> layout);

    const Layout& GetLayout() const { return *layout_; }
    const std::shared_ptr<const Layout>& SharedLayout() const { return layout_; }

    // Blanks every field and forgets the origin.
    void Clear();
    // Copies values, written flags and origin from `other`, which has the same shape.
    void CopyFrom(const Record& other);

    // Fills the buffer from a result row: column 0 the record number, column 1 the key value
    // of `order`, then one column per entry of `readFields` (field indexes).
    void Load(const Statement& row, const std::vector<int>& readFields, const std::string& order);
    const std::optional<Origin>& GetOrigin() const { return origin_; }

    // Field access through the interface; `field` is a 0-based index already checked.
    void Get(int field, void* dest, std::uint32_t size, int* blank) const;
    void Put(int field, const void* src);
    // The value as it is stored in the file (dates as text); null when blank.
    Value StorageValue(int field) const;
    bool Written(int field) const { return slots_[field].written; }

    // Memos. Blob calls require MemoLoaded() (the cursor loads it first).
    bool MemoLoaded(int field) const { return slots_[field].loaded; }
    void SetLoadedMemo(int field, Value content);
    // Forgets a memo's content unless it was written, so that it is read again when needed.
    void FreeMemo(int field);
    std::uint32_t BlobSize(int field) const;
    std::uint32_t ReadBlob(int field, std::uint32_t offset, std::uint32_t length, void* dest) const;
    void WriteBlob(int field, std::uint32_t offset, std::uint32_t length, const void* src);
    void TruncateBlob(int field, std::uint32_t length);

  private:
    struct Slot {
        Value value;
        bool written = false;
        bool loaded = true;  // false only for a memo whose content was not read yet
    };

    const Field& FieldAt(int field) const { return layout_->fields[field]; }
    std::string& BlobText(int field);
    void Write(int field, Value value);

    std::shared_ptr<const Layout> layout_;
    std::vector<Slot> slots_;
    std::optional<Origin> origin_;
};

}  // namespace dbe
