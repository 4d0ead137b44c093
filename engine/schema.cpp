#include "engine/schema.h"

#include <algorithm>
#include <cctype>

#include "engine/errors.h"
#include "engine/sqlitekit/character_index.h"
#include "engine/values.h"

namespace dbe {

namespace {

// A string column declared without a size is given this one.
constexpr std::uint16_t kDefaultStringSize = 255;

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// Splits "VARCHAR(40)" into "VARCHAR" and 40; a type without a size gives 0.
std::string_view SplitSize(std::string_view type, std::uint32_t& size) {
    size = 0;
    const std::size_t open = type.find('(');
    std::string_view base = type.substr(0, open);
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    if (open == std::string_view::npos) return base;
    for (std::size_t i = open + 1; i < type.size() && std::isdigit(type[i]); ++i) {
        size = std::min<std::uint32_t>(size * 10 + (type[i] - '0'), UINT16_MAX);
    }
    return base;
}

Field ReadField(const sqlitekit::Statement& row, bool rowidAlias) {
    Field field;
    field.column = std::string(row.ColumnText(1));
    field.desc = DescribeColumn(row.ColumnText(2), rowidAlias);
    field.desc.iFldNum = static_cast<std::uint16_t>(row.ColumnInt(0) + 1);
    field.desc.bRequired = !rowidAlias && row.ColumnInt(3) != 0;
    CopyName(field.desc.szName, field.column);
    return field;
}

std::shared_ptr<const Layout> ReadFields(sqlite3* db, const std::string& table) {
    sqlitekit::Statement rows(db,
                              "SELECT cid, name, type, \"notnull\", pk, "
                              "(SELECT count(*) FROM pragma_table_info(?1) WHERE pk > 0) "
                              "FROM pragma_table_info(?1) ORDER BY cid");
    rows.BindText(1, table);
    auto layout = std::make_shared<Layout>();
    while (rows.Step()) {
        const bool rowidAlias = rows.ColumnInt(4) == 1 && rows.ColumnInt(5) == 1 &&
                                Upper(rows.ColumnText(2)) == "INTEGER";
        layout->fields.push_back(ReadField(rows, rowidAlias));
    }
    if (layout->fields.empty()) {
        throw EngineError(DBIERR_NOTADB, "No table named '" + table + "' in the file");
    }
    return layout;
}

// Field index of a key column of an index; -1 for the rowid, -2 for an expression.
int KeyColumnField(const Layout& layout, std::int64_t cid) {
    return cid == -1 ? layout.AutoIncField() : static_cast<int>(cid);
}

IndexDef ReadIndex(sqlite3* db, const Layout& layout, std::string_view name, bool unique) {
    sqlitekit::Statement columns(
        db, "SELECT cid, coll FROM pragma_index_xinfo(?1) WHERE key = 1 ORDER BY seqno");
    columns.BindText(1, name);
    std::vector<int> keyFields;
    std::string collation;
    while (columns.Step()) {
        if (keyFields.empty()) collation = std::string(columns.ColumnText(1));
        keyFields.push_back(KeyColumnField(layout, columns.ColumnInt(0)));
    }
    return DescribeIndex(layout, name, unique, keyFields, collation);
}

}  // namespace

IndexDef DescribeIndex(const Layout& layout, std::string_view name, bool unique,
                       const std::vector<int>& keyFields, const std::string& collation) {
    IndexDef index;
    CopyName(index.desc.szName, name);
    index.desc.bUnique = unique;
    index.collation = collation;
    for (std::size_t i = 0; i < keyFields.size() && i < std::size(index.desc.aiKeyFld); ++i) {
        index.desc.aiKeyFld[i] = static_cast<std::uint16_t>(keyFields[i] + 1);
    }
    index.desc.iFldsInKey =
        static_cast<std::uint16_t>(std::min(keyFields.size(), std::size(index.desc.aiKeyFld)));
    index.desc.bCaseInsensitive = SameName(index.collation, "NOCASE");
    // One key column, optionally followed by the record number.
    const int autoInc = layout.AutoIncField();
    index.usable = !keyFields.empty() && keyFields[0] >= 0 && keyFields[0] != autoInc &&
                   (keyFields.size() == 1 ||
                    (keyFields.size() == 2 && autoInc >= 0 && keyFields[1] == autoInc));
    index.keyField = index.usable ? keyFields[0] : -1;
    return index;
}

IndexDef PrimaryIndex(const Layout& layout) {
    IndexDef index;
    index.usable = true;
    index.desc.iFldsInKey = 1;
    index.desc.aiKeyFld[0] = static_cast<std::uint16_t>(layout.AutoIncField() + 1);
    index.desc.bPrimary = 1;
    index.desc.bUnique = 1;
    return index;
}

bool Field::IsInteger() const {
    return desc.iFldType == fldINT16 || desc.iFldType == fldINT32 || desc.iFldType == fldUINT16;
}

bool Field::operator==(const Field& other) const {
    return column == other.column && desc.iFldType == other.desc.iFldType &&
           desc.iSubType == other.desc.iSubType && desc.iUnits1 == other.desc.iUnits1;
}

int Layout::Find(std::string_view name) const {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (SameName(fields[i].column, name)) return static_cast<int>(i);
    }
    return -1;
}

