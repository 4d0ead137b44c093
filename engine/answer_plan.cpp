#include "engine/answer_plan.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>
#include <vector>

#include "base/gbk_text.h"
#include "base/pinyin.h"
#include "engine/sqlitekit/character_index.h"

namespace dbe {
namespace {

// A column read through one of its character indexes.
struct IndexedColumn {
    Store& table;
    std::string column;  // quoted
    std::string index;   // quoted
    // The column in the order of its own index: `"Xm" COLLATE "GBK"`.
    std::string ordered;
};

// One key of a text and where a matching value holds it: among the index's rows of the key,
// and/or (for a character that may be the value's first) at the start of the value, which then
// begins with `leading`: the key and the literal characters that follow it.
struct KeyRows {
    std::string key;
    bool indexed = true;
    std::string leading;
};

bool IsAscii(std::string_view character) {
    return static_cast<unsigned char>(character[0]) < 0x80;
}

// The characters that a matching value must hold: all of `text`, or for a LIKE pattern all but
// its wildcards. A character can be the value's first only where nothing but `%` precedes it,
// and can follow it wherever anything does. The index holds ASCII characters at every position,
// and any other only after the first.
std::vector<KeyRows> LiteralCharacters(std::string_view text, bool pattern) {
    const std::vector<std::string_view> characters = gbk::Characters(text);
    const auto literal = [&](std::size_t i) {
        return !pattern || (characters[i] != "%" && characters[i] != "_");
    };
    std::vector<KeyRows> keys;
    bool onlyPercent = true;
    for (std::size_t i = 0; i < characters.size(); ++i) {
        if (literal(i)) {
            KeyRows rows{std::string(characters[i]), i > 0 || IsAscii(characters[i]), ""};
            // A value that begins here begins with the literal run, up to an ASCII letter:
            // LIKE compares those without regard to case, the GBK order does not.
            for (std::size_t j = i;
                 onlyPercent && !IsAscii(characters[i]) && j < characters.size() && literal(j) &&
                 !std::isalpha(static_cast<unsigned char>(characters[j][0]));
                 ++j) {
                rows.leading += characters[j];
            }
            keys.push_back(std::move(rows));
        }
        onlyPercent = onlyPercent && !literal(i) && characters[i] == "%";
    }
    return keys;
}

std::int64_t CountUpTo(Store& table, const std::string& select, const Where& where,
                       std::int64_t limit) {
    StatementUse count(table.Prepare("SELECT count(*) FROM (SELECT 1 FROM " + select + " WHERE " +
                                     where.text + " LIMIT ?) AS counted"));
    BindAll(*count, where.binds);
    count->BindInt(static_cast<int>(where.binds.size()) + 1, limit);
    count->Step();
    return count->ColumnInt(0);
}

Where IndexRows(const IndexedColumn& c, const std::string& key) {
    return {"rowid IN (SELECT ch_id FROM " + c.index + " WHERE ch = lower(?))", {key}};
}

// The values that begin with `prefix`: one range of the column's own index.
Where Leading(const IndexedColumn& c, const std::string& prefix) {
    const SqlDialect& dialect = c.table.Dialect();
    return {dialect.BeginningWith(c.column), {prefix, dialect.PrefixBound(prefix)}};
}

// How many rows hold `rows`, counting no further than `limit` in each place.
std::int64_t Count(const IndexedColumn& c, const KeyRows& rows, std::int64_t limit) {
    std::int64_t total = 0;
    if (rows.indexed) total += CountUpTo(c.table, c.index, {"ch = lower(?)", {rows.key}}, limit);
    if (!rows.leading.empty())
        total += CountUpTo(c.table, c.table.QuotedTable(), Leading(c, rows.leading), limit);
    return total;
}

// The key with the fewest rows, counted with rising bounds so that a common key costs no more
// to count than the rarest one. Past kCommon rows they are all common: reading any of them
// costs about the same, and counting them exactly would cost as much again.
KeyRows Rarest(const IndexedColumn& c, const std::vector<KeyRows>& candidates) {
    constexpr std::int64_t kCommon = 4096;
    if (candidates.size() == 1) return candidates.front();
    for (std::int64_t bound = 256; bound <= kCommon; bound *= 16) {
        const KeyRows* rarest = nullptr;
        std::int64_t fewest = bound;
        for (const KeyRows& rows : candidates) {
            const std::int64_t count = Count(c, rows, fewest);
            if (count < fewest) {
                fewest = count;
                rarest = &rows;
            }
        }
        if (rarest != nullptr) return *rarest;
    }
    return candidates.back();
}

bool HasIndex(const Schema& schema, const std::vector<int>& indexed, const std::string& column) {
    return std::any_of(indexed.begin(), indexed.end(), [&](int field) {
        return SameName(schema.layout->fields[field].column, column);
    });
}

std::optional<IndexedColumn> ThroughIndex(Store& table, const std::string& column,
                                          sqlitekit::CharacterIndex::Keys keys) {
    const Schema& schema = table.GetSchema();
    const bool pinyin = keys == sqlitekit::CharacterIndex::Keys::kPinyin;
    if (!HasIndex(schema, pinyin ? schema.pinyinIndexed : schema.characterIndexed, column))
        return std::nullopt;
    const std::string quoted = sqlitekit::QuoteIdentifier(column);
    return IndexedColumn{table, quoted,
                         sqlitekit::QuoteIdentifier(
                             sqlitekit::CharacterIndex{table.TableName(), column, keys}.Name()),
                         Order::ByKey(quoted, gbk::kCollation, -1, table.Dialect()).key};
}

std::optional<std::pair<IndexedColumn, KeyRows>> RarestCharacter(Store& table,
                                                                 const std::string& column,
                                                                 std::string_view text,
                                                                 bool pattern) {
    auto indexed = ThroughIndex(table, column, sqlitekit::CharacterIndex::Keys::kCharacters);
    if (!indexed) return std::nullopt;
    const std::vector<KeyRows> characters = LiteralCharacters(text, pattern);
    if (characters.empty()) return std::nullopt;
    return std::pair{*indexed, Rarest(*indexed, characters)};
}

Where RowsHolding(const IndexedColumn& c, const KeyRows& rows) {
    if (rows.leading.empty()) return IndexRows(c, rows.key);
    const Where leading = Leading(c, rows.leading);
    if (!rows.indexed) return leading;
    Where either = IndexRows(c, rows.key);
    either.text = "(" + either.text + " OR " + leading.text + ")";
    either.binds.insert(either.binds.end(), leading.binds.begin(), leading.binds.end());
    return either;
}

// Whether the view reads through arms merged in its order: where it is ordered by the column.
bool ReadsByArms(const View& view, const IndexedColumn& c) {
    return view.order.key == c.ordered;
}

// The arm that reads the view through the index rows that `entries` selects, of each key in
// `keys` where there are any, in the index's order: the index first (CROSS JOIN keeps SQLite to
// that), then each entry's record.
Arm IndexArm(const View& view, const IndexedColumn& c, const Where& entries,
             const std::vector<std::string>& keys = {}) {
    const std::string table = view.table->QuotedTable();
    Where joined{table + ".rowid = ch_id", {}};
    joined.And(entries);
    return {c.index + " CROSS JOIN " + table,
            "ch_key",
            std::move(joined),
            "ch_id",
            keys.empty() ? "" : "ch",
            {keys.begin(), keys.end()}};
}

// Reads the view through the rows holding one key: where the view is ordered by the column, in
// that order, merging the index's rows, (key, value, record), with the values that begin with
// the key's literal run, and trying `test` on each index entry before the table is read; otherwise
// as a condition on the record number.
void ReadThrough(View& view, const IndexedColumn& c, const KeyRows& rows, Where test) {
    if (!ReadsByArms(view, c)) return view.condition.And(RowsHolding(c, rows));
    if (!rows.indexed) return view.condition.And(Leading(c, rows.leading));
    Where entries{"ch = lower(?)", {rows.key}};
    entries.And(test);
    if (!rows.leading.empty()) {
        const auto [source, key] = c.table.Dialect().KeyedRows(c.table.QuotedTable(), c.column);
        view.arms.push_back({source, key, Leading(c, rows.leading), "rowid", "", {}});
    }
    view.arms.push_back(IndexArm(view, c, entries));
    view.order.key = c.table.Dialect().ArmKey();
}

// Reads the view through the rows of several keys: where the view is ordered by the column, an
// arm for each key (Arm::each) in that order; otherwise as a condition on the record number.
void ReadThroughKeys(View& view, const IndexedColumn& c, const std::vector<std::string>& keys,
                     const Where& test) {
    if (!ReadsByArms(view, c)) {
        Where any{"rowid IN (SELECT ch_id FROM " + c.index + " WHERE ch IN (", {}};
        for (const std::string& key : keys) {
            any.text += any.binds.empty() ? "?" : ", ?";
            any.binds.emplace_back(key);
        }
        any.text += "))";
        return view.condition.And(any);
    }
    view.arms.push_back(IndexArm(view, c, test, keys));
    view.order.key = c.table.Dialect().ArmKey();
}

// The pieces of `letters` (in lower case) that some key of the index begins with. From each
// letter on, the longest is the letters' common beginning with the key just before them or the
// one just after them in order: two seeks a letter, all in one statement.
std::set<std::string> ReadingPieces(const IndexedColumn& c, std::string_view letters) {
    std::string lower(letters);
    for (char& letter : lower)
        letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    std::string sql = "WITH letters(n, rest) AS (VALUES ";
    for (std::size_t from = 0; from < lower.size(); ++from)
        sql += (from ? ", (" : "(") + std::to_string(from) + ", ?)";
    StatementUse neighbours(c.table.Prepare(
        sql + ") SELECT (SELECT max(ch) FROM " + c.index + " WHERE ch <= rest), " +
        "(SELECT min(ch) FROM " + c.index + " WHERE ch >= rest) " + "FROM letters ORDER BY n"));
    for (std::size_t from = 0; from < lower.size(); ++from)
        neighbours->BindText(static_cast<int>(from) + 1, std::string_view(lower).substr(from));
    std::set<std::string> pieces;
    for (std::size_t from = 0; neighbours->Step(); ++from) {
        const std::string_view rest = std::string_view(lower).substr(from);
        std::size_t longest = 0;
        for (int column : {0, 1}) {
            if (neighbours->ColumnIsNull(column)) continue;
            const std::string_view key = neighbours->ColumnText(column);
            longest = std::max<std::size_t>(
                longest, std::mismatch(rest.begin(), rest.end(), key.begin(), key.end()).first -
                             rest.begin());
        }
        for (std::size_t length = 1; length <= longest; ++length)
            pieces.emplace(rest.substr(0, length));
    }
    return pieces;
}

// Keys are ASCII: every key that begins with `prefix` lies below this.
std::string PrefixEnd(const std::string& prefix) {
    return prefix + '\x7f';
}

// The index's keys that begin with any of `prefixes`, in order: one seek a key, all in one
// statement, which on a server is one round trip.
std::vector<std::string> KeysBeginningWith(const IndexedColumn& c,
                                           const std::vector<std::string>& prefixes) {
    if (prefixes.empty()) return {};
    std::string seeds;
    for (std::size_t i = 0; i < prefixes.size(); ++i) seeds += i ? ", (?, ?)" : "(?, ?)";
    const std::string first = "SELECT min(ch) FROM " + c.index + " WHERE ch >= low AND ch < high";
    const std::string next = "SELECT min(ch) FROM " + c.index + " WHERE ch > k AND ch < keys.high";
    StatementUse seek(c.table.Prepare(
        "WITH RECURSIVE prefixes(low, high) AS (VALUES " + seeds + "), keys(k, high) AS (SELECT (" +
        first + "), high FROM prefixes UNION ALL SELECT (" + next +
        "), keys.high FROM keys WHERE k IS NOT NULL) "
        "SELECT DISTINCT k FROM keys WHERE k IS NOT NULL ORDER BY k"));
    int bind = 0;
    for (const std::string& prefix : prefixes) {
        seek->BindText(++bind, prefix);
        seek->BindText(++bind, PrefixEnd(prefix));
    }
    std::vector<std::string> keys;
    while (seek->Step()) keys.emplace_back(seek->ColumnText(0));
    return keys;
}

}  // namespace

void PlanAnswer(View& view, int field, std::string_view pattern) {
    const std::string column = view.table->GetSchema().layout->fields[field].column;
    const auto found = RarestCharacter(*view.table, column, pattern, true);
    if (!found) return;
    ReadThrough(view, found->first, found->second, {"ch_key LIKE ?", {std::string(pattern)}});
}

void PlanPinyin(View& view, int field, std::string_view letters) {
    const std::string column = view.table->GetSchema().layout->fields[field].column;
    const auto indexed =
        ThroughIndex(*view.table, column, sqlitekit::CharacterIndex::Keys::kPinyin);
    if (!indexed || letters.empty()) return;
    // Asked only of letters that can be pieces at all.
    std::optional<std::set<std::string>> pieces;
    const auto isReadingPrefix = [&](std::string_view piece) {
        if (!pieces) pieces = ReadingPieces(*indexed, letters);
        return pieces->contains(std::string(piece));
    };
    const std::vector<std::string> keys =
        KeysBeginningWith(*indexed, pinyin::SearchKeyPrefixes(letters, isReadingPrefix));
    if (keys.empty()) return view.condition.And("FALSE");
    ReadThroughKeys(view, *indexed, keys,
                    {view.table->Dialect().PinyinEntryTest(), {std::string(letters)}});
    // Each arm tries the letters on its entries' copy of the name: the rows need no second try.
    if (!view.arms.empty()) view.condition = {};
}

std::optional<Where> CharacterNarrowing(Store& table, const std::string& column,
                                        std::string_view text, bool pattern) {
    const auto found = RarestCharacter(table, column, text, pattern);
    if (!found) return std::nullopt;
    return RowsHolding(found->first, found->second);
}

}  // namespace dbe
