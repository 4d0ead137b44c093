// A session with a PostgreSQL server: the owner of one PGconn, through which every statement of
// the PostgreSQL storage goes, and the guard of a transaction block on it.
//
// Contracts callers rely on:
// - A Connection closes its session; it is move-only. Every failure throws pgkit::Error.
// - Values reach the server only as parameters ($1, $2, ...) bound as text, never inside SQL
//   text. A value holding a NUL character, which the server cannot store, is refused before
//   anything is sent.
// - The session speaks UTF-8, whatever the database's encoding; the server's notices are not
//   printed.
// - The password travels beside the connection string and wins over one written in it; an
//   empty password is none. A server that asks for a password it did not get fails with
//   PasswordNeeded, a wrong one with InvalidPassword (28P01). connect_timeout, when the string
//   sets one, bounds the whole attempt.
// - Transaction blocks are begun and ended only through Transaction: that is how a COMMIT lost
//   with its session is known to have an unknown outcome (Error::OutcomeUnknown()).
// - After ConnectionLost the session is gone: every call fails with ConnectionLost (outcome
//   known: nothing was sent) until Reset() opens a new one with the same settings. Statements
//   prepared on the old session are prepared again on their next use.
#pragma once

#include <libpq-fe.h>

#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/pgkit/pg_error.h"
#include "engine/pgkit/pg_result.h"

namespace pgkit {

struct ConninfoFreer {
    void operator()(PQconninfoOption* options) const { PQconninfoFree(options); }
};
// Connection options as libpq lists them (PQconninfo, PQconninfoParse).
using ConninfoOptions = std::unique_ptr<PQconninfoOption, ConninfoFreer>;
// The value that `options` give `keyword`; "" when they give none.
std::string OptionValue(const ConninfoOptions& options, std::string_view keyword);

class Connection {
  public:
    // One value bound to a parameter: nullopt binds NULL.
    using Param = std::optional<std::string>;
    using Params = std::vector<Param>;

    // Opens a session as the libpq connection string `conninfo` says, with `password`.
    static Connection Open(const std::string& conninfo, const std::string& password = "");

    // How many prepared statements a session keeps; the least recently used goes first. As
    // many as a table's store keeps of its own, so that a cursor's statements stay prepared.
    static constexpr std::size_t kPreparedCacheSize = 128;

    // Runs one or more statements that take no parameters.
    void Exec(const std::string& sql);
    // Runs one statement with `params` bound to $1, $2, ...
    Result Query(const std::string& sql, const Params& params = {});
    // As Query, through a statement that this session prepares on the first use of `sql`.
    Result QueryPrepared(const std::string& sql, const Params& params = {});

    // Ends the session, whatever its state, and opens a new one with the same settings.
    void Reset();

    // True inside a transaction block, failed or not.
    bool InTransaction() const;
    // True when the session is gone, also when the server ended it while it sat idle.
    bool Lost();
    PGconn* Handle() const { return conn_.get(); }

  private:
    friend class Transaction;

    Connection() = default;

    // What a statement sent can have done when its session is lost before the answer.
    enum class Sends { Statement, Commit, Preparation };

    struct Finisher {
        void operator()(PGconn* conn) const { PQfinish(conn); }
    };
    struct Prepared {
        std::string sql;
        std::string name;
    };

    // Completes the attempt that PQconnectStartParams or PQresetStart began, with
    // PQconnectPoll or PQresetPoll as `poll`.
    void Connect(PostgresPollingStatusType (*poll)(PGconn*));
    Result Run(Sends sends, const std::function<PGresult*()>& send);
    const std::string& PreparedName(const std::string& sql);

    std::unique_ptr<PGconn, Finisher> conn_;
    std::list<Prepared> prepared_;  // most recently used first
    unsigned long preparedCount_ = 0;
};

// BEGIN on construction; ROLLBACK on destruction unless Commit() was called.
class Transaction {
  public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Throws Error when the server rolled back instead, because a statement of the block had
    // failed; a COMMIT lost with its session fails with OutcomeUnknown().
    void Commit();

  private:
    Connection& connection_;
    bool open_ = true;
};

}  // namespace pgkit