int Layout::AutoIncField() const {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].IsAutoInc()) return static_cast<int>(i);
    }
    return -1;
}

FLDDesc DescribeColumn(std::string_view declaredType, bool rowidAlias) {
    FLDDesc desc{};
    if (rowidAlias) {
        desc.iFldType = fldINT32;
        desc.iSubType = fldstAUTOINC;
        desc.bReadOnly = 1;
        return desc;
    }
    std::uint32_t size = 0;
    const std::string type = Upper(declaredType);
    const std::string_view base = SplitSize(type, size);
    if (base == "SMALLINT") {
        desc.iFldType = fldINT16;
    } else if (base.find("INT") != std::string_view::npos) {
        desc.iFldType = fldINT32;
    } else if (base == "VARCHAR" || base == "CHAR") {
        desc.iFldType = fldZSTRING;
        desc.iUnits1 = static_cast<std::uint16_t>(size != 0 ? size : kDefaultStringSize);
    } else if (base == "TEXT") {
        desc.iFldType = fldBLOB;
        desc.iSubType = fldstMEMO;
        desc.iUnits1 = static_cast<std::uint16_t>(size);
    } else if (base == "DATE") {
        desc.iFldType = fldDATE;
    } else if (base == "REAL" || base == "FLOAT" || base.starts_with("DOUBLE")) {
        desc.iFldType = fldFLOAT;
    } else if (base == "TIME") {
        desc.iFldType = fldTIME;
    } else if (base == "DATETIME" || base == "TIMESTAMP") {
        desc.iFldType = fldTIMESTAMP;
    } else if (base == "BLOB") {
        desc.iFldType = fldBLOB;
    } else if (base == "BOOLEAN" || base == "BOOL") {
        desc.iFldType = fldBOOL;
    }
    return desc;
}

Schema ReadSchema(sqlite3* db, const std::string& table) {
    Schema schema;
    schema.layout = ReadFields(db, table);
    schema.indexes.push_back(PrimaryIndex(*schema.layout));
    sqlitekit::Statement names(db,
                               "SELECT name, \"unique\" FROM pragma_index_list(?1) ORDER BY name");
    names.BindText(1, table);
    while (names.Step()) {
        schema.indexes.push_back(
            ReadIndex(db, *schema.layout, names.ColumnText(0), names.ColumnInt(1) != 0));
    }
    for (std::size_t i = 0; i < schema.layout->fields.size(); ++i) {
        const Field& field = schema.layout->fields[i];
        if (!field.IsString()) continue;
        using Keys = sqlitekit::CharacterIndex::Keys;
        if (sqlitekit::CharacterIndex{table, field.column, Keys::kCharacters}.IsPresent(db))
            schema.characterIndexed.push_back(static_cast<int>(i));
        if (sqlitekit::CharacterIndex{table, field.column, Keys::kPinyin}.IsPresent(db))
            schema.pinyinIndexed.push_back(static_cast<int>(i));
    }
    return schema;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace dbe
