#include "engine/answer_plan.h"

#include <algorithm>
#include <optional>
#include <set>

#include "base/gbk_text.h"
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

std::optional<IndexedCharacter> FindIndexedCharacter(TableFile& table, const std::string& column,
                                                     std::string_view text, bool pattern) {
    const Schema& schema = table.GetSchema();
    const bool indexed = std::any_of(
        schema.characterIndexed.begin(), schema.characterIndexed.end(),
        [&](int field) { return SameName(schema.layout->fields[field].column, column); });
    if (!indexed) return std::nullopt;
    const std::set<std::string> characters = LiteralCharacters(text, pattern);
    if (characters.empty()) return std::nullopt;
    const std::string index = sqlitekit::QuoteIdentifier(
        sqlitekit::CharacterIndex{FileStem(table.Path()), column}.Name());
    return IndexedCharacter{index, Rarest(table, index, characters)};
}

Where RowsHolding(const IndexedCharacter& found) {
    return {"rowid IN (SELECT ch_id FROM " + found.index + " WHERE ch = lower(?))",
            {found.character}};
}

}  // namespace

void PlanAnswer(View& view, int field, std::string_view pattern) {
    const std::string column = view.table->GetSchema().layout->fields[field].column;
    const auto found = FindIndexedCharacter(*view.table, column, pattern, true);
    if (!found) return;
    const std::string table = view.table->QuotedTable();
    const Order byValue = Order::ByKey(sqlitekit::QuoteIdentifier(column), gbk::kCollation, -1);
    if (view.order.key != byValue.key) return view.condition.And(RowsHolding(*found));
    // The index's rows of one character come in the answer's order: (value, record). The index
    // holds the whole value, so the pattern is tried on it before the table is read.
    view.source = found->index + " CROSS JOIN " + table + " ON " + table + ".rowid = ch_id";
    view.order.key = "ch_key";
    Where condition{"ch = lower(?) AND ch_key LIKE ?", {found->character, std::string(pattern)}};
    condition.And(view.condition);
    view.condition = std::move(condition);
}

std::optional<Where> CharacterNarrowing(TableFile& table, const std::string& column,
                                        std::string_view text, bool pattern) {
    const auto found = FindIndexedCharacter(table, column, text, pattern);
    if (!found) return std::nullopt;
    return RowsHolding(*found);
}

}  // namespace dbe
