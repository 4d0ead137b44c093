#include "tools/table_shape.h"

#include <algorithm>

#include "base/clinic_tables.h"
#include "engine/schema.h"
#include "tools/clinic_schema.h"

namespace clinicdb {
namespace {

using clinic_tables::Column;

std::string Named(const Column& column) {
    std::string name(column.name);
    if (!column.label.empty()) name += " (" + std::string(column.label) + ")";
    return name;
}

// Kinds as the engine reads them from the declarations, so that spellings it takes alike
// (INT and INTEGER, CHAR and VARCHAR) count as the same.
bool SameKind(const FLDDesc& stored, const Column& column) {
    const FLDDesc described = dbe::DescribeColumn(
        clinic_tables::DeclaredKind(column), column.kind == clinic_tables::ColumnKind::AutoInc);
    return stored.iFldType == described.iFldType && stored.iSubType == described.iSubType;
}

std::vector<std::string> ColumnProblems(const dbe::Layout& layout,
                                        const clinic_tables::Table& table) {
    std::vector<std::string> lines;
    for (const Column& column : table.columns) {
        const int found = layout.Find(column.name);
        if (found < 0) {
            lines.push_back("column " + Named(column) + " is missing");
        } else if (!SameKind(layout.fields[static_cast<std::size_t>(found)].desc, column)) {
            lines.push_back("column " + Named(column) + " is not declared " +
                            clinic_tables::DeclaredKind(column));
        }
    }
    return lines;
}

std::vector<std::string> IndexProblems(const dbe::Schema& schema,
                                       const clinic_tables::Table& table) {
    std::vector<std::string> lines;
    for (const clinic_tables::Index& index : table.indexes) {
        if (!index.required) continue;
        const bool present = std::any_of(
            schema.indexes.begin(), schema.indexes.end(), [&](const dbe::IndexDef& def) {
                return def.usable && dbe::SameName(def.desc.szName, index.name);
            });
        if (!present) lines.push_back("index " + std::string(index.name) + " is missing");
    }
    return lines;
}

}  // namespace

std::optional<ProgramRefusal> FindRefusal(const std::filesystem::path& dir, TableOpener& tables) {
    for (const clinic_tables::Table* table : clinic_tables::All()) {
        const auto path = TableFile(dir, *table);
        const auto db = tables.Open(path, SQLITE_OPEN_READONLY);
        const dbe::Schema schema = dbe::ReadSchema(db.Get().Handle(), std::string(table->name));
        std::vector<std::string> lines = ColumnProblems(*schema.layout, *table);
        for (std::string& line : IndexProblems(schema, *table)) lines.push_back(std::move(line));
        if (!lines.empty()) return ProgramRefusal{path.filename().string(), std::move(lines)};
    }
    return std::nullopt;
}

}  // namespace clinicdb
