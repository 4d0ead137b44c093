// How the tool makes the clinic's two table files from their description (base/clinic_tables.h).
//
// A database directory holds bingren.DB (patients) and bingli.DB (visits), one SQLite table
// each, named as the file's stem.
//
// Contracts:
// - CreateTableFiles never leaves a half-made file under a table's name: each file is built
//   under a temporary name and renamed into place; if any table file already exists it throws
//   ToolError before touching anything.
// - Connections given to CreateIndexes must have the GBK collation registered
//   (sqlitekit::Connection::Open does).
#pragma once

#include <filesystem>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "base/clinic_tables.h"
#include "engine/sqlitekit/character_index.h"
#include "engine/sqlitekit/sqlite_support.h"

namespace clinicdb {

// DIR/<name>.DB
std::filesystem::path TableFile(const std::filesystem::path& dir, std::string_view name);
std::filesystem::path TableFile(const std::filesystem::path& dir,
                                const clinic_tables::Table& table);

// Fills a table while its file is made, in the transaction that makes it, before its indexes
// are built; throwing there makes no file at all.
using TableFill = std::function<void(const sqlitekit::Connection&, const clinic_tables::Table&)>;

// Makes a file (table and indexes) for each table, empty or as `fill` fills it; see the
// contract above.
void CreateTableFiles(const std::filesystem::path& dir,
                      std::span<const clinic_tables::Table* const> tables,
                      const TableFill& fill = {});

// The table's indexes, its character index among them; DropIndexes drops them all.
void CreateIndexes(const sqlitekit::Connection& db, const clinic_tables::Table& table);
void DropIndexes(const sqlitekit::Connection& db, const clinic_tables::Table& table);

// The indexes of the table's character-indexed column, by its characters and by its pinyin;
// none where the description has no such column. IndexedCharacters bounds the characters of
// a value that they index.
std::vector<sqlitekit::CharacterIndex> CharacterIndexesOf(const clinic_tables::Table& table);
int IndexedCharacters(const clinic_tables::Table& table);

}  // namespace clinicdb
