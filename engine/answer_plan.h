// How a query's answer is read. A condition `field LIKE 'pattern'` on a field that a character
// index answers (sqlitekit/character_index.h) reads the rows holding the pattern's rarest
// character instead of the whole table: the index's rows of it, joined to the table, and where
// the character may be a value's first, the values that begin with it (a range of the field's
// own index). Where the query orders by that field the two are merged in that order,
// otherwise they are a set of record numbers. The LIKE condition itself always stays, so the
// answer holds exactly the rows, in exactly the order, of a scan.
//
// Contracts:
// - A pattern of wildcards only, a condition between two fields, or a field without a complete
//   character index leaves the view as it is (read by scanning).
// - Characters are compared as LIKE compares them: ASCII letters without regard to case.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/cursor.h"

namespace dbe {

// `field` is the LIKE's field in the table's layout; `pattern` its literal.
void PlanAnswer(View& view, int field, std::string_view pattern);

// The same for `field PINYIN 'letters'`, through the column's index of pinyin keys: every
// match holds a key that begins with one of the letters' key prefixes
// (pinyin::SearchKeyPrefixes, which the index's own readings tell which pieces can be read).
// The rows of those keys are merged in name order, the letters tried on each entry's copy of
// the name in place of the condition. Without such an index the view scans.
void PlanPinyin(View& view, int field, std::string_view letters);

// The rows of `table` whose `column` holds every character of `text` (LIKE's wildcards aside
// when `pattern`), through the column's character index: a condition on rowid. nullopt when
// the column has no complete character index or `text` no such character.
std::optional<Where> CharacterNarrowing(Store& table, const std::string& column,
                                        std::string_view text, bool pattern);

}  // namespace dbe
