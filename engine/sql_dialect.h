// How a store's SQL compares texts in a collation, and reads a name index: the points where the
// engine's statements differ between the table files and the server.
//
// The engine writes one SQL for both storages: quoted identifiers, `?` placeholders, `rowid`
// for the record number. Only a comparison in a collation other than byte order is spelled by
// the store: a table file names the collation that SQLite has registered (`"Xm" COLLATE
// "GBK"`); the server compares the expression's GB18030 bytes through the function that its
// indexes are built on (`gbk_key("xm")`), whose byte order is GBK's.
//
// Contracts:
// - Collated() gives the key that an order sorts and compares by, CollatedOperand() the value it
//   is compared with; both are `expr` itself for "" and "BINARY".
// - Neither places a value in SQL text.
#pragma once

#include <string>
#include <utility>

namespace dbe {

class SqlDialect {
  public:
    virtual ~SqlDialect() = default;

    virtual std::string Collated(const std::string& expr, const std::string& collation) const = 0;
    virtual std::string CollatedOperand(const std::string& expr,
                                        const std::string& collation) const = 0;

    // The values of `column` that begin with a prefix in GBK order: a condition with two
    // placeholders, the prefix and PrefixBound(prefix).
    virtual std::string BeginningWith(const std::string& column) const = 0;
    virtual std::string PrefixBound(const std::string& prefix) const = 0;

    // A view that reads a character index's rows as arms (cursor.h) orders them by the arms'
    // key column `ch_key`, which holds the value: ArmKey() is that order's key. KeyedRows()
    // is where a table's rows have `column` as ch_key, and what an arm selects as its key.
    virtual std::string ArmKey() const = 0;
    virtual std::pair<std::string, std::string> KeyedRows(const std::string& table,
                                                          const std::string& column) const = 0;
    // Whether each arm is read with a limit of its own before they are merged: a planner that
    // cannot merge a union's ordered arms sorts all their rows otherwise.
    virtual bool LimitsEachArm() const = 0;
    // Whether an entry of a pinyin index (answer_plan.h) holds a name that the letters match:
    // a condition with one placeholder, the letters.
    virtual std::string PinyinEntryTest() const = 0;

    // True for byte order: no collation to spell.
    static bool IsBytes(const std::string& collation);
};

// A table file's: the left operand's collation decides a comparison.
const SqlDialect& SqliteDialect();
// The server's: both operands go through the collation's key function.
const SqlDialect& ServerDialect();

}  // namespace dbe
