// The shape of a table file as the engine sees it: its fields (columns mapped to field
// kinds) and its indexes.
//
// Contracts:
// - ReadSchema() reads only the file's own schema; the names it returns are the only
//   identifiers the engine ever places in SQL text, always quoted.
// - A file whose schema cannot be read answers DBIERR_NOTADB (through SQLite's error); a file
//   without a table named `table` answers DBIERR_NOTADB with an entry saying so.
// - Field kinds that the engine describes but does not read or write have Readable() false.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbengine.h"
#include "engine/sqlitekit/sqlite_support.h"

namespace dbe {

struct Field {
    std::string column;  // the SQL column name
    FLDDesc desc{};

    // The field's name as callers know it (the column's declared name), for messages.
    std::string Name() const { return desc.szName; }
    bool IsMemo() const { return desc.iSubType == fldstMEMO; }
    bool IsAutoInc() const { return desc.iSubType == fldstAUTOINC; }
    bool IsString() const { return desc.iFldType == fldZSTRING; }
    bool IsDate() const { return desc.iFldType == fldDATE; }
    bool IsInteger() const;
    // Values of this field pass through get and put (memos through the blob calls).
    bool Readable() const { return IsInteger() || IsString() || IsDate() || IsMemo(); }
    bool operator==(const Field& other) const;
};

// The fields of a cursor, in field-number order. Record buffers share their cursor's layout.
struct Layout {
    std::vector<Field> fields;

    // Index of the field named `name` (compared without regard to case), or -1.
    int Find(std::string_view name) const;
    // Index of the auto-increment field (the record number), or -1.
    int AutoIncField() const;
    bool SameShape(const Layout& other) const { return fields == other.fields; }
};

struct IndexDef {
    IDXDesc desc{};
    // For an index the engine can step on: its key column's field index (-1 for the primary
    // index) and collation. Other shapes are described but not usable.
    bool usable = false;
    int keyField = -1;
    std::string collation;
};

struct Schema {
    std::shared_ptr<const Layout> layout;
    std::vector<IndexDef> indexes;  // the primary index first
    // The string fields (layout indexes) that a complete character index answers
    // (sqlitekit/character_index.h).
    std::vector<int> characterIndexed;
    // The string fields that a complete index of pinyin keys answers.
    std::vector<int> pinyinIndexed;
};

// Maps a declared column type to a field description (type, subtype, size).
FLDDesc DescribeColumn(std::string_view declaredType, bool rowidAlias);
// The index on the record number, first of every table's.
IndexDef PrimaryIndex(const Layout& layout);
// An index on the fields `keyFields` (layout indexes; the record number's where it is a key
// column, -2 for an expression), usable when it is one key column, optionally followed by the
// record number; `collation` is the first key column's.
IndexDef DescribeIndex(const Layout& layout, std::string_view name, bool unique,
                       const std::vector<int>& keyFields, const std::string& collation);

Schema ReadSchema(sqlite3* db, const std::string& table);

// Case-insensitive ASCII comparison, as SQLite compares identifiers.
bool SameName(std::string_view a, std::string_view b);

}  // namespace dbe
