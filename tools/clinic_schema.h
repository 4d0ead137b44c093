// The clinic's two table files and how the tool makes them.
//
// A database directory holds bingren.DB (patients) and bingli.DB (visits), one SQLite table
// each, named as the file's stem. The definitions here are the only place their SQL lives.
//
// Contracts:
// - CreateTableFiles never leaves a half-made file under a table's name: each file is built
//   under a temporary name and renamed into place; if any table file already exists it throws
//   ToolError before touching anything.
// - Connections given to CreateIndexes must have the GBK collation registered
//   (sqlitekit::Connection::Open does).
#pragma once

#include <filesystem>
#include <span>
#include <string_view>

#include "engine/sqlite_support.h"

namespace clinicdb {

struct IndexDefinition {
    std::string_view name;
    std::string_view createSql;
};

struct TableDefinition {
    std::string_view name;  // the table and its file's stem
    std::string_view createSql;
    std::span<const IndexDefinition> indexes;
};

const TableDefinition& PatientTable();
const TableDefinition& VisitTable();
// Both tables, patients first.
std::span<const TableDefinition* const> ClinicTables();

// DIR/<name>.DB
std::filesystem::path TableFile(const std::filesystem::path& dir, std::string_view name);
std::filesystem::path TableFile(const std::filesystem::path& dir, const TableDefinition& table);

// Makes an empty file (table and indexes) for each table; see the contract above.
void CreateTableFiles(const std::filesystem::path& dir,
                      std::span<const TableDefinition* const> tables);

void CreateIndexes(const sqlitekit::Connection& db, const TableDefinition& table);
void DropIndexes(const sqlitekit::Connection& db, const TableDefinition& table);

}  // namespace clinicdb
