#include "engine/table_file.h"

#include "engine/filter.h"
#include "engine/sqlite_statement.h"
#include "engine/sqlitekit/paths.h"

namespace dbe {

namespace {

// Distinct ranges counted on one file (one per patient in master-detail use) are bounded so
// that the cache cannot grow without limit.
constexpr std::size_t kMaxCachedCounts = 256;
// Prepared statements: every filter and range has its own texts, so only the most recently
// used are kept.
constexpr std::size_t kMaxCachedStatements = 128;

std::unique_ptr<tablecrypt::KeyGrant> GrantFor(
    const std::string& path, const std::optional<tablecrypt::UnlockedFile>& unlocked) {
    if (!unlocked) return nullptr;
    return std::make_unique<tablecrypt::KeyGrant>(path, *unlocked);
}

}  // namespace

TableFile::TableFile(std::string path, const std::optional<tablecrypt::UnlockedFile>& unlocked)
    : path_(std::move(path)),
      use_(path_, TableUse::Kind::Shared),
      grant_(GrantFor(path_, unlocked)),
      connection_(sqlitekit::Connection::Open(path_, SQLITE_OPEN_READWRITE,
                                              grant_ ? tablecrypt::ProtectedVfs() : nullptr)),
      quotedTable_(sqlitekit::QuoteIdentifier(FileStem(path_))),
      schema_(ReadSchema(connection_.Handle(), FileStem(path_))) {
    RegisterFilterFunctions(connection_.Handle());
}

Statement& TableFile::Prepare(const std::string& sql) {
    if (const auto found = statements_.find(sql); found != statements_.end()) {
        recentUse_.splice(recentUse_.begin(), recentUse_, found->second.use);
        return *found->second.statement;
    }
    auto statement = std::make_unique<SqliteStatement>(connection_.Handle(), sql);
    if (statements_.size() >= kMaxCachedStatements) {
        statements_.erase(recentUse_.back());
        recentUse_.pop_back();
    }
    recentUse_.push_front(sql);
    return *statements_.emplace(sql, CachedStatement{std::move(statement), recentUse_.begin()})
                .first->second.statement;
}

void TableFile::Write(const std::function<void()>& body) {
    // Counted before writing: even a write that fails may have reached the file.
    ++writes_;
    sqlitekit::Transaction transaction(connection_);
    body();
    transaction.Commit();
}

TableFile::Stamp TableFile::CurrentStamp() {
    StatementUse version(Prepare("PRAGMA data_version"));
    version->Step();
    return {version->ColumnInt(0), writes_};
}

std::uint32_t TableFile::Count(const std::string& key,
                               const std::function<std::uint32_t()>& compute) {
    // The stamp is taken before counting, so that a change made meanwhile leaves the stored
    // count stale rather than wrong.
    const Stamp before = CurrentStamp();
    const auto found = counts_.find(key);
    if (found != counts_.end() && found->second.stamp == before) return found->second.count;
    const std::uint32_t count = compute();
    if (counts_.size() >= kMaxCachedCounts) counts_.clear();
    counts_[key] = {before, count};
    return count;
}

std::optional<std::uint32_t> TableFile::PeekCount(const std::string& key) {
    const auto found = counts_.find(key);
    if (found == counts_.end() || !(found->second.stamp == CurrentStamp())) return std::nullopt;
    return found->second.count;
}

}  // namespace dbe
