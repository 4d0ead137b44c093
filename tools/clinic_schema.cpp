#include "tools/clinic_schema.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/sqlitekit/deleted_rows.h"
#include "tools/tool_error.h"

namespace clinicdb {
namespace {

// A file being built under a temporary name; removed unless it was moved into place.
class PendingFile {
  public:
    PendingFile(std::filesystem::path temporary, std::filesystem::path final)
        : temporary_(std::move(temporary)), final_(std::move(final)) {
        std::filesystem::remove(temporary_);
    }
    ~PendingFile() {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::filesystem::path& Temporary() const { return temporary_; }

    // Moves the file into place without ever replacing a file of the same name.
    void Publish() {
        if (renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, final_.c_str(), RENAME_NOREPLACE) !=
            0) {
            throw ToolError("cannot create " + final_.string() + ": " + std::strerror(errno));
        }
    }

  private:
    std::filesystem::path temporary_;
    std::filesystem::path final_;
};

void BuildEmptyTable(const std::filesystem::path& file, const clinic_tables::Table& table) {
    const auto db = sqlitekit::Connection::Open(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    sqlitekit::Transaction transaction(db);
    db.Exec(clinic_tables::CreateTableSql(table));
    CreateIndexes(db, table);
    sqlitekit::DeletedRows{std::string(table.name)}.Create(db);
    transaction.Commit();
}

// A hidden name beside the file, private to this process.
std::filesystem::path TemporaryName(const std::filesystem::path& file) {
    std::string name = ".";
    name += file.filename().string();
    name += '.';
    name += std::to_string(getpid());
    name += ".tmp";
    return file.parent_path() / name;
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
                      std::span<const clinic_tables::Table* const> tables) {
    RefuseExisting(dir, tables);
    std::vector<std::unique_ptr<PendingFile>> pending;
    for (const clinic_tables::Table* table : tables) {
        const auto final = TableFile(dir, *table);
        pending.push_back(std::make_unique<PendingFile>(TemporaryName(final), final));
        BuildEmptyTable(pending.back()->Temporary(), *table);
    }
    // Every file is built before any is published, so a failed build leaves no table without
    // its partner.
    for (auto& file : pending) file->Publish();
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
