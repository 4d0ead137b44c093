#include "engine/server_errors.h"

namespace dbe {

namespace {

using pgkit::Failure;

DBIResult CodeFor(const pgkit::Error& error) {
    switch (error.Kind()) {
        case Failure::PasswordNeeded:
        case Failure::InvalidPassword:
            return DBIERR_NOTSUFFTABLERIGHTS;
        case Failure::DiskFull:
            return DBIERR_DISKFULL;
        case Failure::OutOfResources:
        case Failure::Canceled:
        case Failure::LockNotAvailable:
        case Failure::Deadlock:
        case Failure::SerializationFailure:
            return DBIERR_BUSY;
        case Failure::InsufficientPrivilege:
            return DBIERR_TABLEREADONLY;
        case Failure::UniqueViolation:
            return DBIERR_KEYVIOL;
        case Failure::UndefinedTable:
            return DBIERR_NOTFOUND_FILE;
        default:
            break;
    }
    if (error.SqlState() == "23502") return DBIERR_REQDFIELD;
    if (error.SqlState().starts_with("23")) return DBIERR_CONSTRAINT;
    return DBIERR_IO;
}

// What the clinic is told beside the server's own message.
const char* Explanation(const pgkit::Error& error) {
    if (error.OutcomeUnknown()) {
        return CLINIC_TEXT("Database",
                           "The connection to the database server was lost while a change was "
                           "being saved: whether it was saved is unknown. Refresh to see the "
                           "stored records");
    }
    if (error.Kind() == Failure::ConnectionLost) {
        return CLINIC_TEXT("Database", "The database server cannot be reached");
    }
    return nullptr;
}

}  // namespace

EngineError FromServer(const pgkit::Error& error) {
    const DBIResult code = CodeFor(error);
    EngineError engineError(code);
    if (const char* explanation = Explanation(error)) engineError.With(explanation);
    engineError.With(code, 0, error.what());
    return engineError;
}

}  // namespace dbe
