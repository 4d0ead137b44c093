#include "engine/pgkit/copy_in.h"

#include "engine/pgkit/server_layout.h"

namespace pgkit {

namespace {

// Large enough that a round of sending costs little beside the rows, small enough to stay in
// the caches.
constexpr std::size_t kBatchBytes = 256 * 1024;

Error SessionFailure(PGconn* conn) {
    const Failure kind =
        PQstatus(conn) == CONNECTION_BAD ? Failure::ConnectionLost : Failure::Other;
    return Error(kind, "", MessageText(PQerrorMessage(conn)));
}

// The characters that COPY's text format reads as something else unless escaped.
const char* Escape(char c) {
    switch (c) {
        case '\\':
            return "\\\\";
        case '\b':
            return "\\b";
        case '\f':
            return "\\f";
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\t':
            return "\\t";
        case '\v':
            return "\\v";
        default:
            return nullptr;
    }
}

}  // namespace

CopyIn::CopyIn(Connection& connection, std::string_view table,
               const std::vector<std::string>& columns)
    : connection_(connection), columns_(columns.size()) {
    PGconn* conn = connection_.Handle();
    if (PQstatus(conn) != CONNECTION_OK) {
        throw Error(Failure::ConnectionLost, "", "no connection to the server");
    }
    std::string sql = "COPY " + QuoteIdentifier(connection_, table) + " (";
    for (const std::string& column : columns) {
        sql += (&column == &columns.front() ? "" : ", ") + QuoteIdentifier(connection_, column);
    }
    sql += ") FROM STDIN";
    const Result started(PQexec(conn, sql.c_str()));
    if (PQresultStatus(started.Handle()) != PGRES_COPY_IN) {
        open_ = false;
        throw FailureOf(conn, started);
    }
    buffer_.reserve(kBatchBytes + kBatchBytes / 4);
}

CopyIn::~CopyIn() {
    if (!open_) return;
    PGconn* conn = connection_.Handle();
    if (PQputCopyEnd(conn, "the copy was abandoned") == 1) {
        while (PGresult* result = PQgetResult(conn)) PQclear(result);
    }
}

void CopyIn::Add(std::optional<std::string_view> value) {
    if (added_++ != 0) buffer_ += '\t';
    if (!value) {
        buffer_ += "\\N";
        return;
    }
    if (value->find('\0') != std::string_view::npos) {
        throw Error(Failure::Other, "",
                    "a text value holds a NUL character, which the server cannot store");
    }
    std::size_t plain = 0;  // the start of the characters not yet appended
    for (std::size_t i = 0; i < value->size(); ++i) {
        if (const char* escaped = Escape((*value)[i])) {
            buffer_.append(*value, plain, i - plain).append(escaped);
            plain = i + 1;
        }
    }
    buffer_.append(*value, plain);
}

void CopyIn::EndRow() {
    if (added_ != columns_) {
        throw Error(Failure::Other, "",
                    "a row of " + std::to_string(added_) + " values for " +
                        std::to_string(columns_) + " columns");
    }
    buffer_ += '\n';
    added_ = 0;
    if (buffer_.size() >= kBatchBytes) Flush();
}

void CopyIn::Flush() {
    if (buffer_.empty()) return;
    if (PQputCopyData(connection_.Handle(), buffer_.data(), static_cast<int>(buffer_.size())) !=
        1) {
        throw SessionFailure(connection_.Handle());
    }
    buffer_.clear();
}

std::int64_t CopyIn::Finish() {
    if (added_ != 0) throw Error(Failure::Other, "", "the last row of the copy is not ended");
    Flush();
    open_ = false;
    PGconn* conn = connection_.Handle();
    if (PQputCopyEnd(conn, nullptr) != 1) throw SessionFailure(conn);
    const Result finished(PQgetResult(conn));
    // A COPY answers one result; reading on to the end readies the session for what follows.
    while (PGresult* more = PQgetResult(conn)) PQclear(more);
    if (PQresultStatus(finished.Handle()) != PGRES_COMMAND_OK) throw FailureOf(conn, finished);
    return finished.Affected();
}

}  // namespace pgkit
