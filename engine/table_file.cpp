#include "engine/table_file.h"

#include "engine/filter.h"
#include "engine/sqlite_statement.h"
#include "engine/sqlitekit/paths.h"

namespace dbe {

namespace {

std::unique_ptr<tablecrypt::KeyGrant> GrantFor(
    const std::string& path, const std::optional<tablecrypt::UnlockedFile>& unlocked) {
    if (!unlocked) return nullptr;
    return std::make_unique<tablecrypt::KeyGrant>(path, *unlocked);
}

}  // namespace

TableFile::TableFile(std::string path, const std::optional<tablecrypt::UnlockedFile>& unlocked)
    : Store(path, FileStem(path)),
      use_(path, TableUse::Kind::Shared),
      grant_(GrantFor(path, unlocked)),
      connection_(sqlitekit::Connection::Open(path, SQLITE_OPEN_READWRITE,
                                              grant_ ? tablecrypt::ProtectedVfs() : nullptr)) {
    SetSchema(ReadSchema(connection_.Handle(), FileStem(path)));
    RegisterFilterFunctions(connection_.Handle());
}

std::unique_ptr<Statement> TableFile::NewStatement(const std::string& sql) {
    return std::make_unique<SqliteStatement>(connection_.Handle(), sql);
}

void TableFile::Write(const std::function<void()>& body) {
    // Counted before writing: even a write that fails may have reached the file.
    ++writes_;
    sqlitekit::Transaction transaction(connection_);
    body();
    transaction.Commit();
}

Store::Stamp TableFile::ChangeStamp() {
    // data_version changes with every other connection's commit, writes_ with this one's.
    StatementUse version(Prepare("PRAGMA data_version"));
    version->Step();
    return {version->ColumnInt(0), writes_};
}

std::unique_ptr<RecordLock> TableFile::NewRecordLock() {
    return std::make_unique<FileRecordLock>(LockFilePath(Path()));
}

}  // namespace dbe
