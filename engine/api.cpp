// Entry points for starting the engine, errors, databases, queries and session passwords.
#include <cstring>

#include "engine/api_support.h"

namespace dbe::api {

// Never destroyed, like the error stack: dbeExit may come from a static destructor of the
// program that runs after ours.
std::optional<Engine>& State() {
    static auto* engine = new std::optional<Engine>;
    return *engine;
}

Engine& Started() {
    if (!State()) throw EngineError(DBIERR_NOTINITIALIZED);
    return *State();
}

Record& RecordFor(const Cursor& cursor, hDBIRec handle) {
    Record& record = Started().records.Get(handle);
    if (!record.GetLayout().SameShape(cursor.GetLayout())) {
        throw EngineError(DBIERR_INVALIDPARAM, "The record buffer belongs to another table");
    }
    return record;
}

int FieldIndex(const Cursor& cursor, std::uint16_t fieldNo) {
    if (fieldNo == 0 || fieldNo > cursor.GetLayout().fields.size()) {
        throw EngineError(DBIERR_OUTOFRANGE, "Field number: " + std::to_string(fieldNo));
    }
    return fieldNo - 1;
}

}  // namespace dbe::api

using namespace dbe;
using namespace dbe::api;

extern "C" {

DBIResult dbeInit(uint16_t version, const DBIEnv*) {
    return Call([&] {
        if (State()) throw EngineError(DBIERR_ALREADYINIT);
        if (version != DBE_VERSION) {
            throw EngineError(DBIERR_VERSION, ContextLine(kVersionLine, std::to_string(version)));
        }
        State().emplace();
    });
}

DBIResult dbeExit(void) {
    return Call([] {
        const Engine& engine = Started();
        if (!engine.databases.Empty() || !engine.cursors.Empty() || !engine.statements.Empty()) {
            throw EngineError(DBIERR_HANDLESOPEN);
        }
        State().reset();
    });
}

// The error calls read the stack and so leave it as it is.
DBIResult dbeGetErrorString(DBIResult code, char* text) {
    if (text == nullptr) return DBIERR_INVALIDPARAM;
    CopyMessage(ErrorText(code), text);
    return DBIERR_NONE;
}

DBIResult dbeGetErrorEntry(uint16_t i, DBIResult* code, int32_t* nativeCode, char* text) {
    const ErrorEntry entry = ErrorStack::Entry(i);
    if (code != nullptr) *code = entry.code;
    if (nativeCode != nullptr) *nativeCode = entry.native;
    if (text != nullptr) CopyMessage(entry.text, text);
    return DBIERR_NONE;
}

DBIResult dbeOpenDatabase(const char* name, int openMode, int, hDBIDb* db) {
    return Call([&] {
        Engine& engine = Started();
        Require(db);
        if (name != nullptr && *name != '\0') {
            throw EngineError(DBIERR_NOTFOUND_FILE, std::string("Unknown database alias: ") + name);
        }
        auto database = std::make_unique<Database>(openMode == dbiREADONLY, engine.keys);
        *db = reinterpret_cast<hDBIDb>(engine.databases.Add(std::move(database)));
    });
}

DBIResult dbeSetDirectory(hDBIDb db, const char* dir) {
    return Call([&] {
        Database& database = Started().databases.Get(db);
        Require(dir);
        database.SetDirectory(dir);
    });
}

DBIResult dbeCloseDatabase(hDBIDb db) {
    return Call([&] {
        Engine& engine = Started();
        engine.databases.Get(db);
        engine.cursors.RemoveOwnedBy(db);
        engine.statements.RemoveOwnedBy(db);
        engine.databases.Remove(db);
    });
}

DBIResult dbeOpenTable(hDBIDb db, const char* tableName, const char* indexName, int openMode, int,
                       int, hDBICur* cur) {
    return Call([&] {
        Engine& engine = Started();
        Database& database = engine.databases.Get(db);
        Require(tableName);
        Require(cur);
        auto cursor = database.OpenTable(tableName, indexName != nullptr ? indexName : "",
                                         openMode == dbiREADONLY);
        *cur = reinterpret_cast<hDBICur>(engine.cursors.Add(std::move(cursor), db));
    });
}

DBIResult dbeCloseCursor(hDBICur cur) {
    return Call([&] { Started().cursors.Remove(cur); });
}

DBIResult dbeQPrepare(hDBIDb db, const char* text, hDBIStmt* stmt) {
    return Call([&] {
        Engine& engine = Started();
        Database& database = engine.databases.Get(db);
        Require(text);
        Require(stmt);
        auto statement =
            std::make_unique<QueryStatement>(QueryStatement{database.PrepareQuery(text)});
        *stmt = reinterpret_cast<hDBIStmt>(engine.statements.Add(std::move(statement), db));
    });
}

DBIResult dbeQExec(hDBIStmt stmt, hDBICur* answer) {
    return Call([&] {
        Engine& engine = Started();
        const QueryStatement& statement = engine.statements.Get(stmt);
        Require(answer);
        auto cursor = std::make_unique<Cursor>(statement.answer);
        *answer = reinterpret_cast<hDBICur>(
            engine.cursors.Add(std::move(cursor), engine.statements.OwnerOf(stmt)));
    });
}

DBIResult dbeQFree(hDBIStmt stmt) {
    return Call([&] { Started().statements.Remove(stmt); });
}

DBIResult dbeAddPassword(const char* password) {
    return Call([&] {
        Engine& engine = Started();
        Require(password);
        engine.keys.Add(password);
    });
}

DBIResult dbeDropPassword(const char* password) {
    return Call([&] {
        Engine& engine = Started();
        Require(password);
        engine.keys.Drop(password);
    });
}

DBIResult dbeDropAllPasswords(void) {
    return Call([] { Started().keys.DropAll(); });
}

}  // extern "C"
