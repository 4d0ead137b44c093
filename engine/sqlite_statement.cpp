#include "engine/sqlite_statement.h"

namespace dbe {

ColumnKind SqliteStatement::Kind(int column) const {
    switch (statement_.ColumnType(column)) {
        case SQLITE_NULL:
            return ColumnKind::kNull;
        case SQLITE_INTEGER:
            return ColumnKind::kInteger;
        case SQLITE_FLOAT:
            return ColumnKind::kReal;
        default:
            return ColumnKind::kText;
    }
}

}  // namespace dbe
