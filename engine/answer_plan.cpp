#include "engine/answer_plan.h"

#include <algorithm>
#include <optional>
#include <set>

#include "base/gbk_text.h"
#include "engine/filter.h"
#include "engine/sqlitekit/character_index.h"
#include "engine/sqlitekit/paths.h"

namespace dbe {
namespace {

// The characters that a matching value must hold: all of `text`, or for a LIKE pattern all
// but its wildcards.
std::set<std::string> LiteralCharacters(std::string_view text, bool pattern) {
    std::set<std::string> characters;
    for (std::string_view character : gbk::Characters(text)) {
        if (!pattern || (character != "%" && character != "_")) characters.emplace(character);
    }
    return characters;
}

// How many index rows `character` has, counting no further than `limit`.
std::int64_t Postings(TableFile& table, const std::string& index, const std::string& character,
                      std::int64_t limit) {
    sqlitekit::StatementUse count(table.Prepare("SELECT count(*) FROM (SELECT 1 FROM " + index +
                                                " WHERE ch = lower(?) LIMIT ?)"));
    count->BindText(1, character);
    count->BindInt(2, limit);
    count->Step();
    return count->ColumnInt(0);
}

// The character with the fewest index rows, counted with rising bounds so that a common
// character costs no more to count than the rarest one. Past kCommon rows they are all common:
// reading any of them costs about the same, and counting them exactly would cost as much again.
std::string Rarest(TableFile& table, const std::string& index,
                   const std::set<std::string>& characters) {
    constexpr std::int64_t kCommon = 4096;
    if (characters.size() == 1) return *characters.begin();
    for (std::int64_t bound = 256; bound <= kCommon; bound *= 16) {
        std::string rarest;
        std::int64_t fewest = bound;
        for (const std::string& character : characters) {
            const std::int64_t postings = Postings(table, index, character, fewest);
            if (postings < fewest) {
                fewest = postings;
                rarest = character;
            }
        }
        if (!rarest.empty()) return rarest;
    }
    return *characters.rbegin();
}

// The column's character index (quoted) and the rarest character of `text` in it.
struct IndexedCharacter {
    std::string index;
    std::string character;
};

bool HasIndex(const Schema& schema, const std::vector<int>& indexed, const std::string& column) {
    return std::any_of(indexed.begin(), indexed.end(), [&](int field) {
        return SameName(schema.layout->fields[field].column, column);
    });
}

std::string QuotedIndexName(TableFile& table, const std::string& column,
                            sqlitekit::CharacterIndex::Keys keys) {
    return sqlitekit::QuoteIdentifier(
        sqlitekit::CharacterIndex{FileStem(table.Path()), column, keys}.Name());
}

std::optional<IndexedCharacter> FindIndexedCharacter(TableFile& table, const std::string& column,
                                                     std::string_view text, bool pattern) {
    const Schema& schema = table.GetSchema();
    if (!HasIndex(schema, schema.characterIndexed, column)) return std::nullopt;
    const std::set<std::string> characters = LiteralCharacters(text, pattern);
    if (characters.empty()) return std::nullopt;
    const std::string index =
        QuotedIndexName(table, column, sqlitekit::CharacterIndex::Keys::kCharacters);
    return IndexedCharacter{index, Rarest(table, index, characters)};
}

Where RowsHolding(const IndexedCharacter& found) {
    return {"rowid IN (SELECT ch_id FROM " + found.index + " WHERE ch = lower(?))",
            {found.character}};
}

// Reads the view through the index rows of one key: in the index's own order, (value, record),
// where the view is ordered by the column, trying `test` on the index entry before the table
// is read; otherwise as the set of their record numbers.
void ReadThrough(View& view, const std::string& column, const IndexedCharacter& found, Where test) {
    const Order byValue = Order::ByKey(sqlitekit::QuoteIdentifier(column), gbk::kCollation, -1);
    if (view.order.key != byValue.key) return view.condition.And(RowsHolding(found));
    const std::string table = view.table->QuotedTable();
    view.source = found.index + " CROSS JOIN " + table + " ON " + table + ".rowid = ch_id";
    view.order.key = "ch_key";
    Where condition{"ch = lower(?)", {found.character}};
    condition.And(test);
    condition.And(view.condition);
    view.condition = std::move(condition);
}

}  // namespace

void PlanAnswer(View& view, int field, std::string_view pattern) {
    const std::string column = view.table->GetSchema().layout->fields[field].column;
    const auto found = FindIndexedCharacter(*view.table, column, pattern, true);
    if (!found) return;
    ReadThrough(view, column, *found, {"ch_key LIKE ?", {std::string(pattern)}});
}

void PlanPinyin(View& view, int field, std::string_view letters) {
    const Schema& schema = view.table->GetSchema();
    const std::string column = schema.layout->fields[field].column;
    if (letters.size() < 2 || !HasIndex(schema, schema.pinyinIndexed, column)) return;
    const IndexedCharacter found{
        QuotedIndexName(*view.table, column, sqlitekit::CharacterIndex::Keys::kPinyin),
        std::string(letters.substr(0, 2))};
    ReadThrough(view, column, found,
                {std::string(kPinyinFunction) + "(ch_key, ?)", {std::string(letters)}});
}

std::optional<Where> CharacterNarrowing(TableFile& table, const std::string& column,
                                        std::string_view text, bool pattern) {
    const auto found = FindIndexedCharacter(table, column, text, pattern);
    if (!found) return std::nullopt;
    return RowsHolding(*found);
}

}  // namespace dbe
