// A record set of its own over the rows that a window's table shows, for reading them all
// without moving the window's table: its current record, its state and its views stay as they
// are, and nothing is sent to them.
#pragma once

#include <memory>

#include "data/table.h"

// A closed table over the same database, table file and index as `shown`, with its filter text,
// options and switch. Its fields are the stored columns, by their names. The master link is not
// copied: a detail's twin sees every record of the table until it is given a filter of its own.
std::unique_ptr<TTable> TwinOf(const TTable& shown);
