// The shape of a filter: the text read into a tree of conditions whose constants are still text.
//
// The grammar, NOT binding tighter than AND and AND tighter than OR:
//   filter     := [ disjunction ]                       (nothing at all: every record passes)
//   disjunction:= conjunction { OR conjunction }
//   conjunction:= negation { AND negation }
//   negation   := { NOT } primary
//   primary    := '(' disjunction ')' | condition
//   condition  := value [ comparison value | LIKE value | IS [NOT] NULL ]
//               | name IN '(' value { ',' value } ')'
//   value      := name | quoted literal | number literal | NULL | TRUE | FALSE
//
// A name is looked up among the record set's fields when the reader takes it as a value, before
// it reads the token after it; names beyond the end of a complete filter are never looked up.
// Whether the values fit together (a field on one side, constants of the field's kind) is left
// to the typing that follows (filter_parser.h); the reader checks only the shape.
//
// The tree stays shallow whatever the text: runs of OR, of AND and the values of IN become
// balanced trees, a run of NOTs becomes one NOT or none, and parentheses nest at most
// kMaxFilterNesting deep. Reading takes time and memory in proportion to the text.
//
// Failures (EDatabaseError):
// - those of the tokenizer (filter_tokens.h);
// - a name that matches no field: "Field '%s' not found", with the record set's name in front;
// - a token where the grammar has no place for it, including the end of the text inside an
//   unfinished condition or before a missing ')', and anything after a complete filter:
//   "Filter expression incorrectly terminated" (the text stops being a filter at that token);
// - a '(' deeper than kMaxFilterNesting: "Invalid filter expression character: '('".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/filter_tokens.h"

class TDataSet;
class TField;

inline constexpr int kMaxFilterNesting = 256;

// One value of a condition.
struct TFilterValue {
    TFilterTokenKind kind = TFilterTokenKind::Null;  // Name, Text, Number, Null, True or False
    const TField* field = nullptr;                   // a Name's field
    std::string text;                                // a literal's text
};

// One node of the tree. The kinds are the engine's flt* codes, and kFilterValueAlone for a
// condition that is one value with nothing to compare it with.
inline constexpr std::uint16_t kFilterValueAlone = 0;
struct TFilterDraft {
    std::uint16_t kind = kFilterValueAlone;
    std::uint16_t op = 0;        // fltop* of fltCOMPARE
    int left = -1, right = -1;   // the operand drafts of fltAND, fltOR (both) and fltNOT (left)
    TFilterValue first, second;  // the values of a condition: first op second, first LIKE second
};

struct TFilterSyntax {
    // Every draft belongs to the tree; conditions stand in the order of the text.
    std::vector<TFilterDraft> drafts;
    int root = 0;
};

TFilterSyntax ReadFilterSyntax(std::string_view text, const TDataSet& dataSet);
