#include "engine/database.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "base/gbk_text.h"
#include "engine/answer_plan.h"
#include "engine/errors.h"
#include "engine/filter.h"
#include "engine/pgkit/server_layout.h"
#include "engine/pgkit/storage_config.h"
#include "engine/query.h"
#include "engine/server_errors.h"
#include "engine/server_table.h"
#include "engine/sqlitekit/paths.h"
#include "engine/table_file.h"

namespace dbe {

namespace {

// The path that names a file however it was reached, so that one file has one connection.
std::string CanonicalPath(const std::string& path) {
    std::unique_ptr<char, decltype(&free)> resolved(realpath(path.c_str(), nullptr), &free);
    return resolved ? std::string(resolved.get()) : path;
}

std::string BaseName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// The answer's fields: the named table fields, numbered in the order asked for.
std::shared_ptr<const Layout> AnswerLayout(const Layout& table,
                                           const std::vector<std::string>& names) {
    auto layout = std::make_shared<Layout>();
    for (const std::string& name : names) {
        const int field = table.Find(name);
        if (field < 0) throw EngineError(DBIERR_QRYNOFIELD, ContextLine(kFieldLine, name));
        layout->fields.push_back(table.fields[field]);
        layout->fields.back().desc.iFldNum = static_cast<std::uint16_t>(layout->fields.size());
    }
    return layout;
}

std::string QuotedColumn(const Layout& table, const std::string& name) {
    const int field = table.Find(name);
    if (field < 0) throw EngineError(DBIERR_QRYNOFIELD, ContextLine(kFieldLine, name));
    return sqlitekit::QuoteIdentifier(table.fields[field].column);
}

Where AnswerCondition(const Layout& table, const std::optional<LikeCondition>& like) {
    Where where;
    if (!like) return where;
    const std::string column = QuotedColumn(table, like->field);
    if (like->pinyin) {
        where.And(std::string(kPinyinFunction) + "(" + column + ", ?)", {*like->literal});
    } else if (like->literal) {
        where.And(column + " LIKE ?", {*like->literal});
    } else {
        where.And(column + " LIKE " + QuotedColumn(table, like->otherField));
    }
    return where;
}

// Text orders by GBK; the record number by itself.
Order AnswerOrder(const Layout& table, const Layout& answer,
                  const std::vector<std::string>& orderBy, const SqlDialect& dialect) {
    if (orderBy.size() > 1) {
        throw EngineError(DBIERR_NOTSUPPORTED, "A query can order by one field only");
    }
    if (orderBy.empty()) return Order::ByRowid(answer.AutoIncField());
    const Field& field = table.fields[table.Find(orderBy[0])];
    const int answerField = answer.Find(field.column);
    if (field.IsAutoInc()) return Order::ByRowid(answerField);
    const bool text = field.IsString() || field.IsMemo();
    return Order::ByKey(QuotedColumn(table, orderBy[0]), text ? gbk::kCollation : "", answerField,
                        dialect);
}

// A directory or file that this user may not read (`access` as for access()) is said to be so,
// not taken for missing; one that is missing is left to the caller.
void RequireReadable(const std::string& path, int access, const std::string& what) {
    if (::access(path.c_str(), access) == 0 || errno == ENOENT || errno == ENOTDIR) return;
    const int error = errno;
    throw EngineError(DBIERR_IO).With(
        DBIERR_IO, error, what + " cannot be read: " + path + ": " + std::strerror(error));
}

std::optional<std::string> ServerFor(const std::string& dir) {
    try {
        return StorageConfig::Load().ServerFor(dir);
    } catch (const ConfigError& error) {
        throw EngineError(DBIERR_ENVSTART, error.what());
    }
}

}  // namespace

void Database::SetDirectory(const std::string& dir) {
    if (std::optional<std::string> server = ServerFor(dir)) {
        server_ = std::move(server);
        directory_ = dir;
        return;
    }
    const std::string resolved = ResolveDirectory(dir);
    RequireReadable(resolved, R_OK | X_OK, "Directory");
    if (!IsDirectory(resolved))
        throw EngineError(DBIERR_NOTFOUND_FILE, ContextLine(kDirectoryLine, resolved));
    directory_ = resolved;
    server_.reset();
}

std::shared_ptr<Store> Database::Share(const std::string& path) {
    const std::string key = CanonicalPath(path);
    if (auto shared = tables_[key].lock()) return shared;
    try {
        std::optional<tablecrypt::UnlockedFile> unlocked;
        if (tablecrypt::IsProtected(path)) unlocked = keys_.Unlock(path);
        auto table = std::make_shared<TableFile>(path, unlocked);
        tables_[key] = table;
        return table;
    } catch (const sqlitekit::Error& error) {
        throw FromSqlite(error).With(ContextLine(kTableLine, path));
    } catch (const TableInUse& error) {
        throw EngineError(DBIERR_BUSY, error.what());
    } catch (const std::system_error& error) {
        throw EngineError(DBIERR_IO)
            .With(DBIERR_IO, error.code().value(), error.what())
            .With(ContextLine(kTableLine, path));
    } catch (EngineError& error) {
        error.With(ContextLine(kTableLine, path));
        throw;
    }
}

std::shared_ptr<Store> Database::ShareServerTable(const std::string& name) {
    const std::string table = pgkit::ServerName(FileStem(name));
    const std::string key = "server:" + table;
    if (auto shared = tables_[key].lock()) return shared;
    const std::string label = table + " @ " + *server_;
    try {
        auto store = std::make_shared<ServerTable>(*server_, keys_, table, label);
        tables_[key] = store;
        return store;
    } catch (const pgkit::Error& error) {
        throw FromServer(error).With(ContextLine(kTableLine, label));
    } catch (EngineError& error) {
        error.With(ContextLine(kTableLine, label));
        throw;
    }
}

std::unique_ptr<Cursor> Database::OpenTable(const std::string& name, const std::string& indexName,
                                            bool readOnly) {
    if (server_) {
        std::shared_ptr<Store> table = ShareServerTable(name);
        readOnly = readOnly || readOnly_;
        if (!readOnly && table->IsReadOnly())
            throw EngineError(DBIERR_READONLY, ContextLine(kTableLine, table->Path()));
        return MakeCursor(std::move(table), name, indexName, readOnly);
    }
    const std::optional<std::string> path = FindTableFile(directory_, name);
    if (!path) {
        throw EngineError(DBIERR_NOTFOUND_FILE,
                          ContextLine(kTableLine, JoinPath(directory_, name)));
    }
    RequireReadable(*path, R_OK, "Table");
    readOnly = readOnly || readOnly_;
    if (!readOnly && !CanWrite(*path))
        throw EngineError(DBIERR_READONLY, ContextLine(kTableLine, *path));
    std::shared_ptr<Store> table = Share(*path);
    if (!readOnly && table->IsReadOnly())
        throw EngineError(DBIERR_READONLY, ContextLine(kTableLine, *path));
    return MakeCursor(std::move(table), BaseName(*path), indexName, readOnly);
}

std::unique_ptr<Cursor> Database::MakeCursor(std::shared_ptr<Store> table, const std::string& name,
                                             const std::string& indexName, bool readOnly) {
    const Schema& schema = table->GetSchema();
    View view{table, schema.layout, schema.indexes, Order::ByRowid(schema.layout->AutoIncField()),
              {},    name,          readOnly,       {}};
    auto cursor = std::make_unique<Cursor>(std::move(view));
    if (!indexName.empty()) cursor->SwitchToIndex(indexName);
    return cursor;
}

std::shared_ptr<Store> Database::QueriedTable(const std::string& name) {
    if (server_) {
        try {
            return ShareServerTable(name);
        } catch (const EngineError& error) {
            if (error.Code() != DBIERR_NOTFOUND_FILE) throw;
            throw EngineError(DBIERR_QRYNOTABLE, ContextLine(kTableLine, name));
        }
    }
    std::optional<std::string> path = FindTableFile(directory_, name);
    if (!path) path = FindTableFile(directory_, name + ".DB");
    if (!path) throw EngineError(DBIERR_QRYNOTABLE, ContextLine(kTableLine, name));
    RequireReadable(*path, R_OK, "Table");
    return Share(*path);
}

View Database::PrepareQuery(const std::string& text) {
    const ParsedQuery query = ParseQuery(text);
    std::shared_ptr<Store> table = QueriedTable(query.table);
    const Layout& fields = *table->GetSchema().layout;
    std::shared_ptr<const Layout> answer = AnswerLayout(fields, query.fields);
    for (const std::string& name : query.orderBy) QuotedColumn(fields, name);
    Order order = AnswerOrder(fields, *answer, query.orderBy, table->Dialect());
    View view{table, answer, {}, std::move(order), AnswerCondition(fields, query.where),
              "",    true,   {}};
    if (query.where && query.where->literal) {
        const int field = fields.Find(query.where->field);
        if (query.where->pinyin) {
            PlanPinyin(view, field, *query.where->literal);
        } else {
            PlanAnswer(view, field, *query.where->literal);
        }
    }
    return view;
}

}  // namespace dbe
