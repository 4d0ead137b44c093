#include "engine/sqlitekit/deleted_rows.h"

#include <vector>

namespace sqlitekit {
namespace {

struct Columns {
    std::vector<std::string> names;  // quoted
    bool rowidNamed = false;         // one of them is the rowid (INTEGER PRIMARY KEY)
};

Columns ColumnsOf(sqlite3* db, const std::string& table) {
    Statement info(db,
                   "SELECT name, type, pk, (SELECT count(*) FROM pragma_table_info(?1) "
                   "WHERE pk > 0) FROM pragma_table_info(?1)");
    info.BindText(1, table);
    Columns columns;
    while (info.Step()) {
        columns.names.push_back(QuoteIdentifier(info.ColumnText(0)));
        if (info.ColumnInt(2) == 1 && info.ColumnInt(3) == 1 && info.ColumnText(1) == "INTEGER")
            columns.rowidNamed = true;
    }
    return columns;
}

std::string Joined(const std::vector<std::string>& names, const std::string& prefix) {
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + prefix + name;
    return list;
}

std::string Trigger(const DeletedRows& rows) {
    return QuoteIdentifier(rows.Name() + "_keep");
}

}  // namespace

std::string DeletedRows::Name() const {
    return table + "_deleted";
}

void DeletedRows::Create(const Connection& db) const {
    const Columns columns = ColumnsOf(db.Handle(), table);
    const std::string deleted = QuoteIdentifier(Name());
    db.Exec("CREATE TABLE " + deleted + " (deleted_rowid INTEGER NOT NULL, deleted_at TEXT NOT " +
            "NULL, " + Joined(columns.names, "") + ")");
    db.Exec("CREATE TRIGGER " + Trigger(*this) + " AFTER DELETE ON " + QuoteIdentifier(table) +
            " BEGIN INSERT INTO " + deleted +
            " VALUES (OLD.rowid, strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime'), " +
            Joined(columns.names, "OLD.") + "); END");
}

void DeletedRows::Drop(const Connection& db) const {
    db.Exec("DROP TRIGGER IF EXISTS " + Trigger(*this));
    db.Exec("DROP TABLE IF EXISTS " + QuoteIdentifier(Name()));
}

bool DeletedRows::IsPresent(sqlite3* db) const {
    Statement count(db,
                    "SELECT count(*) FROM sqlite_schema WHERE (type = 'table' AND name = ?1 "
                    "COLLATE NOCASE) OR (type = 'trigger' AND name = ?2 COLLATE NOCASE AND "
                    "tbl_name = ?3 COLLATE NOCASE)");
    count.BindText(1, Name());
    count.BindText(2, Name() + "_keep");
    count.BindText(3, table);
    count.Step();
    return count.ColumnInt(0) == 2;
}

DeletedRows::Undone DeletedRows::Undelete(const Connection& db, std::int64_t rowid) const {
    const std::string t = QuoteIdentifier(table), deleted = QuoteIdentifier(Name());
    Transaction transaction(db);
    Statement taken(db.Handle(), "SELECT 1 FROM " + t + " WHERE rowid = ?");
    taken.BindInt(1, rowid);
    if (taken.Step()) return Undone::kNumberTaken;
    Statement latest(db.Handle(), "SELECT rowid FROM " + deleted +
                                      " WHERE deleted_rowid = ? ORDER BY deleted_at DESC, "
                                      "rowid DESC LIMIT 1");
    latest.BindInt(1, rowid);
    if (!latest.Step()) return Undone::kNeverDeleted;
    const std::int64_t entry = latest.ColumnInt(0);
    latest.Reset();
    const Columns columns = ColumnsOf(db.Handle(), table);
    const std::string list = Joined(columns.names, "");
    const std::string rowidColumn = columns.rowidNamed ? "" : "rowid, ";
    const std::string rowidValue = columns.rowidNamed ? "" : "deleted_rowid, ";
    Statement restore(db.Handle(), "INSERT INTO " + t + " (" + rowidColumn + list + ") SELECT " +
                                       rowidValue + list + " FROM " + deleted + " WHERE rowid = ?");
    restore.BindInt(1, entry);
    restore.Step();
    Statement forget(db.Handle(), "DELETE FROM " + deleted + " WHERE rowid = ?");
    forget.BindInt(1, entry);
    forget.Step();
    transaction.Commit();
    return Undone::kRestored;
}

}  // namespace sqlitekit
