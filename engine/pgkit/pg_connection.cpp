#include "engine/pgkit/pg_connection.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <utility>

namespace pgkit {

namespace {

using Clock = std::chrono::steady_clock;
using PollFunction = PostgresPollingStatusType (*)(PGconn*);

void IgnoreNotice(void*, const char*) {}

bool IsSqlState(std::string_view text) {
    return text.size() == 5 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
           });
}

// A refused login as libpq words it in verbose mode ("... failed: FATAL:  28P01: password
// authentication failed for user ...\nLOCATION:  ..."): the SQLSTATE, "" when the server sent
// none, and the message without it and without the lines on where in the server it arose.
std::pair<std::string, std::string> SplitLoginMessage(const std::string& text) {
    for (std::size_t at = text.find(":  "); at != std::string::npos;
         at = text.find(":  ", at + 1)) {
        const std::size_t state = at + 3;
        if (IsSqlState(std::string_view(text).substr(state, 5)) &&
            text.compare(state + 5, 2, ": ") == 0) {
            const std::size_t rest = state + 7;
            return {text.substr(state, 5),
                    text.substr(0, state) + text.substr(rest, text.find('\n', rest) - rest)};
        }
    }
    return {"", text};
}

Error LoginFailure(PGconn* conn) {
    const std::string text = MessageText(PQerrorMessage(conn));
    if (PQconnectionNeedsPassword(conn) == 1) return Error(Failure::PasswordNeeded, "", text);
    auto [state, message] = SplitLoginMessage(text);
    const Failure kind = state.empty() ? Failure::ConnectionLost : Classify(state);
    return Error(kind, std::move(state), message);
}

// When the attempt must have ended, as connect_timeout says and libpq reads it: never for zero
// or less, at least two seconds.
std::optional<Clock::time_point> ConnectDeadline(PGconn* conn) {
    const ConninfoOptions options(PQconninfo(conn));
    const int seconds = std::atoi(OptionValue(options, "connect_timeout").c_str());
    if (seconds <= 0) return std::nullopt;
    return Clock::now() + std::chrono::seconds(std::max(seconds, 2));
}

// Waits until the socket is ready as `state` asks; false when `deadline` came first. A failed
// wait counts as ready: libpq finds out what went wrong.
bool WaitForSocket(PGconn* conn, PostgresPollingStatusType state,
                   std::optional<Clock::time_point> deadline) {
    pollfd fd{PQsocket(conn), static_cast<short>(state == PGRES_POLLING_READING ? POLLIN : POLLOUT),
              0};
    for (;;) {
        int wait = -1;
        if (deadline) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
            wait = static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
        }
        const int ready = ::poll(&fd, 1, wait);
        if (ready == 0) return false;
        if (ready > 0 || errno != EINTR) return true;
    }
}

// Drives a started attempt to its end: the failure, if it failed.
std::optional<Error> Complete(PGconn* conn, PollFunction poll) {
    const std::optional<Clock::time_point> deadline = ConnectDeadline(conn);
    PostgresPollingStatusType state =
        PQstatus(conn) == CONNECTION_BAD ? PGRES_POLLING_FAILED : PGRES_POLLING_WRITING;
    while (state == PGRES_POLLING_READING || state == PGRES_POLLING_WRITING) {
        if (!WaitForSocket(conn, state, deadline)) {
            return Error(Failure::ConnectionLost, "", "timeout expired while connecting");
        }
        state = poll(conn);
    }
    if (state == PGRES_POLLING_OK) return std::nullopt;
    return LoginFailure(conn);
}

// The parameters as libpq takes them.
std::vector<const char*> Values(const Connection::Params& params) {
    std::vector<const char*> values;
    for (const Connection::Param& param : params) {
        if (param && param->find('\0') != std::string::npos) {
            throw Error(Failure::Other, "",
                        "a text value holds a NUL character, which the server cannot store");
        }
        values.push_back(param ? param->c_str() : nullptr);
    }
    return values;
}

}  // namespace

std::string OptionValue(const ConninfoOptions& options, std::string_view keyword) {
    for (const PQconninfoOption* option = options.get(); option && option->keyword; ++option) {
        if (option->keyword == keyword) return option->val == nullptr ? "" : option->val;
    }
    return "";
}

Connection Connection::Open(const std::string& conninfo, const std::string& password) {
    // libpq expands the string first; the keywords after it win over what it says, and an
    // empty value is none.
    const char* const keywords[] = {"dbname", "password", "client_encoding",
                                    "fallback_application_name", nullptr};
    const char* const values[] = {conninfo.c_str(), password.c_str(), "UTF8", "dbengine", nullptr};
    Connection connection;
    connection.conn_.reset(PQconnectStartParams(keywords, values, 1));
    if (!connection.conn_) throw Error(Failure::OutOfResources, "", "out of memory");
    connection.Connect(PQconnectPoll);
    return connection;
}

