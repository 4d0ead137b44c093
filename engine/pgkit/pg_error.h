// The failures of the PostgreSQL storage: the exception that every pgkit call throws, and the
// kinds of failure that the engine turns into its result codes.
//
// Contracts callers rely on:
// - Every failing pgkit call throws pgkit::Error; nothing here returns an error code.
// - Kind() is ConnectionLost whenever the session is gone or never came about (the server went
//   away, refused, could not be reached), whatever SQLSTATE the server sent on leaving.
// - OutcomeUnknown() is true only when the session was lost after a statement that could have
//   committed had been sent: a statement outside a transaction block, or the COMMIT of a
//   Transaction. Every other failure left the database as it was.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace pgkit {

enum class Failure {
    ConnectionLost,         // class 08, 57P01-57P03, or no session
    PasswordNeeded,         // the server asked for a password and none was given
    InvalidPassword,        // 28P01
    AuthorizationFailed,    // 28000: no such role, or the role may not log in
    InsufficientPrivilege,  // 42501
    DiskFull,               // 53100
    OutOfResources,         // the rest of class 53: memory, connections, ...
    Canceled,               // 57014: statement timeout or a cancel request
    LockNotAvailable,       // 55P03
    Deadlock,               // 40P01
    SerializationFailure,   // 40001
    UniqueViolation,        // 23505
    UndefinedTable,         // 42P01
    Other,
};

// The kind of failure that the SQLSTATE `sqlState` names; Other for "" or a state not listed.
Failure Classify(std::string_view sqlState);

class Error : public std::runtime_error {
  public:
    Error(Failure kind, std::string sqlState, const std::string& message,
          bool outcomeUnknown = false);

    Failure Kind() const { return kind_; }
    // The server's SQLSTATE ("23505"); "" for a failure that libpq or pgkit found itself.
    const std::string& SqlState() const { return sqlState_; }
    bool OutcomeUnknown() const { return outcomeUnknown_; }

  private:
    Failure kind_;
    std::string sqlState_;
    bool outcomeUnknown_;
};

// A message of libpq's without the line break that closes it.
std::string MessageText(const char* message);

}  // namespace pgkit
