#include "engine/server_table.h"

#include "engine/errors.h"
#include "engine/server_schema.h"
#include "engine/server_sql.h"
#include "engine/server_statement.h"

namespace dbe {

namespace {

// Dates travel as ISO text, which the engine stores and parses; a commit is on disk before
// it returns, whatever the server's default. Every statement is planned for its own values: a
// plan made once for any value would step the follow-up filter's few patients through the
// whole table in record-number order. The engine reads a few rows at a time, where starting
// parallel workers costs more than all the rest.
constexpr const char* kSessionSettings =
    "SET datestyle = 'ISO, YMD'; SET synchronous_commit = on; SET client_min_messages = warning; "
    "SET plan_cache_mode = force_custom_plan; SET max_parallel_workers_per_gather = 0";

constexpr const char* kStampSql =
    "SELECT coalesce((SELECT n FROM dbengine_changes WHERE tbl = $1), 0)";

class ServerRecordLock final : public RecordLock {
  public:
    explicit ServerRecordLock(ServerTable& table) : table_(table) {}
    ~ServerRecordLock() override { UnlockAll(); }

  private:
    bool Take(std::int64_t rowid) override { return table_.TakeLock(this, rowid); }
    void Release(std::int64_t rowid) override { table_.ReleaseLock(this, rowid); }
    void Confirm(std::int64_t rowid) const override { table_.ConfirmLock(this, rowid); }

    ServerTable& table_;
};

bool IsTrue(const pgkit::Result& result) {
    return result.Rows() == 1 && result.Text(0, 0) == "t";
}

}  // namespace

ServerTable::ServerTable(const std::string& conninfo, const KeyRing& keys, const std::string& table,
                         const std::string& name)
    : Store(name, table) {
    Login(conninfo, keys);
    ApplySessionSettings();
    SetSchema(ReadServerSchema(*connection_, TableName()));
    const pgkit::Connection::Params quoted{QuotedTable()};
    tableKey_ = connection_->Query("SELECT $1::regclass::oid::bigint", quoted).Int(0, 0);
    readOnly_ = !IsTrue(connection_->Query(
        "SELECT has_table_privilege($1, 'INSERT') AND has_table_privilege($1, 'UPDATE') AND "
        "has_table_privilege($1, 'DELETE')",
        quoted));
}

// The session ends with the store, and the server releases every lock it held.
ServerTable::~ServerTable() = default;

void ServerTable::Login(const std::string& conninfo, const KeyRing& keys) {
    std::vector<std::string> passwords{""};
    passwords.insert(passwords.end(), keys.Passwords().begin(), keys.Passwords().end());
    for (const std::string& password : passwords) {
        try {
            connection_ =
                std::make_unique<pgkit::Connection>(pgkit::Connection::Open(conninfo, password));
            return;
        } catch (const pgkit::Error& error) {
            const bool wrongPassword = error.Kind() == pgkit::Failure::PasswordNeeded ||
                                       error.Kind() == pgkit::Failure::InvalidPassword;
            if (!wrongPassword || &password == &passwords.back()) throw;
        }
    }
}

void ServerTable::ApplySessionSettings() {
    connection_->Exec(kSessionSettings);
}

bool ServerTable::Reconnect() {
    connection_->Reset();
    ApplySessionSettings();
    return LoseLocks();
}

pgkit::Result ServerTable::Run(const std::string& sql, const pgkit::Connection::Params& params) {
    if (connection_->InTransaction()) return connection_->QueryPrepared(sql, params);
    // Outside a transaction the engine only reads: a lost session is worth one more try.
    try {
        if (connection_->Lost()) Reconnect();
        return connection_->QueryPrepared(sql, params);
    } catch (const pgkit::Error& error) {
        if (error.Kind() != pgkit::Failure::ConnectionLost) throw;
    }
    Reconnect();
    return connection_->QueryPrepared(sql, params);
}

std::unique_ptr<Statement> ServerTable::NewStatement(const std::string& sql) {
    const int rowidField = GetSchema().layout->AutoIncField();
    const std::string rowid = "\"" + GetSchema().layout->fields[rowidField].column + "\"";
    return std::make_unique<ServerStatement>(*this, ToServerSql(sql, rowid));
}

void ServerTable::Write(const std::function<void()>& body) {
    bool locksLost = false;
    std::optional<pgkit::Transaction> transaction;
    // Nothing of the write has been sent before its transaction began: a session found lost
    // by then is opened anew.
    try {
        if (connection_->Lost()) locksLost = Reconnect();
        transaction.emplace(*connection_);
    } catch (const pgkit::Error& error) {
        if (error.Kind() != pgkit::Failure::ConnectionLost) throw;
        locksLost = Reconnect();
        transaction.emplace(*connection_);
    }
    // The write may concern a record whose lock went with the old session.
    if (locksLost) throw LostLock(std::nullopt);
    body();
    transaction->Commit();
}

Store::Stamp ServerTable::ChangeStamp() {
    return {Run(kStampSql, {TableName()}).Int(0, 0), 0};
}

std::unique_ptr<RecordLock> ServerTable::NewRecordLock() {
    return std::make_unique<ServerRecordLock>(*this);
}

std::string ServerTable::LockKey(std::int64_t rowid) const {
    return std::to_string((tableKey_ << 32) | (rowid & 0xffffffff));
}

bool ServerTable::TakeLock(const void* owner, std::int64_t rowid) {
    if (locks_.count(rowid) != 0) return false;
    if (!IsTrue(Run("SELECT pg_try_advisory_lock($1)", {LockKey(rowid)}))) return false;
    locks_[rowid] = {owner, false};
    return true;
}

void ServerTable::ReleaseLock(const void* owner, std::int64_t rowid) {
    const auto found = locks_.find(rowid);
    if (found == locks_.end() || found->second.owner != owner) return;
    const bool held = !found->second.lost;
    locks_.erase(found);
    if (!held || connection_->Lost()) return;
    // A session lost meanwhile released the lock with everything else.
    try {
        connection_->QueryPrepared("SELECT pg_advisory_unlock($1)", {LockKey(rowid)});
    } catch (const pgkit::Error&) {
    }
}

void ServerTable::ConfirmLock(const void* owner, std::int64_t rowid) const {
    const auto found = locks_.find(rowid);
    if (found == locks_.end() || found->second.owner != owner || found->second.lost) {
        throw LostLock(rowid);
    }
}

// Another seat may have locked and changed the record while the lock was gone: taking it back
// could not tell, so the lock stays lost and the edit must begin again.
bool ServerTable::LoseLocks() {
    bool any = false;
    for (auto& [rowid, held] : locks_) {
        any = any || !held.lost;
        held.lost = true;
    }
    return any;
}

EngineError ServerTable::LostLock(std::optional<std::int64_t> rowid) {
    EngineError error(DBIERR_LOCKED);
    if (rowid) error.With(ContextLine(kRecordLine, std::to_string(*rowid)));
    return error.With(CLINIC_TEXT("Database",
                                  "The connection to the database server was lost while the "
                                  "record was being edited: edit it again"));
}

}  // namespace dbe
