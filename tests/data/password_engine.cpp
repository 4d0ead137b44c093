#include "password_engine.h"

#include <cstdio>
#include <map>

namespace {

// The engine entries are plain function pointers: they reach the stand-in through these.
PasswordEngine* current = nullptr;
const DbeApi* real = nullptr;
std::vector<TDBError> stack;

DbeApi& Api() {
    return EngineSession::Default().MutableApi();
}

DBIResult Refuse(DBIResult code) {
    stack = {{code, 0, PasswordEngine::kRefusalEntry}};
    return code;
}

bool Unlocked() {
    return current->passwords.contains(PasswordEngine::kPassword);
}

DBIResult AddPassword(const char* password) {
    current->handed.push_back(std::string("add ") + password);
    stack.clear();
    if (current->addAnswer == DBIERR_NONE) current->passwords.insert(password);
    return current->addAnswer;
}

// The answers to drops are refusals: the program must not look at them.
DBIResult DropPassword(const char* password) {
    current->handed.push_back(std::string("drop ") + password);
    stack.clear();
    current->passwords.erase(password);
    return DBIERR_INVALIDPARAM;
}

DBIResult DropAllPasswords() {
    current->handed.push_back("drop all");
    stack.clear();
    current->passwords.clear();
    return DBIERR_INVALIDPARAM;
}

DBIResult ProtectedTable(hDBIDb db, const char* name, const char* index, int mode, int share,
                         int xlt, hDBICur* cur) {
    if (!Unlocked()) return Refuse(DBIERR_NOTSUFFTABLERIGHTS);
    return real->dbeOpenTable(db, name, index, mode, share, xlt, cur);
}

DBIResult ProtectedReadOnlyTable(hDBIDb db, const char* name, const char* index, int mode,
                                 int share, int xlt, hDBICur* cur) {
    if (Unlocked() && mode == dbiREADWRITE) return DBIERR_READONLY;
    return ProtectedTable(db, name, index, mode, share, xlt, cur);
}

DBIResult ProtectedQuery(hDBIDb db, const char* text, hDBIStmt* stmt) {
    if (!Unlocked()) return Refuse(DBIERR_NOTSUFFTABLERIGHTS);
    return real->dbeQPrepare(db, text, stmt);
}

DBIResult UnsupportedTable(hDBIDb, const char*, const char*, int, int, int, hDBICur*) {
    return Refuse(DBIERR_NOTSUPPORTED);
}

DBIResult CodeText(DBIResult code, char* text) {
    static const std::map<DBIResult, std::string> texts{
        {DBIERR_NOTSUFFTABLERIGHTS, PasswordEngine::kRefusedText},
        {DBIERR_NOTSUPPORTED, "Capability not supported"},
        {DBIERR_INVALIDPARAM, "Invalid parameter"}};
    const auto found = texts.find(code);
    std::snprintf(text, DBIMAXMSGLEN + 1, "%s", found == texts.end() ? "" : found->second.c_str());
    return DBIERR_NONE;
}

DBIResult StackEntry(uint16_t i, DBIResult* code, int32_t* native, char* text) {
    const TDBError entry = i == 0 || i > stack.size() ? TDBError{} : stack[i - 1];
    *code = entry.ErrorCode;
    *native = entry.NativeError;
    std::snprintf(text, DBIMAXMSGLEN + 1, "%s", entry.Message.c_str());
    return DBIERR_NONE;
}

}  // namespace

PasswordEngine::PasswordEngine() : real_(Api()) {
    current = this;
    real = &real_;
    stack.clear();
    Api().dbeAddPassword = AddPassword;
    Api().dbeDropPassword = DropPassword;
    Api().dbeDropAllPasswords = DropAllPasswords;
    Api().dbeGetErrorString = CodeText;
    Api().dbeGetErrorEntry = StackEntry;
}

PasswordEngine::~PasswordEngine() {
    Api() = real_;
    current = nullptr;
    real = nullptr;
}

void PasswordEngine::ProtectTables() {
    Api().dbeOpenTable = ProtectedTable;
}
void PasswordEngine::ProtectReadOnlyTables() {
    Api().dbeOpenTable = ProtectedReadOnlyTable;
}
void PasswordEngine::ProtectQueries() {
    Api().dbeQPrepare = ProtectedQuery;
}
void PasswordEngine::RefuseTables() {
    Api().dbeOpenTable = UnsupportedTable;
}
