#include "engine/errors.h"

#include <cstring>
#include <string_view>
#include <utility>

#include "engine/values.h"

namespace dbe {

namespace {

struct CodeText {
    DBIResult code;
    const char* text;
};

constexpr CodeText kTexts[] = {
    {DBIERR_NONE, "Success"},
    {DBIERR_IO, "Disk read or write error"},
    {DBIERR_DISKFULL, "Disk is full"},
    {DBIERR_NOTADB, "File is not a table of this engine"},
    {DBIERR_CORRUPT, "Table is damaged"},
    {DBIERR_NOTFOUND_FILE, "File or directory does not exist"},
    {DBIERR_LOADFAIL, "The engine library could not be loaded"},
    {DBIERR_BOF, "At beginning of table"},
    {DBIERR_EOF, "At end of table"},
    {DBIERR_NOCURRREC, "No current record"},
    {DBIERR_RECNOTFOUND, "Could not find record"},
    {DBIERR_RECDELETED, "Record was deleted by another user"},
    {DBIERR_NOMEMORY, "Not enough memory for this operation"},
    {DBIERR_BUFFSMALL, "Buffer too small for the value"},
    {DBIERR_KEYVIOL, "Key violation"},
    {DBIERR_REQDFIELD, "Field value required"},
    {DBIERR_CONSTRAINT, "A validity check of the table failed"},
    {DBIERR_LOCKED, "Record locked by another user"},
    {DBIERR_BUSY, "Table is busy"},
    {DBIERR_NOTLOCKED, "Record is not locked"},
    {DBIERR_NOTSUFFTABLERIGHTS, "Insufficient rights: a password is required"},
    {DBIERR_INVALIDHNDL, "Invalid handle"},
    {DBIERR_INVALIDPARAM, "Invalid parameter"},
    {DBIERR_NOTINITIALIZED, "Engine not started"},
    {DBIERR_OUTOFRANGE, "Field number out of range"},
    {DBIERR_NOMORE, "No more entries"},
    {DBIERR_ALREADYINIT, "Engine already started"},
    {DBIERR_VERSION, "Interface version not supported"},
    {DBIERR_READONLY, "Table cannot be opened for writing"},
    {DBIERR_TABLEREADONLY, "Table is read only"},
    {DBIERR_HANDLESOPEN, "Handles are still open"},
    {DBIERR_INTERNAL, "Internal error in the engine"},
    {DBIERR_NOTSUPPORTED, "Capability not supported"},
    {DBIERR_NOSUCHINDEX, "Index does not exist"},
    {DBIERR_INDEXKIND, "Index kind not supported"},
    {DBIERR_BADFIELDDESC, "Column of an unknown kind"},
    {DBIERR_QRYSYNTAX, "Invalid query syntax"},
    {DBIERR_QRYNOFIELD, "Field in query does not exist"},
    {DBIERR_QRYNOTABLE, "Table in query does not exist"},
    {DBIERR_QRYGENERAL, "General query error"},
    {DBIERR_ENVSTART, "The engine's environment could not be set up"},
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
        return "A page of the protected table file failed its check: the file is damaged or was "
               "altered";
    }
    return error.what();
}

const char* ErrorText(DBIResult code) {
    for (const CodeText& entry : kTexts) {
        if (entry.code == code) return entry.text;
    }
    return "";
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
