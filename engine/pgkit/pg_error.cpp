#include "engine/pgkit/pg_error.h"

#include <utility>

namespace pgkit {

namespace {

struct StateKind {
    std::string_view state;
    Failure kind;
};

constexpr StateKind kStates[] = {
    {"57P01", Failure::ConnectionLost},  // admin_shutdown: the session was terminated
    {"57P02", Failure::ConnectionLost},  // crash_shutdown
    {"57P03", Failure::ConnectionLost},  // cannot_connect_now: starting or stopping
    {"28P01", Failure::InvalidPassword},
    {"28000", Failure::AuthorizationFailed},
    {"42501", Failure::InsufficientPrivilege},
    {"53100", Failure::DiskFull},
    {"57014", Failure::Canceled},
    {"55P03", Failure::LockNotAvailable},
    {"40P01", Failure::Deadlock},
    {"40001", Failure::SerializationFailure},
    {"23505", Failure::UniqueViolation},
    {"42P01", Failure::UndefinedTable},
};

}  // namespace

Failure Classify(std::string_view sqlState) {
    for (const StateKind& entry : kStates) {
        if (entry.state == sqlState) return entry.kind;
    }
    if (sqlState.size() != 5) return Failure::Other;
    if (sqlState.starts_with("08")) return Failure::ConnectionLost;
    if (sqlState.starts_with("53")) return Failure::OutOfResources;
    return Failure::Other;
}

Error::Error(Failure kind, std::string sqlState, const std::string& message, bool outcomeUnknown)
    : std::runtime_error(message),
      kind_(kind),
      sqlState_(std::move(sqlState)),
      outcomeUnknown_(outcomeUnknown) {}

std::string MessageText(const char* message) {
    std::string text = message == nullptr ? "" : message;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace pgkit
