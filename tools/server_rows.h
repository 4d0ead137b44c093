// Rows in and out of the clinic's tables on a server in bulk: many rows into an empty table at
// once, inside the caller's transaction (demo, push), and every row of a table read in
// record-number order without holding them all (push, pull).
//
// Contracts:
// - ServerBulkTable's constructor drops the table's indexes other than its primary key, and its
//   name index (tools/server_schema.h), and starts a COPY into every described column
//   (base/clinic_tables.h), in their order. Finish() ends it, makes the indexes again from their
//   own definitions (one sort each instead of a descent a row) and the name index from the rows,
//   sets the identity sequence past the highest record number loaded and past `usedNumbers`, so
//   that no later insert takes a number twice, and gathers the planner's statistics. The table
//   keeps the indexes it had and has its name index.
// - Requires: a transaction block is open (a failure anywhere rolls all of it back) and the
//   table is in the current schema. While the load is open its connection runs nothing else.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/clinic_tables.h"
#include "engine/pgkit/copy_in.h"
#include "engine/pgkit/pg_connection.h"

namespace clinicdb {

class ServerBulkTable {
  public:
    ServerBulkTable(pgkit::Connection& connection, const clinic_tables::Table& table);

    pgkit::CopyIn& Copy() { return *copy_; }

    // Answers the rows loaded.
    std::int64_t Finish(std::int64_t usedNumbers = 0);

  private:
    struct Index {
        std::string name;
        std::string definition;
    };

    pgkit::Connection& connection_;
    const clinic_tables::Table& table_;
    std::string name_;  // the table's server name
    std::vector<Index> indexes_;
    std::optional<pgkit::CopyIn> copy_;
};

// The server's names of the table's described columns, in their order.
std::vector<std::string> ServerColumns(const clinic_tables::Table& table);

// SELECT of the table's described columns, in their order, from the table in the current schema.
std::string ServerSelect(const pgkit::Connection& connection, const clinic_tables::Table& table);

// Hands `take` the table's rows in record-number order, the described columns in their order,
// a batch (one Result) at a time, through a cursor. Requires: a transaction block is open.
using ServerRowBatch = std::function<void(const pgkit::Result& rows)>;
void ReadServerRows(pgkit::Connection& connection, const clinic_tables::Table& table,
                    const ServerRowBatch& take);

// The highest record number that the table's identity has handed out or been set past; 0 for
// none. The next new row gets a higher one.
std::int64_t ServerUsedNumbers(pgkit::Connection& connection, const clinic_tables::Table& table);

// A cell as a row digest or a table file takes it: nullopt for NULL.
std::optional<std::string_view> ServerValue(const pgkit::Result& rows, int row, int column);

}  // namespace clinicdb
