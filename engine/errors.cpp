#include "engine/errors.h"

#include <cstring>
#include <string_view>
#include <utility>

#include "base/translatable.h"
#include "engine/values.h"

namespace dbe {

namespace {

struct CodeText {
    DBIResult code;
    const char* text;
};

// The texts stay English here and through the C interface; the program translates them where it
// shows them (base/translatable.h).
constexpr CodeText kTexts[] = {
    {DBIERR_NONE, CLINIC_TEXT("Database", "Success")},
    {DBIERR_IO, CLINIC_TEXT("Database", "Disk read or write error")},
    {DBIERR_DISKFULL, CLINIC_TEXT("Database", "Disk is full")},
    {DBIERR_NOTADB, CLINIC_TEXT("Database", "File is not a table of this engine")},
    {DBIERR_CORRUPT, CLINIC_TEXT("Database", "Table is damaged")},
    {DBIERR_NOTFOUND_FILE, CLINIC_TEXT("Database", "File or directory does not exist")},
    {DBIERR_LOADFAIL, CLINIC_TEXT("Database", "The engine library could not be loaded")},
    {DBIERR_BOF, CLINIC_TEXT("Database", "At beginning of table")},
    {DBIERR_EOF, CLINIC_TEXT("Database", "At end of table")},
    {DBIERR_NOCURRREC, CLINIC_TEXT("Database", "No current record")},
    {DBIERR_RECNOTFOUND, CLINIC_TEXT("Database", "Could not find record")},
    {DBIERR_RECDELETED, CLINIC_TEXT("Database", "Record was deleted by another user")},
    {DBIERR_NOMEMORY, CLINIC_TEXT("Database", "Not enough memory for this operation")},
    {DBIERR_BUFFSMALL, CLINIC_TEXT("Database", "Buffer too small for the value")},
    {DBIERR_KEYVIOL, CLINIC_TEXT("Database", "Key violation")},
    {DBIERR_REQDFIELD, CLINIC_TEXT("Database", "Field value required")},
    {DBIERR_CONSTRAINT, CLINIC_TEXT("Database", "A validity check of the table failed")},
    {DBIERR_LOCKED, CLINIC_TEXT("Database", "Record locked by another user")},
    {DBIERR_BUSY, CLINIC_TEXT("Database", "Table is busy")},
    {DBIERR_NOTLOCKED, CLINIC_TEXT("Database", "Record is not locked")},
    {DBIERR_NOTSUFFTABLERIGHTS,
     CLINIC_TEXT("Database", "Insufficient rights: a password is required")},
    {DBIERR_INVALIDHNDL, CLINIC_TEXT("Database", "Invalid handle")},
    {DBIERR_INVALIDPARAM, CLINIC_TEXT("Database", "Invalid parameter")},
    {DBIERR_NOTINITIALIZED, CLINIC_TEXT("Database", "Engine not started")},
    {DBIERR_OUTOFRANGE, CLINIC_TEXT("Database", "Field number out of range")},
    {DBIERR_NOMORE, CLINIC_TEXT("Database", "No more entries")},
    {DBIERR_ALREADYINIT, CLINIC_TEXT("Database", "Engine already started")},
    {DBIERR_VERSION, CLINIC_TEXT("Database", "Interface version not supported")},
    {DBIERR_READONLY, CLINIC_TEXT("Database", "Table cannot be opened for writing")},
    {DBIERR_TABLEREADONLY, CLINIC_TEXT("Database", "Table is read only")},
    {DBIERR_HANDLESOPEN, CLINIC_TEXT("Database", "Handles are still open")},
    {DBIERR_INTERNAL, CLINIC_TEXT("Database", "Internal error in the engine")},
    {DBIERR_NOTSUPPORTED, CLINIC_TEXT("Database", "Capability not supported")},
    {DBIERR_NOSUCHINDEX, CLINIC_TEXT("Database", "Index does not exist")},
    {DBIERR_INDEXKIND, CLINIC_TEXT("Database", "Index kind not supported")},
    {DBIERR_BADFIELDDESC, CLINIC_TEXT("Database", "Column of an unknown kind")},
    {DBIERR_QRYSYNTAX, CLINIC_TEXT("Database", "Invalid query syntax")},
    {DBIERR_QRYNOFIELD, CLINIC_TEXT("Database", "Field in query does not exist")},
    {DBIERR_QRYNOTABLE, CLINIC_TEXT("Database", "Table in query does not exist")},
    {DBIERR_QRYGENERAL, CLINIC_TEXT("Database", "General query error")},
    {DBIERR_ENVSTART, CLINIC_TEXT("Database", "The engine's environment could not be set up")},
};

DBIResult CodeForSqlite(int extended) {
    switch (extended) {
        case SQLITE_IOERR_DATA:
            return DBIERR_CORRUPT;
        case SQLITE_CONSTRAINT_UNIQUE:
        case SQLITE_CONSTRAINT_PRIMARYKEY:
        case SQLITE_CONSTRAINT_ROWID:
            return DBIERR_KEYVIOL;
        case SQLITE_CONSTRAINT_NOTNULL:
            return DBIERR_REQDFIELD;
        default:
            break;
    }
    switch (extended & 0xff) {
        case SQLITE_CONSTRAINT:
            return DBIERR_CONSTRAINT;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return DBIERR_BUSY;
        case SQLITE_FULL:
            return DBIERR_DISKFULL;
        case SQLITE_NOTADB:
            return DBIERR_NOTADB;
        case SQLITE_CORRUPT:
            return DBIERR_CORRUPT;
        case SQLITE_NOMEM:
            return DBIERR_NOMEMORY;
        case SQLITE_READONLY:
            return DBIERR_TABLEREADONLY;
        case SQLITE_CANTOPEN:
            return DBIERR_NOTFOUND_FILE;
        default:
            return DBIERR_IO;
    }
}

std::string_view CutMessage(std::string_view text) {
    return Utf8Prefix(text, DBIMAXMSGLEN);
}

// Never destroyed: a program may end the engine from its own static destructors, which can
// run after ours.
std::vector<ErrorEntry>& Stack() {
    static auto* stack = new std::vector<ErrorEntry>;
    return *stack;
}

}  // namespace

EngineError::EngineError(DBIResult code, std::string context) : code_(code) {
    With(std::move(context));
}

EngineError& EngineError::With(DBIResult code, std::int32_t native, std::string text) {
    context_.push_back({code, native, std::string(CutMessage(text))});
    return *this;
}

const char* EngineError::what() const noexcept {
    return ErrorText(code_);
}

EngineError FromSqlite(const sqlitekit::Error& error) {
    const DBIResult code = CodeForSqlite(error.Code());
    EngineError engineError(code);
    engineError.With(code, error.Code(), SqliteMessage(error));
    return engineError;
}

std::string SqliteMessage(const sqlitekit::Error& error) {
    // The protected VFS's answer for a page that does not decrypt to what was written.
    if (error.Code() == SQLITE_IOERR_DATA) {
        return CLINIC_TEXT("Database",
                           "A page of the protected table file failed its check: the file is "
                           "damaged or was altered");
    }
    return error.what();
}

const char* ErrorText(DBIResult code) {
    for (const CodeText& entry : kTexts) {
        if (entry.code == code) return entry.text;
    }
    return "";
}

std::string ContextLine(const char* line, const std::string& value) {
    std::string text = line;
    return text.replace(text.find("%s"), 2, value);
}

void CopyMessage(const std::string& text, char* buffer) {
    const std::string_view cut = CutMessage(text);
    std::memcpy(buffer, cut.data(), cut.size());
    buffer[cut.size()] = '\0';
}

void ErrorStack::Clear() {
    Stack().clear();
}

DBIResult ErrorStack::Set(const EngineError& error) {
    std::vector<ErrorEntry>& stack = Stack();
    stack.clear();
    stack.push_back({error.Code(), 0, ErrorText(error.Code())});
    stack.insert(stack.end(), error.Context().begin(), error.Context().end());
    return error.Code();
}

ErrorEntry ErrorStack::Entry(std::size_t i) {
    const std::vector<ErrorEntry>& stack = Stack();
    if (i < stack.size()) return stack[i];
    return {DBIERR_NOMORE, 0, ""};
}

}  // namespace dbe
