#include "engine/server_schema.h"

#include <cctype>

#include "engine/errors.h"
#include "engine/pgkit/server_name_index.h"
#include "engine/values.h"

namespace dbe {

namespace {

constexpr const char* kColumnsSql =
    "SELECT a.attname, coalesce(col_description(a.attrelid, a.attnum), ''), "
    "format_type(a.atttypid, a.atttypmod), a.attidentity <> '', a.attnotnull "
    "FROM pg_attribute a WHERE a.attrelid = $1::regclass AND a.attnum > 0 "
    "AND NOT a.attisdropped ORDER BY a.attnum";

// Each index but the primary key's, with its key columns as the server prints them.
constexpr const char* kIndexesSql =
    "SELECT c.relname, i.indisunique, "
    "(SELECT string_agg(pg_get_indexdef(i.indexrelid, k, true), E'\\n' ORDER BY k) "
    " FROM generate_series(1, i.indnkeyatts) k) "
    "FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
    "WHERE i.indrelid = $1::regclass AND NOT i.indisprimary ORDER BY c.relname";

std::string QuotedName(const std::string& table) {
    std::string quoted = "\"";
    for (char c : table) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

Field ReadField(const pgkit::Result& rows, int row) {
    Field field;
    field.column = std::string(rows.Text(row, 0));
    // The comment holds "<declared name> <declared kind>".
    const std::string_view comment = rows.Text(row, 1);
    const std::size_t space = comment.find(' ');
    const bool declared =
        space != std::string_view::npos && SameName(comment.substr(0, space), field.column);
    const bool identity = rows.Text(row, 3) == "t";
    field.desc = DescribeColumn(declared ? comment.substr(space + 1) : rows.Text(row, 2), identity);
    field.desc.iFldNum = static_cast<std::uint16_t>(row + 1);
    field.desc.bRequired = !identity && rows.Text(row, 4) == "t";
    CopyName(field.desc.szName, declared ? comment.substr(0, space) : field.column);
    return field;
}

// A key column as the server prints it: a name, or a function of one.
std::string Unquoted(std::string_view name) {
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
        name = name.substr(1, name.size() - 2);
    }
    return std::string(name);
}

// The key column's field (-2 for an expression) and its collation.
std::pair<int, std::string> KeyColumn(const Layout& layout, std::string_view key) {
    for (const auto& [function, collation] : {std::pair{"gbk_key(", "GBK"}, {"lower(", "NOCASE"}}) {
        const std::string_view prefix = function;
        if (key.starts_with(prefix) && key.ends_with(")")) {
            const int field =
                layout.Find(Unquoted(key.substr(prefix.size(), key.size() - prefix.size() - 1)));
            return {field >= 0 ? field : -2, collation};
        }
    }
    const int field = layout.Find(Unquoted(key));
    return {field >= 0 ? field : -2, ""};
}

IndexDef ReadIndex(const Layout& layout, const pgkit::Result& rows, int row) {
    std::vector<int> keyFields;
    std::string collation;
    std::string_view keys = rows.Text(row, 2);
    while (!keys.empty()) {
        const std::size_t end = keys.find('\n');
        const auto [field, keyCollation] = KeyColumn(layout, keys.substr(0, end));
        if (keyFields.empty()) collation = keyCollation;
        keyFields.push_back(field);
        keys = end == std::string_view::npos ? std::string_view() : keys.substr(end + 1);
    }
    return DescribeIndex(layout, rows.Text(row, 0), rows.Text(row, 1) == "t", keyFields, collation);
}

// Whether the column's name index (pgkit/server_name_index.h) is whole: both tables and the
// trigger that keeps them.
bool HasNameIndex(pgkit::Connection& connection, const std::string& table,
                  const std::string& column) {
    using pgkit::NameIndexTable;
    const pgkit::Result found = connection.Query(
        "SELECT to_regclass($1) IS NOT NULL AND to_regclass($2) IS NOT NULL AND EXISTS "
        "(SELECT 1 FROM pg_trigger WHERE tgrelid = $3::regclass AND tgname = $4)",
        {QuotedName(NameIndexTable(table, column, false)),
         QuotedName(NameIndexTable(table, column, true)), QuotedName(table),
         table + "_" + column + "_index"});
    return found.Text(0, 0) == "t";
}

}  // namespace

Schema ReadServerSchema(pgkit::Connection& connection, const std::string& table) {
    const pgkit::Connection::Params name{QuotedName(table)};
    const pgkit::Result exists = connection.Query("SELECT to_regclass($1) IS NOT NULL", name);
    if (exists.Text(0, 0) != "t") throw EngineError(DBIERR_NOTFOUND_FILE);
    auto layout = std::make_shared<Layout>();
    const pgkit::Result columns = connection.Query(kColumnsSql, name);
    for (int row = 0; row < columns.Rows(); ++row)
        layout->fields.push_back(ReadField(columns, row));
    if (layout->AutoIncField() < 0) {
        throw EngineError(DBIERR_NOTADB, "The table '" + table +
                                             "' has no identity column for its record numbers");
    }
    Schema schema;
    schema.layout = layout;
    schema.indexes.push_back(PrimaryIndex(*layout));
    const pgkit::Result indexes = connection.Query(kIndexesSql, name);
    for (int row = 0; row < indexes.Rows(); ++row)
        schema.indexes.push_back(ReadIndex(*layout, indexes, row));
    for (std::size_t i = 0; i < layout->fields.size(); ++i) {
        const Field& field = layout->fields[i];
        if (!field.IsString() || !HasNameIndex(connection, table, field.column)) continue;
        schema.characterIndexed.push_back(static_cast<int>(i));
        schema.pinyinIndexed.push_back(static_cast<int>(i));
    }
    return schema;
}

}  // namespace dbe
