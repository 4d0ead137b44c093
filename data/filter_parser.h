// The filter language of the record sets: a filter text read into the engine's expression tree.
//
// What a text means (the tokens in filter_tokens.h, the grammar in filter_syntax.h):
// - An empty text, or one of only blanks and comments, is the empty filter: every record
//   passes (a single fltTRUE node).
// - A condition compares a field with a constant or another field; a constant on the left is
//   moved to the right with the operator mirrored ('a' < Xm is Xm > 'a'). TRUE and FALSE alone
//   are conditions; field IN (a, b) is field = a OR field = b.
// - A constant takes the kind of the field it is compared with:
//   - string fields: the literal's text as it is, never cut to the field's size (a longer
//     constant can equal no stored value, so such a comparison simply matches nothing). With
//     case-insensitive filtering, text comparisons (LIKE included) ignore case. With partial
//     compare allowed, `field = 'abc*'` compares only the first GBK bytes of 'abc'; a constant
//     longer than the engine can count (65535 bytes) is compared whole, which matches the same
//     records, none; `field = '*'` matches every record whose field is not null;
//   - integer fields (Smallint, Integer, AutoInc): a decimal integer with an optional sign,
//     from a number literal or a quoted text, in the 32-bit range; else EConvertError
//     "'%s' is not a valid integer value";
//   - date fields: the text read in the short date format and compared by day; a number
//     literal is read the same way, so with yyyy-M-d `Fzyysj =2026-12-9` works; else
//     EConvertError "'%s' is not a valid date";
//   - NULL: the engine's null constant, with any operator.
// - A memo field may only be tested with LIKE, IS NULL and IS NOT NULL. LIKE takes a string or
//   memo field on the left and a literal on the right. Two fields compare when their kinds are
//   both text, both integers or both dates.
// - Anything else that does not fit together (a memo compared, a field alone, two constants,
//   TRUE compared, fields of different kinds): "Type mismatch in expression".
//
// Failures come in the order of the text: first the tokens and the shape (filter_syntax.h,
// including "Field '%s' not found", the only message with the record set's name in front), then,
// once the whole text is read, the conditions in turn. Nothing else is thrown, apart from memory
// exhaustion and the GBK module's own failure on a system without a GB18030 converter.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/dbengine.h"

class TDataSet;

// A parsed filter: the engine's node array (root first, operands at larger indexes) and the
// texts its string constants point at. Operand fields that a node does not use are 0.
struct TFilterProgram {
    std::vector<DBIFilterNode> nodes;
    std::vector<std::unique_ptr<std::string>> texts;  // stable addresses for pszConst
};

// Parses a filter text against the fields of a record set; field->FieldNo() gives the engine
// field number, so the record set should be open. Throws as described above.
TFilterProgram ParseFilter(const std::string& text, const TDataSet& dataSet, bool caseInsensitive,
                           bool noPartialCompare);
