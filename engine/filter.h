// Filters: an expression tree of DBIFilterNode (dbengine.h), checked against a cursor's fields
// and translated into one SQL condition over the table's columns, which the cursor ANDs with
// its range and its view's condition in every statement it runs.
//
// Contracts:
// - TranslateFilter() reads the nodes, and the texts they point at, only while it runs; the
//   Where it answers owns everything it needs.
// - The answer's text is one SQL term (parenthesized, or a bare TRUE or FALSE), safe to join
//   with AND. It holds only quoted column names of `layout`, operators, placeholders, the GBK
//   collation as `dialect` spells it and the functions that RegisterFilterFunctions() adds;
//   every constant, and every partial length, is in `binds`, in placeholder order.
// - A tree that breaks the rules of dbengine.h throws DBIERR_INVALIDPARAM with an entry naming
//   the node and what is wrong with it; nothing else is thrown.
// - Every connection that runs a translated condition has had RegisterFilterFunctions().
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "engine/dbengine.h"
#include "engine/order.h"
#include "engine/schema.h"
#include "engine/sql_dialect.h"

namespace dbe {

// The largest trees accepted. SQLite's parser nests parentheses only about 25 deep, so a run
// of one operator (a AND b AND c) is written without them and counts as one level. SQLite
// also bounds the depth of an expression (1000 by default), which each AND or OR of a run
// deepens by one: the node count keeps that depth near half of it.
inline constexpr std::uint32_t kMaxFilterDepth = 20;
inline constexpr std::uint32_t kMaxFilterNodes = 1024;

// Narrowing of a text test: the rows whose `field` holds every character of `text` (LIKE's
// wildcards aside when `pattern`), as a condition the table answers without scanning; nullopt
// where it cannot. Equality and LIKE tests are ANDed with it: the answer stays the same.
using Narrowing =
    std::function<std::optional<Where>(const Field& field, std::string_view text, bool pattern)>;

Where TranslateFilter(const Layout& layout, const DBIFilterNode* nodes, std::uint32_t count,
                      const SqlDialect& dialect, const Narrowing& narrow = {});

// The SQL function pinyin_match(text, letters): 1 where the letters run through the text's
// pinyin (pinyin::Matches), 0 otherwise and for null.
inline constexpr const char* kPinyinFunction = "pinyin_match";

// Adds gbk_prefix(text, n): the first n GBK bytes of text, cut at a character boundary (null
// for null), and pinyin_match. Throws sqlitekit::Error when SQLite refuses.
void RegisterFilterFunctions(sqlite3* db);

}  // namespace dbe
