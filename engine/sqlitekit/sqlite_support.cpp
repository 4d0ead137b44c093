#include "engine/sqlitekit/sqlite_support.h"

#include <cstring>

#include "base/gbk_text.h"
#include "base/pinyin.h"

namespace sqlitekit {

Error::Error(int code, const std::string& message) : std::runtime_error(message), code_(code) {}

void Throw(sqlite3* db, int rc) {
    const bool hasMessage = db != nullptr && sqlite3_errcode(db) == rc;
    throw Error(rc, hasMessage ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
}

std::string QuoteIdentifier(std::string_view name) {
    std::string quoted = "\"";
    for (char c : name) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    quoted += '"';
    return quoted;
}

Statement::Statement(sqlite3* db, std::string_view sql, unsigned prepareFlags) {
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), prepareFlags,
                                      &stmt, nullptr);
    stmt_.reset(stmt);
    if (rc != SQLITE_OK) Throw(db, rc);
}

void Statement::Check(int rc) const {
    if (rc != SQLITE_OK) Throw(sqlite3_db_handle(stmt_.get()), rc);
}

void Statement::BindInt(int index, std::int64_t value) {
    Check(sqlite3_bind_int64(stmt_.get(), index, value));
}

void Statement::BindDouble(int index, double value) {
    Check(sqlite3_bind_double(stmt_.get(), index, value));
}

void Statement::BindText(int index, std::string_view value) {
    Check(sqlite3_bind_text64(stmt_.get(), index, value.data(), value.size(), SQLITE_TRANSIENT,
                              SQLITE_UTF8));
}

void Statement::BindBlob(int index, std::string_view bytes) {
    Check(sqlite3_bind_blob64(stmt_.get(), index, bytes.data(), bytes.size(), SQLITE_TRANSIENT));
}

void Statement::BindNull(int index) {
    Check(sqlite3_bind_null(stmt_.get(), index));
}

bool Statement::Step() {
    const int rc = sqlite3_step(stmt_.get());
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    // With the v2/v3 interfaces step's own code is the error; keep the message with it.
    const std::string message = sqlite3_errmsg(sqlite3_db_handle(stmt_.get()));
    sqlite3_reset(stmt_.get());
    throw Error(rc, message);
}

void Statement::Reset() {
    // Errors from reset only repeat the last step's error, which Step() already reported.
    sqlite3_reset(stmt_.get());
    sqlite3_clear_bindings(stmt_.get());
}

std::string_view Statement::ColumnText(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_.get(), column));
    const int size = sqlite3_column_bytes(stmt_.get(), column);
    return text == nullptr ? std::string_view() : std::string_view(text, size);
}

std::string_view Statement::ColumnBlob(int column) const {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_.get(), column));
    const int size = sqlite3_column_bytes(stmt_.get(), column);
    return bytes == nullptr ? std::string_view() : std::string_view(bytes, size);
}

Connection Connection::Open(const std::string& path, int flags, const char* vfs) {
    Connection connection;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_EXRESCODE, vfs);
    connection.db_.reset(db);
    if (rc != SQLITE_OK) Throw(db, rc);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    RegisterGbkCollation(db);
    RegisterPinyinKeys(db);
    // In the rollback journal's mode a commit is the journal's deletion: EXTRA also syncs the
    // directory after it, so that a power cut cannot bring the journal back and roll an
    // acknowledged post back.
    connection.Exec("PRAGMA synchronous=EXTRA");
    return connection;
}

void Connection::Exec(std::string_view sql) const {
    // sqlite3_exec needs a terminated string.
    const std::string text(sql);
    const int rc = sqlite3_exec(db_.get(), text.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) Throw(db_.get(), rc);
}

namespace {

int CompareGbk(void*, int sizeA, const void* a, int sizeB, const void* b) {
    const std::string_view left(static_cast<const char*>(a), sizeA);
    const std::string_view right(static_cast<const char*>(b), sizeB);
    try {
        return gbk::Compare(left, right);
    } catch (...) {
        // Nothing may unwind through SQLite; byte order is the only answer left.
        return left.compare(right);
    }
}

}  // namespace

void RegisterGbkCollation(sqlite3* db) {
    const int rc =
        sqlite3_create_collation_v2(db, gbk::kCollation, SQLITE_UTF8, nullptr, CompareGbk, nullptr);
    if (rc != SQLITE_OK) Throw(db, rc);
}

namespace {

void PinyinKeys(sqlite3_context* context, int, sqlite3_value** args) {
    std::string json = "[";
    if (sqlite3_value_type(args[0]) != SQLITE_NULL) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
        if (text == nullptr) return sqlite3_result_error_nomem(context);
        try {
            // Keys are lower-case ASCII letters and digits: nothing to escape.
            for (const std::string& key :
                 pinyin::Keys({text, static_cast<std::size_t>(sqlite3_value_bytes(args[0]))})) {
                if (json.size() > 1) json += ',';
                json += '"' + key + '"';
            }
        } catch (const std::exception& error) {
            // Nothing may unwind through SQLite.
            return sqlite3_result_error(context, error.what(), -1);
        }
    }
    json += ']';
    sqlite3_result_text64(context, json.data(), json.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

}  // namespace

void RegisterPinyinKeys(sqlite3* db) {
    const int rc = sqlite3_create_function_v2(db, kPinyinKeysFunction, 1,
                                              SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                              nullptr, PinyinKeys, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) Throw(db, rc);
}

Transaction::Transaction(const Connection& connection) : connection_(connection) {
    connection_.Exec("BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (open_) sqlite3_exec(connection_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
    connection_.Exec("COMMIT");
    open_ = false;
}

}  // namespace sqlitekit
