#include "engine/pgkit/pg_result.h"

#include <charconv>
#include <stdexcept>
#include <string>

namespace pgkit {

namespace {

// True, with `value` set, when the whole of `text` is a number.
bool ParseInt(std::string_view text, std::int64_t& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && stop == end;
}

}  // namespace

void Result::CheckCell(int row, int column) const {
    if (row < 0 || row >= Rows() || column < 0 || column >= Columns()) {
        throw std::out_of_range("no cell at row " + std::to_string(row) + ", column " +
                                std::to_string(column));
    }
}

bool Result::IsNull(int row, int column) const {
    CheckCell(row, column);
    return PQgetisnull(result_.get(), row, column) == 1;
}

std::string_view Result::Text(int row, int column) const {
    CheckCell(row, column);
    return {PQgetvalue(result_.get(), row, column),
            static_cast<std::size_t>(PQgetlength(result_.get(), row, column))};
}

std::int64_t Result::Int(int row, int column) const {
    std::int64_t value = 0;
    if (IsNull(row, column) || !ParseInt(Text(row, column), value)) {
        throw Error(Failure::Other, "",
                    "the value at row " + std::to_string(row) + ", column " +
                        std::to_string(column) + " is no whole number");
    }
    return value;
}

std::int64_t Result::Affected() const {
    std::int64_t count = 0;
    return ParseInt(PQcmdTuples(result_.get()), count) ? count : 0;
}

Error FailureOf(PGconn* conn, const Result& result, bool outcomeUnknown) {
    const char* state = PQresultErrorField(result.Handle(), PG_DIAG_SQLSTATE);
    const char* primary = PQresultErrorField(result.Handle(), PG_DIAG_MESSAGE_PRIMARY);
    std::string message = MessageText(primary != nullptr ? primary : PQerrorMessage(conn));
    if (message.empty()) {
        message = std::string("unexpected answer: ") + PQresStatus(PQresultStatus(result.Handle()));
    }
    const std::string sqlState = state != nullptr ? state : "";
    const Failure kind =
        PQstatus(conn) == CONNECTION_BAD ? Failure::ConnectionLost : Classify(sqlState);
    return Error(kind, sqlState, message, outcomeUnknown);
}

}  // namespace pgkit
