#include "engine/store.h"

#include "engine/sqlitekit/sqlite_support.h"

namespace dbe {

namespace {

// Distinct ranges counted on one table (one per patient in master-detail use) are bounded so
// that the cache cannot grow without limit.
constexpr std::size_t kMaxCachedCounts = 256;
// Prepared statements: every filter and range has its own texts, so only the most recently
// used are kept.
constexpr std::size_t kMaxCachedStatements = 128;

}  // namespace

Store::Store(std::string path, const std::string& table)
    : path_(std::move(path)), table_(table), quotedTable_(sqlitekit::QuoteIdentifier(table)) {}

Statement& Store::Prepare(const std::string& sql) {
    if (const auto found = statements_.find(sql); found != statements_.end()) {
        recentUse_.splice(recentUse_.begin(), recentUse_, found->second.use);
        return *found->second.statement;
    }
    auto statement = NewStatement(sql);
    if (statements_.size() >= kMaxCachedStatements) {
        statements_.erase(recentUse_.back());
        recentUse_.pop_back();
    }
    recentUse_.push_front(sql);
    return *statements_.emplace(sql, CachedStatement{std::move(statement), recentUse_.begin()})
                .first->second.statement;
}

std::uint32_t Store::Count(const std::string& key, const std::function<std::uint32_t()>& compute) {
    const Stamp before = ChangeStamp();
    const auto found = counts_.find(key);
    if (found != counts_.end() && found->second.stamp == before) return found->second.count;
    const std::uint32_t count = compute();
    if (counts_.size() >= kMaxCachedCounts) counts_.clear();
    counts_[key] = {before, count};
    return count;
}

std::optional<std::uint32_t> Store::PeekCount(const std::string& key) {
    const auto found = counts_.find(key);
    if (found == counts_.end() || found->second.stamp != ChangeStamp()) return std::nullopt;
    return found->second.count;
}

}  // namespace dbe
