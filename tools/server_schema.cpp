#include "tools/server_schema.h"

#include <string>
#include <vector>

#include "engine/pgkit/server_layout.h"

namespace clinicdb {

namespace {

std::vector<pgkit::DeclaredColumn> DeclaredColumns(const clinic_tables::Table& table) {
    std::vector<pgkit::DeclaredColumn> columns;
    for (const clinic_tables::Column& column : table.columns) {
        columns.push_back({std::string(column.name), clinic_tables::DeclaredKind(column)});
    }
    return columns;
}

std::vector<pgkit::DeclaredIndex> DeclaredIndexes(const clinic_tables::Table& table) {
    std::vector<pgkit::DeclaredIndex> indexes;
    for (const clinic_tables::Index& index : table.indexes) {
        indexes.push_back(
            {std::string(index.name), std::string(index.column), std::string(index.collation)});
    }
    return indexes;
}

}  // namespace

void CreateServerTables(pgkit::Connection& connection,
                        std::span<const clinic_tables::Table* const> tables) {
    pgkit::InstallSupport(connection);
    pgkit::Transaction transaction(connection);
    for (const clinic_tables::Table* table : tables) {
        pgkit::CreateTable(connection, std::string(table->name), DeclaredColumns(*table),
                           DeclaredIndexes(*table));
    }
    transaction.Commit();
}

}  // namespace clinicdb
