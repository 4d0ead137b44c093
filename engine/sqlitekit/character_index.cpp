#include "engine/sqlitekit/character_index.h"

#include <array>

namespace sqlitekit {
namespace {

constexpr std::array<std::string_view, 3> kTriggerSuffixes = {"_insert", "_update", "_delete"};

// The character positions 1..n as a one-column source (`column1`): triggers allow no WITH.
std::string Positions(int n) {
    std::string values = "(VALUES (1)";
    for (int i = 2; i <= n; ++i) values.append(",(").append(std::to_string(i)).append(")");
    return values + ")";
}

// How the keys of a value (an SQL expression) are read: the key, the source to join, the
// condition on it.
struct KeySource {
    std::string key, from, where;
};

KeySource KeysOf(CharacterIndex::Keys keys, const std::string& value, int maxCharacters) {
    if (keys == CharacterIndex::Keys::kPinyin)
        return {"value", "json_each(" + std::string(kPinyinKeysFunction) + "(" + value + "))", "1"};
    return {"lower(substr(" + value + ", column1, 1))", Positions(maxCharacters),
            "column1 <= length(" + value + ") AND (column1 > 1 OR unicode(" + value + ") < 128)"};
}

// The distinct keys of `value`, as column `ch`.
std::string KeysSelect(const KeySource& keys) {
    return "SELECT DISTINCT " + keys.key + " AS ch FROM " + keys.from + " WHERE " + keys.where;
}

}  // namespace

std::string CharacterIndex::Name() const {
    return table + "_" + column + (keys == Keys::kPinyin ? "_pinyin" : "_chars");
}

// Every (key, value, record) of the table's rows, as the index holds them.
std::string CharacterIndex::Expected(int maxCharacters) const {
    const std::string c = "t." + QuoteIdentifier(column);
    const KeySource source = KeysOf(keys, c, maxCharacters);
    return "SELECT DISTINCT " + source.key + " AS ch, " + c + " AS ch_key, t.rowid AS ch_id FROM " +
           QuoteIdentifier(table) + " AS t, " + source.from + " WHERE " + source.where;
}

void CharacterIndex::Create(const Connection& db, int maxCharacters) const {
    const std::string index = QuoteIdentifier(Name());
    const std::string t = QuoteIdentifier(table);
    const std::string c = QuoteIdentifier(column);
    const auto trigger = [&](std::string_view suffix) {
        return QuoteIdentifier(Name() + std::string(suffix));
    };
    const auto keysOf = [&](const std::string& row) {
        return KeysSelect(KeysOf(keys, row + "." + c, maxCharacters));
    };
    const auto add = [&](const std::string& row) {
        return "INSERT OR IGNORE INTO " + index + " SELECT keys.ch, " + row + "." + c + ", " + row +
               ".rowid FROM (" + keysOf(row) + ") AS keys;";
    };
    const auto remove = [&](const std::string& row) {
        return "DELETE FROM " + index + " WHERE ch IN (" + keysOf(row) + ") AND ch_key = " + row +
               "." + c + " AND ch_id = " + row + ".rowid;";
    };
    db.Exec("CREATE TABLE " + index +
            " (ch TEXT NOT NULL, ch_key TEXT NOT NULL COLLATE GBK, ch_id INTEGER NOT NULL, "
            "PRIMARY KEY (ch, ch_key, ch_id)) WITHOUT ROWID");
    db.Exec("INSERT INTO " + index + " " + Expected(maxCharacters) + " ORDER BY 1, 2, 3");
    db.Exec("CREATE TRIGGER " + trigger("_insert") + " AFTER INSERT ON " + t + " BEGIN " +
            add("NEW") + " END");
    db.Exec("CREATE TRIGGER " + trigger("_update") + " AFTER UPDATE ON " + t + " WHEN OLD." + c +
            " IS NOT NEW." + c + " OR OLD.rowid <> NEW.rowid BEGIN " + remove("OLD") + add("NEW") +
            " END");
    db.Exec("CREATE TRIGGER " + trigger("_delete") + " AFTER DELETE ON " + t + " BEGIN " +
            remove("OLD") + " END");
}

void CharacterIndex::Drop(const Connection& db) const {
    for (std::string_view suffix : kTriggerSuffixes)
        db.Exec("DROP TRIGGER IF EXISTS " + QuoteIdentifier(Name() + std::string(suffix)));
    db.Exec("DROP TABLE IF EXISTS " + QuoteIdentifier(Name()));
}

bool CharacterIndex::IsPresent(sqlite3* db) const {
    Statement count(
        db,
        "SELECT count(*) FROM sqlite_schema WHERE (type = 'table' AND name = ?1 COLLATE NOCASE) "
        "OR (type = 'trigger' AND tbl_name = ?2 COLLATE NOCASE AND "
        "name COLLATE NOCASE IN (?3, ?4, ?5))");
    count.BindText(1, Name());
    count.BindText(2, table);
    for (int i = 0; i < 3; ++i) count.BindText(3 + i, Name() + std::string(kTriggerSuffixes[i]));
    count.Step();
    return count.ColumnInt(0) == 4;
}

std::int64_t CharacterIndex::Disagreements(sqlite3* db, int maxCharacters) const {
    const std::string expected = Expected(maxCharacters);
    const std::string stored = "SELECT ch, ch_key, ch_id FROM " + QuoteIdentifier(Name());
    Statement count(db, "SELECT (SELECT count(*) FROM (" + expected + " EXCEPT " + stored +
                            ")) + (SELECT count(*) FROM (" + stored + " EXCEPT " + expected + "))");
    count.Step();
    return count.ColumnInt(0);
}

}  // namespace sqlitekit
