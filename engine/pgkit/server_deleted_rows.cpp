#include "engine/pgkit/server_deleted_rows.h"

#include "engine/pgkit/server_layout.h"

namespace pgkit {

namespace {

std::string Trigger(const ServerDeletedRows& rows) {
    return rows.Name() + "_keep";
}

// The table's columns, quoted and separated by commas, in their order.
std::string ColumnList(Connection& connection, const std::string& table) {
    return std::string(
        connection
            .Query("SELECT string_agg(quote_ident(attname), ', ' ORDER BY attnum) FROM "
                   "pg_attribute WHERE attrelid = to_regclass(quote_ident($1)) AND attnum > 0 "
                   "AND NOT attisdropped",
                   {table})
            .Text(0, 0));
}

}  // namespace

std::string ServerDeletedRows::Name() const {
    return table + "_deleted";
}

void ServerDeletedRows::Create(Connection& connection) const {
    const std::string t = QuoteIdentifier(connection, table);
    const std::string deleted = QuoteIdentifier(connection, Name());
    const std::string keep = QuoteIdentifier(connection, Trigger(*this));
    // The time of the statement, as SQLite's 'now' is: a transaction's deletes differ in it.
    connection.Exec("CREATE TABLE " + deleted +
                    " (deleted_rowid bigint NOT NULL, deleted_at text NOT NULL, LIKE " + t +
                    ");\nCREATE FUNCTION " + keep +
                    "() RETURNS trigger LANGUAGE plpgsql SET search_path FROM CURRENT AS $$\n"
                    "BEGIN\n    INSERT INTO " +
                    deleted +
                    " SELECT OLD.id, to_char(statement_timestamp(), "
                    "'YYYY-MM-DD HH24:MI:SS.MS'), OLD.*;\n    RETURN NULL;\nEND $$;\n"
                    "CREATE TRIGGER " +
                    keep + " AFTER DELETE ON " + t + " FOR EACH ROW EXECUTE FUNCTION " + keep +
                    "()");
}

bool ServerDeletedRows::IsPresent(Connection& connection) const {
    return connection
               .Query(
                   "SELECT to_regclass(quote_ident($1)) IS NOT NULL AND EXISTS (SELECT 1 FROM "
                   "pg_trigger WHERE tgrelid = to_regclass(quote_ident($2)) AND tgname = $3)",
                   {Name(), table, Trigger(*this)})
               .Text(0, 0) == "t";
}

ServerDeletedRows::Undone ServerDeletedRows::Undelete(Connection& connection,
                                                      std::int64_t rowid) const {
    const std::string t = QuoteIdentifier(connection, table);
    const std::string deleted = QuoteIdentifier(connection, Name());
    const std::string id = std::to_string(rowid);
    Transaction transaction(connection);
    if (connection.Query("SELECT 1 FROM " + t + " WHERE id = $1", {id}).Rows() != 0)
        return Undone::kNumberTaken;
    const Result latest = connection.Query("SELECT ctid FROM " + deleted +
                                               " WHERE deleted_rowid = $1 ORDER BY deleted_at "
                                               "DESC LIMIT 1 FOR UPDATE",
                                           {id});
    if (latest.Rows() == 0) return Undone::kNeverDeleted;
    const std::string entry(latest.Text(0, 0));
    const std::string columns = ColumnList(connection, table);
    connection.Query("INSERT INTO " + t + " (" + columns + ") OVERRIDING SYSTEM VALUE SELECT " +
                         columns + " FROM " + deleted + " WHERE ctid = $1::tid",
                     {entry});
    connection.Query("DELETE FROM " + deleted + " WHERE ctid = $1::tid", {entry});
    transaction.Commit();
    return Undone::kRestored;
}

}  // namespace pgkit
