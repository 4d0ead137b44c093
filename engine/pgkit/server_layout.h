// How the engine keeps a table on a PostgreSQL server: what `clinicdb create` makes there and
// what the engine's server storage reads back. One schema (the first of the session's
// search_path) holds one database directory's tables.
//
// - A column's server name is its declared name in lower case, so that plain SQL reaches it
//   unquoted; its comment is its definition as a table file declares it ("Xm VARCHAR(8)"),
//   from which the engine takes the field's name, kind and size. Texts and memos are `text`
//   (the engine bounds them in GBK bytes), dates `date`, the record number an identity column
//   `id` that never hands out a number twice, 64 bits wide as the engine's record numbers are.
// - An index has the record number as its last key column, so that it orders rows of equal
//   keys as the engine steps them. A key in GBK order is indexed through gbk_key(), which gives
//   a text's GB18030 bytes: their byte order is GBK's.
// - The support objects: gbk_key(text), gbk_prefix(text, bytes) (the first bytes of a text in
//   GBK, cut at a character boundary), and the table dbengine_changes (table name, number of
//   changes) that a statement trigger on every table bumps in the writing transaction, so that a
//   seat can tell whether its cached counts still hold with one cheap read.
//
// Contracts callers rely on:
// - InstallSupport() may run any number of times, from several sessions at once.
// - CreateTable() makes the table, its comments, trigger and indexes in the caller's
//   transaction; a table of that name already there fails with UniqueViolation or
//   DuplicateTable (pgkit::Error).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/pgkit/pg_connection.h"

namespace pgkit {

struct DeclaredColumn {
    std::string name;  // as declared: "Xm"
    std::string kind;  // as declared: "VARCHAR(8)", "INTEGER PRIMARY KEY AUTOINCREMENT"
};

// An index on one key column (in `collation`: "GBK", "NOCASE", or "" for byte order) followed
// by the record number.
struct DeclaredIndex {
    std::string name;
    std::string column;
    std::string collation;
};

// The server's name of a declared column or table: lower case.
std::string ServerName(std::string_view declared);

void InstallSupport(Connection& connection);
void CreateTable(Connection& connection, const std::string& table,
                 const std::vector<DeclaredColumn>& columns,
                 const std::vector<DeclaredIndex>& indexes);

// `text` as a string constant, as the session's libpq quotes it, for statements that take no
// parameters (COMMENT).
std::string QuoteLiteral(const Connection& connection, std::string_view text);
std::string QuoteIdentifier(const Connection& connection, std::string_view name);

}  // namespace pgkit
