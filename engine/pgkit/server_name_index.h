// A name index on a server: for one text column, the keys under which "values containing t"
// and "values whose pinyin runs as t" are found without reading the table, as a table file's
// character index has them (sqlitekit/character_index.h), kept by the server itself.
//
// - <table>_<column>_chars (ch, ch_id, ch_key): each distinct character of a value, ASCII
//   letters in lower case, the first character only when ASCII (the column's own index in GBK
//   order holds the values that begin with any other), up to `maxCharacters` characters; ch_key
//   is the value, and an index on (ch, gbk_key(ch_key), ch_id) reads a key's entries in the
//   values' order.
// - <table>_<column>_pinyin (ch, ch_id, ch_key, ch_readings): the value's pinyin keys
//   (base/pinyin.h Keys()); ch_readings is the value's reading text, which the letters'
//   pinyin_pattern() matches where pinyin_match() holds, so that an entry is tried without
//   reading the characters' readings again.
// - A row trigger <table>_<column>_index keeps both in the writing transaction, whoever writes.
// - Support, made by InstallPinyin(): dbengine_readings (ch, readings), each Han character's
//   readings as base/pinyin.h gives them, space-separated; dbengine_pinyin_keys(text) and
//   pinyin_match(name, typed), the server's own Keys() and Matches(), which read it;
//   dbengine_reading_text(name) and pinyin_pattern(typed), of which pinyin_match is made.
//
// Contracts callers rely on:
// - InstallPinyin() may run any number of times; it fills the readings only when they are
//   missing. CreateNameIndex() fills the index from the table's rows, in the caller's
//   transaction, so a bulk load is faster before it than under the trigger.
// - Characters outside the basic plane have no readings on the server.
#pragma once

#include <string>

#include "engine/pgkit/pg_connection.h"

namespace pgkit {

void InstallPinyin(Connection& connection);
// `table` and `column` are the server's names.
void CreateNameIndex(Connection& connection, const std::string& table, const std::string& column,
                     int maxCharacters);
// <table>_<column>_chars or _pinyin.
std::string NameIndexTable(const std::string& table, const std::string& column, bool pinyin);
// The columns of that table, in order.
std::string NameIndexColumns(bool pinyin);
// A SELECT of the entries that `value` gives that table, for each row of `rows` (a FROM item;
// empty for a trigger's one row), in its columns' order; `id` is the row's record number. What
// CreateNameIndex() fills the table with, and what a check compares it with.
std::string NameIndexEntries(const std::string& rows, const std::string& id,
                             const std::string& value, int maxCharacters, bool pinyin);

}  // namespace pgkit
