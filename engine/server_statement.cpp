#include "engine/server_statement.h"

#include <cstdio>
#include <cstdlib>

#include "engine/server_table.h"

namespace dbe {

namespace {

// The server's type oids (pg_type.h) of the answers the engine reads as numbers.
constexpr Oid kInt8 = 20, kInt2 = 21, kInt4 = 23, kFloat4 = 700, kFloat8 = 701, kNumeric = 1700;

}  // namespace

void ServerStatement::Bind(int index, pgkit::Connection::Param value) {
    if (params_.size() < static_cast<std::size_t>(index)) params_.resize(index);
    params_[index - 1] = std::move(value);
}

void ServerStatement::BindDouble(int index, double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    Bind(index, std::string(text));
}

bool ServerStatement::Step() {
    if (!ran_) {
        result_ = table_.Run(sql_, params_);
        ran_ = true;
    }
    return ++row_ < result_.Rows();
}

void ServerStatement::Reset() {
    params_.clear();
    result_ = pgkit::Result();
    ran_ = false;
    row_ = -1;
}

ColumnKind ServerStatement::Kind(int column) const {
    if (result_.IsNull(row_, column)) return ColumnKind::kNull;
    switch (PQftype(result_.Handle(), column)) {
        case kInt2:
        case kInt4:
        case kInt8:
            return ColumnKind::kInteger;
        case kFloat4:
        case kFloat8:
        case kNumeric:
            return ColumnKind::kReal;
        default:
            return ColumnKind::kText;
    }
}

double ServerStatement::ColumnDouble(int column) const {
    return std::strtod(std::string(result_.Text(row_, column)).c_str(), nullptr);
}

}  // namespace dbe
