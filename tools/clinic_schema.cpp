#include "tools/clinic_schema.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tools/tool_error.h"

namespace clinicdb {
namespace {

// Names are listed in GBK order by the name search; the follow-up reminder filters on Fzyysj.
constexpr IndexDefinition kPatientIndexes[] = {
    {"bingren_xm", "CREATE INDEX bingren_xm ON bingren(Xm COLLATE GBK)"},
    {"bingren_fzyysj", "CREATE INDEX bingren_fzyysj ON bingren(Fzyysj)"},
};

// A patient's visits are read in the order they were recorded.
constexpr IndexDefinition kVisitIndexes[] = {
    {"blbrid", "CREATE INDEX blbrid ON bingli(Brid, Id)"},
};

const TableDefinition kPatients{
    "bingren",
    "CREATE TABLE bingren (Id INTEGER PRIMARY KEY AUTOINCREMENT, Xm VARCHAR(8), Xb VARCHAR(2), "
    "Nl SMALLINT, Gzdw VARCHAR(40), Lxdh VARCHAR(26), Txdz VARCHAR(40), Dzyx VARCHAR(40), "
    "Czrq DATE, Fzyysj DATE, Sfylxfz VARCHAR(2), Dfhf VARCHAR(10), Jtcy VARCHAR(30))",
    kPatientIndexes};

const TableDefinition kVisits{
    "bingli",
    "CREATE TABLE bingli (Id INTEGER PRIMARY KEY AUTOINCREMENT, Brid INTEGER, Lzrq DATE, "
    "Zhsu VARCHAR(100), Xbs TEXT(200), Jcsj TEXT(200), Zhengduan TEXT(200), Zhiliao TEXT(200), "
    "Fzyysj DATE, Jzys VARCHAR(10), Jtcy VARCHAR(30))",
    kVisitIndexes};

const TableDefinition* const kTables[] = {&kPatients, &kVisits};

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

void BuildEmptyTable(const std::filesystem::path& file, const TableDefinition& table) {
    const auto db = sqlitekit::Connection::Open(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    sqlitekit::Transaction transaction(db);
    db.Exec(table.createSql);
    CreateIndexes(db, table);
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
                    std::span<const TableDefinition* const> tables) {
    for (const TableDefinition* table : tables) {
        const auto file = TableFile(dir, *table);
        if (std::filesystem::exists(std::filesystem::symlink_status(file)))
            throw ToolError(file.string() + " already exists; nothing was changed");
    }
}

}  // namespace

const TableDefinition& PatientTable() {
    return kPatients;
}
const TableDefinition& VisitTable() {
    return kVisits;
}
std::span<const TableDefinition* const> ClinicTables() {
    return kTables;
}

std::filesystem::path TableFile(const std::filesystem::path& dir, std::string_view name) {
    return dir / (std::string(name) + ".DB");
}

std::filesystem::path TableFile(const std::filesystem::path& dir, const TableDefinition& table) {
    return TableFile(dir, table.name);
}

void CreateTableFiles(const std::filesystem::path& dir,
                      std::span<const TableDefinition* const> tables) {
    RefuseExisting(dir, tables);
    std::vector<std::unique_ptr<PendingFile>> pending;
    for (const TableDefinition* table : tables) {
        const auto final = TableFile(dir, *table);
        pending.push_back(std::make_unique<PendingFile>(TemporaryName(final), final));
        BuildEmptyTable(pending.back()->Temporary(), *table);
    }
    // Every file is built before any is published, so a failed build leaves no table without
    // its partner.
    for (auto& file : pending) file->Publish();
}

void CreateIndexes(const sqlitekit::Connection& db, const TableDefinition& table) {
    for (const IndexDefinition& index : table.indexes) db.Exec(index.createSql);
}

void DropIndexes(const sqlitekit::Connection& db, const TableDefinition& table) {
    for (const IndexDefinition& index : table.indexes)
        db.Exec("DROP INDEX IF EXISTS " + sqlitekit::QuoteIdentifier(index.name));
}

}  // namespace clinicdb
