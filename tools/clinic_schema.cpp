#include "tools/clinic_schema.h"

#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "base/durable_files.h"
#include "engine/sqlitekit/deleted_rows.h"
#include "tools/tool_error.h"

namespace clinicdb {
namespace {

void BuildTable(const std::filesystem::path& file, const clinic_tables::Table& table,
                const TableFill& fill) {
    const auto db = sqlitekit::Connection::Open(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    // The file is a temporary, synced before it takes its name and removed when the build
    // fails: neither a journal nor syncing would serve while it is built.
    db.Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-262144");
    sqlitekit::Transaction transaction(db);
    db.Exec(clinic_tables::CreateTableSql(table));
    if (fill) fill(db, table);
    CreateIndexes(db, table);
    sqlitekit::DeletedRows{std::string(table.name)}.Create(db);
    transaction.Commit();
}

void RefuseExisting(const std::filesystem::path& dir,
                    std::span<const clinic_tables::Table* const> tables) {
    for (const clinic_tables::Table* table : tables) {
        const auto file = TableFile(dir, *table);
        if (std::filesystem::exists(std::filesystem::symlink_status(file)))
            throw ToolError(file.string() + " already exists; nothing was changed");
    }
}

}  // namespace

std::filesystem::path TableFile(const std::filesystem::path& dir, std::string_view name) {
    return dir / (std::string(name) + ".DB");
}

std::filesystem::path TableFile(const std::filesystem::path& dir,
                                const clinic_tables::Table& table) {
    return TableFile(dir, table.name);
}

void CreateTableFiles(const std::filesystem::path& dir,
                      std::span<const clinic_tables::Table* const> tables, const TableFill& fill) {
    RefuseExisting(dir, tables);
    std::vector<std::unique_ptr<durable::PendingFile>> pending;
    for (const clinic_tables::Table* table : tables) {
        pending.push_back(std::make_unique<durable::PendingFile>(TableFile(dir, *table)));
        BuildTable(pending.back()->Temporary(), *table, fill);
    }
    // Every file is built before any is published, so a failed build leaves no table without
    // its partner.
    for (auto& file : pending) {
        try {
            file->Publish(durable::Rename::NoReplace);
        } catch (const std::system_error& e) {
            throw ToolError("cannot create " + file->Final().string() + ": " + e.code().message());
        }
    }
}

std::vector<sqlitekit::CharacterIndex> CharacterIndexesOf(const clinic_tables::Table& table) {
    if (table.characterIndexed.empty()) return {};
    const std::string name(table.name), column(table.characterIndexed);
    using Keys = sqlitekit::CharacterIndex::Keys;
    return {{name, column, Keys::kCharacters}, {name, column, Keys::kPinyin}};
}

int IndexedCharacters(const clinic_tables::Table& table) {
    // Every character takes a GBK byte at least: the column's size bounds their number.
    return table.ColumnNamed(table.characterIndexed).size;
}

void CreateIndexes(const sqlitekit::Connection& db, const clinic_tables::Table& table) {
    for (const clinic_tables::Index& index : table.indexes) db.Exec(index.createSql);
    for (const auto& index : CharacterIndexesOf(table)) index.Create(db, IndexedCharacters(table));
}

void DropIndexes(const sqlitekit::Connection& db, const clinic_tables::Table& table) {
    for (const clinic_tables::Index& index : table.indexes)
        db.Exec("DROP INDEX IF EXISTS " + sqlitekit::QuoteIdentifier(index.name));
    for (const auto& index : CharacterIndexesOf(table)) index.Drop(db);
}

}  // namespace clinicdb
