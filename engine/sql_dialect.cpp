#include "engine/sql_dialect.h"

#include "base/gbk_text.h"
#include "engine/filter.h"
#include "engine/schema.h"
#include "engine/sqlitekit/sqlite_support.h"

namespace dbe {

namespace {

class Sqlite final : public SqlDialect {
  public:
    std::string Collated(const std::string& expr, const std::string& collation) const override {
        if (IsBytes(collation)) return expr;
        return expr + " COLLATE " + sqlitekit::QuoteIdentifier(collation);
    }
    std::string CollatedOperand(const std::string& expr, const std::string&) const override {
        return expr;
    }
    // Below the prefix's end (gbk::PrefixEnd), through the column's own index.
    std::string BeginningWith(const std::string& column) const override {
        const std::string key = Collated(column, gbk::kCollation);
        return key + " >= ? AND " + key + " < ?";
    }
    std::string PrefixBound(const std::string& prefix) const override {
        return gbk::PrefixEnd(prefix);
    }
    std::string ArmKey() const override { return "ch_key"; }
    // An arm's select list names its key ch_key, and SQLite's WHERE reads that name.
    std::pair<std::string, std::string> KeyedRows(const std::string& table,
                                                  const std::string& column) const override {
        return {table, Collated(column, gbk::kCollation)};
    }
    // It merges the arms' index reads in order, reading no more of any than the union needs.
    bool LimitsEachArm() const override { return false; }
    std::string PinyinEntryTest() const override {
        return std::string(kPinyinFunction) + "(ch_key, ?)";
    }
};

class Server final : public SqlDialect {
  public:
    std::string Collated(const std::string& expr, const std::string& collation) const override {
        if (IsBytes(collation)) return expr;
        // NOCASE folds ASCII letters only, as lower() does in the server's C collation.
        const char* function = SameName(collation, gbk::kCollation) ? "gbk_key" : "lower";
        return std::string(function) + "(" + expr + ")";
    }
    std::string CollatedOperand(const std::string& expr,
                                const std::string& collation) const override {
        return Collated(expr, collation);
    }
    // The server takes no text that is not UTF-8, so the end is made of the key's bytes: no
    // GB18030 byte is 0xFF.
    std::string BeginningWith(const std::string& column) const override {
        const std::string key = Collated(column, gbk::kCollation);
        return key + " >= gbk_key(?) AND " + key + " < (gbk_key(?) || '\\xff'::bytea)";
    }
    std::string PrefixBound(const std::string& prefix) const override { return prefix; }
    std::string ArmKey() const override { return Collated("ch_key", gbk::kCollation); }
    // The server's WHERE reads no name of the select list: the column takes the name in the
    // FROM list, where the planner sees through it to the column's own index.
    std::pair<std::string, std::string> KeyedRows(const std::string& table,
                                                  const std::string& column) const override {
        return {table + " CROSS JOIN LATERAL (SELECT " + column + " AS ch_key) AS keyed", "ch_key"};
    }
    bool LimitsEachArm() const override { return true; }
    // The entry's reading text against the letters' pattern, which the planner works out once:
    // trying an entry reads no character's readings.
    std::string PinyinEntryTest() const override { return "ch_readings ~ pinyin_pattern(?)"; }
};

}  // namespace

bool SqlDialect::IsBytes(const std::string& collation) {
    return collation.empty() || SameName(collation, "BINARY");
}

const SqlDialect& SqliteDialect() {
    static const Sqlite dialect;
    return dialect;
}

const SqlDialect& ServerDialect() {
    static const Server dialect;
    return dialect;
}

}  // namespace dbe
