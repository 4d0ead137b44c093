// The clinic's two tables, described once: patients (bingren) and their visits (bingli). Each
// column's name, kind, size and display label, and each table's indexes. The tool makes the
// table files from this description, the data layer declares the record sets' fields from it,
// and the demo loader and the tests fill and make files by it; adding a column means adding it
// here (and to the windows that show it).
//
// Contracts:
// - Columns are listed in the order of the files' columns; the first is the record number Id.
// - The index statements need the GBK collation registered on the connection that runs them.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace clinic_tables {

enum class ColumnKind { AutoInc, String, Smallint, Integer, Date, Memo };

struct Column {
    std::string_view name;
    ColumnKind kind;
    int size;                // GBK bytes of a string or memo; 0 for the other kinds
    std::string_view label;  // the display label of the column's fields
};

// An index on one key column, its rows of equal keys in record-number order.
struct Index {
    std::string_view name;
    std::string_view createSql;  // in a table file
    bool required;  // the program opens the table by it; the others only make it faster
    std::string_view column;
    std::string_view collation;  // "GBK", or "" for the column's own order
};

struct Table {
    std::string_view name;  // the table and its file's stem
    std::span<const Column> columns;
    std::span<const Index> indexes;
    // The column indexed by its characters and by its pinyin, so that "names containing t" and
    // "names whose pinyin runs as t" need no scan; empty for none.
    std::string_view characterIndexed;

    // The column named `name`; throws std::out_of_range for a name the table lacks.
    const Column& ColumnNamed(std::string_view name) const;
};

const Table& Patients();
const Table& Visits();
// Both tables, patients first.
std::span<const Table* const> All();

// The column's declared kind in a table file: VARCHAR(8), SMALLINT, DATE, TEXT(200), ...
std::string DeclaredKind(const Column& column);
// CREATE TABLE for the table's columns, without its indexes.
std::string CreateTableSql(const Table& table);
// INSERT of every column, the values bound as ?1, ?2, ... in the columns' order.
std::string InsertSql(const Table& table);

}  // namespace clinic_tables