void Connection::Connect(PollFunction poll) {
    PGconn* conn = conn_.get();
    PQsetNoticeProcessor(conn, IgnoreNotice, nullptr);
    // Only in verbose mode does libpq's message of a refused login carry the server's
    // SQLSTATE; the session's own messages stay plain.
    PQsetErrorVerbosity(conn, PQERRORS_VERBOSE);
    const std::optional<Error> failure = Complete(conn, poll);
    PQsetErrorVerbosity(conn, PQERRORS_DEFAULT);
    if (failure) throw *failure;
}

void Connection::Reset() {
    prepared_.clear();
    // A reset that cannot even start leaves the connection bad, which Connect() reports.
    PQresetStart(conn_.get());
    Connect(PQresetPoll);
}

bool Connection::InTransaction() const {
    const PGTransactionStatusType status = PQtransactionStatus(conn_.get());
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

bool Connection::Lost() {
    // A session that the server ended while it sat idle says so only in input not yet read.
    PQconsumeInput(conn_.get());
    return PQstatus(conn_.get()) != CONNECTION_OK;
}

Result Connection::Run(Sends sends, const std::function<PGresult*()>& send) {
    if (Lost()) {
        throw Error(Failure::ConnectionLost, "", "no connection to the server");
    }
    // Inside a block nothing commits before the COMMIT: a session lost there took it all back.
    const bool mayCommit =
        sends == Sends::Commit || (sends == Sends::Statement && !InTransaction());
    Result result(send());
    const ExecStatusType status = PQresultStatus(result.Handle());
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY) {
        return result;
    }
    throw FailureOf(conn_.get(), result, mayCommit && PQstatus(conn_.get()) == CONNECTION_BAD);
}

void Connection::Exec(const std::string& sql) {
    Run(Sends::Statement, [&] { return PQexec(conn_.get(), sql.c_str()); });
}

Result Connection::Query(const std::string& sql, const Params& params) {
    const std::vector<const char*> values = Values(params);
    return Run(Sends::Statement, [&] {
        return PQexecParams(conn_.get(), sql.c_str(), static_cast<int>(values.size()), nullptr,
                            values.data(), nullptr, nullptr, 0);
    });
}

Result Connection::QueryPrepared(const std::string& sql, const Params& params) {
    const std::vector<const char*> values = Values(params);
    const std::string& name = PreparedName(sql);
    return Run(Sends::Statement, [&] {
        return PQexecPrepared(conn_.get(), name.c_str(), static_cast<int>(values.size()),
                              values.data(), nullptr, nullptr, 0);
    });
}

const std::string& Connection::PreparedName(const std::string& sql) {
    const auto known = std::find_if(prepared_.begin(), prepared_.end(),
                                    [&](const Prepared& prepared) { return prepared.sql == sql; });
    if (known != prepared_.end()) {
        prepared_.splice(prepared_.begin(), prepared_, known);
        return prepared_.front().name;
    }
    std::string name = "pgkit_" + std::to_string(++preparedCount_);
    Run(Sends::Preparation,
        [&] { return PQprepare(conn_.get(), name.c_str(), sql.c_str(), 0, nullptr); });
    if (prepared_.size() == kPreparedCacheSize) {
        const std::string deallocate = "DEALLOCATE " + prepared_.back().name;
        Run(Sends::Preparation, [&] { return PQexec(conn_.get(), deallocate.c_str()); });
        prepared_.pop_back();
    }
    prepared_.push_front({sql, std::move(name)});
    return prepared_.front().name;
}

Transaction::Transaction(Connection& connection) : connection_(connection) {
    connection_.Exec("BEGIN");
}

Transaction::~Transaction() {
    // A lost session has taken the block back already.
    if (open_ && PQstatus(connection_.Handle()) == CONNECTION_OK) {
        PQclear(PQexec(connection_.Handle(), "ROLLBACK"));
    }
}

void Transaction::Commit() {
    open_ = false;
    const Result result = connection_.Run(Connection::Sends::Commit,
                                          [&] { return PQexec(connection_.Handle(), "COMMIT"); });
    // The server answers the COMMIT of a failed block with ROLLBACK, and no error.
    if (std::string_view(PQcmdStatus(result.Handle())) != "COMMIT") {
        throw Error(Failure::Other, "",
                    "the transaction was rolled back: a statement in it failed");
    }
}

}  // namespace pgkit
