// A character index: for one text column of a table, each distinct key of each value mapped to
// the rows that hold it, ordered within a key by the value (in GBK order) and the record
// number. "Values containing t" is then answered by reading, in order, the rows of one key of
// t instead of scanning the table. The keys are the value's characters, or its pinyin keys
// (base/pinyin.h): each character's readings, and the initials of each run of two or three
// characters, so that every name whose pinyin runs as t holds a key that begins with one of
// t's key prefixes.
//
// It lives in the table's own file: the table <table>_<column>_chars (or _pinyin) with columns
// (ch, ch_key, ch_id), and three triggers that keep it in the same transaction as every insert,
// update and delete of the table, so that it never disagrees with the table, whoever writes.
//
// Contracts:
// - ASCII letters are indexed in lower case, as LIKE compares them; every other character as
//   it is. A value's first character is indexed only when ASCII: the column's own index, in
//   GBK order, holds the values that begin with any other as one range (gbk::PrefixEnd), and
//   leaving it out keeps a third of a name's entries out of the file. A value is indexed up to
//   `maxCharacters` characters (the column's declared size in GBK bytes bounds them).
// - The connections that write the table, or create the index, have the GBK collation and, for
//   pinyin keys, the function pinyin_keys (Connection::Open registers both).
// - Create() fills the index from the table's rows; Drop() removes it and its triggers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/sqlitekit/sqlite_support.h"

namespace sqlitekit {

struct CharacterIndex {
    enum class Keys { kCharacters, kPinyin };

    std::string table;
    std::string column;
    Keys keys = Keys::kCharacters;

    // <table>_<column>_chars or _pinyin, unquoted.
    std::string Name() const;

    void Create(const Connection& db, int maxCharacters) const;
    void Drop(const Connection& db) const;
    // The index's table and all three of its triggers are in the file.
    bool IsPresent(sqlite3* db) const;
    // Index entries without their row, plus characters of rows without their entry; 0 when
    // the index agrees with the table.
    std::int64_t Disagreements(sqlite3* db, int maxCharacters) const;

  private:
    std::string Expected(int maxCharacters) const;
};

}  // namespace sqlitekit
