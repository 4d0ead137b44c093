// The engine's query dialect, parsed into its parts:
//
//   SELECT field [, field ...] FROM table[.ext]
//   [WHERE field LIKE 'literal' | WHERE field LIKE field | WHERE field PINYIN 'letters']
//   [ORDER BY field [, field ...]]
//
// PINYIN selects the values whose characters' pinyin runs as the letters: initials, whole
// syllables or a mix, from any character (base/pinyin.h).
//
// Keywords in any case; line breaks are blanks; a literal is between single quotes, a doubled
// quote standing for one. Contracts: ParseQuery() accepts exactly this and throws
// DBIERR_QRYSYNTAX otherwise, with an entry saying what was expected and where. It checks no
// names; the literal is returned as a value to bind, never as SQL text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dbe {

struct LikeCondition {
    std::string field;
    bool pinyin = false;  // PINYIN instead of LIKE; always with a literal
    // Either a literal pattern or a second field.
    std::optional<std::string> literal;
    std::string otherField;
};

struct ParsedQuery {
    std::vector<std::string> fields;
    std::string table;
    std::optional<LikeCondition> where;
    std::vector<std::string> orderBy;
};

ParsedQuery ParseQuery(std::string_view text);

}  // namespace dbe
