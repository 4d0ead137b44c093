#include "tools/server_schema.h"

#include <string>
#include <vector>

#include "engine/pgkit/server_deleted_rows.h"
#include "engine/pgkit/server_layout.h"
#include "engine/pgkit/server_name_index.h"
#include "tools/clinic_schema.h"
#include "tools/tool_error.h"

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

// A refused create changes nothing, not even the support objects: this runs before them.
void RefuseExisting(pgkit::Connection& connection,
                    std::span<const clinic_tables::Table* const> tables) {
    for (const clinic_tables::Table* table : tables) {
        if (ServerTableExists(connection, *table))
            throw ToolError("the server holds a table " + pgkit::ServerName(table->name) +
                            " already; nothing was changed");
    }
}

}  // namespace

bool ServerTableExists(pgkit::Connection& connection, const clinic_tables::Table& table) {
    return connection
               .Query(
                   "SELECT 1 FROM pg_class WHERE relname = $1 "
                   "AND relnamespace = current_schema()::regnamespace",
                   {pgkit::ServerName(table.name)})
               .Rows() == 1;
}

void CreateServerTablesInTransaction(pgkit::Connection& connection,
                                     std::span<const clinic_tables::Table* const> tables) {
    for (const clinic_tables::Table* table : tables) {
        pgkit::CreateTable(connection, std::string(table->name), DeclaredColumns(*table),
                           DeclaredIndexes(*table));
        pgkit::ServerDeletedRows{pgkit::ServerName(table->name)}.Create(connection);
        CreateServerNameIndex(connection, *table);
    }
}

void CreateServerNameIndex(pgkit::Connection& connection, const clinic_tables::Table& table) {
    if (table.characterIndexed.empty()) return;
    pgkit::CreateNameIndex(connection, pgkit::ServerName(table.name),
                           pgkit::ServerName(table.characterIndexed), IndexedCharacters(table));
}

namespace {

// The name index's two tables, quoted and separated by a comma.
std::string NameIndexTables(pgkit::Connection& connection, const clinic_tables::Table& table) {
    const std::string name = pgkit::ServerName(table.name);
    const std::string column = pgkit::ServerName(table.characterIndexed);
    return pgkit::QuoteIdentifier(connection, pgkit::NameIndexTable(name, column, false)) + ", " +
           pgkit::QuoteIdentifier(connection, pgkit::NameIndexTable(name, column, true));
}

}  // namespace

void DropServerNameIndex(pgkit::Connection& connection, const clinic_tables::Table& table) {
    if (table.characterIndexed.empty()) return;
    const std::string name = pgkit::ServerName(table.name);
    const std::string column = pgkit::ServerName(table.characterIndexed);
    connection.Exec("DROP TABLE IF EXISTS " + NameIndexTables(connection, table) +
                    "; DROP FUNCTION IF EXISTS " +
                    pgkit::QuoteIdentifier(connection, name + "_" + column + "_index") +
                    "() CASCADE");
}

void VacuumServerTables(pgkit::Connection& connection,
                        std::span<const clinic_tables::Table* const> tables) {
    std::string relations;
    for (const clinic_tables::Table* table : tables) {
        relations += (relations.empty() ? "" : ", ") +
                     pgkit::QuoteIdentifier(connection, pgkit::ServerName(table->name));
        if (!table->characterIndexed.empty())
            relations += ", " + NameIndexTables(connection, *table);
    }
    connection.Exec("VACUUM (ANALYZE) " + relations);
}

void InstallServerSupport(pgkit::Connection& connection) {
    pgkit::InstallSupport(connection);
    pgkit::InstallPinyin(connection);
}

void PrepareEmptyServerTables(pgkit::Connection& connection,
                              std::span<const clinic_tables::Table* const> tables) {
    for (const clinic_tables::Table* table : tables) {
        if (!ServerTableExists(connection, *table)) {
            CreateServerTablesInTransaction(connection, std::span(&table, 1));
            continue;
        }
        const std::string name = pgkit::ServerName(table->name);
        if (connection
                .Query("SELECT EXISTS (SELECT 1 FROM " + pgkit::QuoteIdentifier(connection, name) +
                       ")")
                .Text(0, 0) == "t")
            throw ToolError("the server's table " + name +
                            " holds rows already; nothing was changed");
    }
}

void CreateServerTables(pgkit::Connection& connection,
                        std::span<const clinic_tables::Table* const> tables) {
    RefuseExisting(connection, tables);
    InstallServerSupport(connection);
    pgkit::Transaction transaction(connection);
    RefuseExisting(connection, tables);
    CreateServerTablesInTransaction(connection, tables);
    transaction.Commit();
}

}  // namespace clinicdb
