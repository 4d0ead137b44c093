// The cursor's writes: each one transaction of the table's store, durable when it returns.
#include <exception>

#include "engine/cursor.h"
#include "engine/errors.h"

namespace dbe {

namespace {

// The fields a write stores: every readable field but the record number, optionally only
// those the caller wrote, and only memos whose content the buffer holds.
std::vector<int> StoredFields(const Record& record, bool writtenOnly) {
    std::vector<int> fields;
    const Layout& layout = record.GetLayout();
    for (std::size_t i = 0; i < layout.fields.size(); ++i) {
        const Field& field = layout.fields[i];
        const int index = static_cast<int>(i);
        if (field.IsAutoInc() || !field.Readable()) continue;
        if (field.IsMemo() && !record.MemoLoaded(index)) continue;
        if (writtenOnly ? record.Written(index) : !IsNull(record.StorageValue(index))) {
            fields.push_back(index);
        }
    }
    return fields;
}

std::string ColumnName(const Record& record, int field) {
    return sqlitekit::QuoteIdentifier(record.GetLayout().fields[field].column);
}

}  // namespace

void Cursor::RequireWritable() const {
    if (view_.readOnly)
        throw EngineError(DBIERR_TABLEREADONLY, ContextLine(kTableLine, view_.table->Path()));
}

std::optional<Record> Cursor::ReadStored(std::int64_t rowid, const Record& record) {
    std::optional<Record> stored;
    FetchAny({Region{Where{"rowid = ?", {rowid}}, "rowid"}}, 1,
             [&](const Statement& row, std::size_t) {
                 stored.emplace(record);
                 stored->Load(row, readFields_, order_.key);
             });
    return stored;
}

// The record comes back from the write itself: a read after the commit could fail, and a post
// whose record is stored would then look failed and be posted twice.
std::optional<Record> Cursor::WriteReturning(const std::string& sql,
                                             const std::vector<Value>& values,
                                             const Record& record) {
    std::optional<Record> stored;
    view_.table->Write([&] {
        StatementUse statement(
            view_.table->Prepare(sql + " RETURNING rowid, " + order_.select + fieldList_));
        BindAll(*statement, values);
        while (statement->Step()) {
            stored.emplace(record);
            stored->Load(*statement, readFields_, order_.key);
        }
    });
    return stored;
}

void Cursor::Insert(Record& record, bool lock) {
    RequireWritable();
    std::string columns, params;
    std::vector<Value> values;
    for (int field : StoredFields(record, false)) {
        columns += (columns.empty() ? "" : ", ") + ColumnName(record, field);
        params += params.empty() ? "?" : ", ?";
        values.push_back(record.StorageValue(field));
    }
    const std::string sql =
        "INSERT INTO " + view_.table->QuotedTable() +
        (columns.empty() ? " DEFAULT VALUES" : " (" + columns + ") VALUES (" + params + ")");
    record = *WriteReturning(sql, values, record);
    position_ = {At::kRecord, record.GetOrigin()->key};
    if (lock) locks_->Lock(position_.key.rowid);
}

void Cursor::Modify(Record& record, bool freeLock) {
    RequireWritable();
    if (!record.GetOrigin()) throw EngineError(DBIERR_NOCURRREC);
    const std::int64_t rowid = record.GetOrigin()->key.rowid;
    // Another cursor's lock on the record forbids the write.
    ScopedRecordLock lock(*locks_, rowid);
    std::string sets;
    std::vector<Value> values;
    for (int field : StoredFields(record, true)) {
        sets += (sets.empty() ? "" : ", ") + ColumnName(record, field) + " = ?";
        values.push_back(record.StorageValue(field));
    }
    values.emplace_back(std::in_place_type<std::int64_t>, rowid);
    const std::optional<Record> stored =
        sets.empty() ? ReadStored(rowid, record)
                     : WriteReturning("UPDATE " + view_.table->QuotedTable() + " SET " + sets +
                                          " WHERE rowid = ?",
                                      values, record);
    // Only once the record is stored: a failed write keeps the lock that the edit holds, so
    // that posting again cannot overwrite a change another seat made meanwhile.
    if (freeLock) lock.Release();
    if (!stored) throw EngineError(DBIERR_RECDELETED);
    record = *stored;
    FollowRecord(rowid);
}

// The cursor follows the record while it stays visible, else keeps its old place. The record is
// stored by now: when the server cannot be asked, the cursor keeps its place and the post stands.
void Cursor::FollowRecord(std::int64_t rowid) {
    if (position_.at == At::kBegin || position_.at == At::kEnd || position_.key.rowid != rowid) {
        return;
    }
    position_.at = At::kCrack;
    try {
        if (const std::optional<Key> key = FindVisible(rowid, nullptr)) {
            position_ = {At::kRecord, *key};
        }
    } catch (const std::exception&) {
        // The storage's failure shows on the cursor's next read.
    }
}

void Cursor::Delete() {
    RequireWritable();
    if (position_.at != At::kRecord) throw EngineError(DBIERR_NOCURRREC);
    const std::int64_t rowid = position_.key.rowid;
    ScopedRecordLock lock(*locks_, rowid);
    lock.Release();
    bool deleted = false;
    view_.table->Write([&] {
        StatementUse statement(view_.table->Prepare("DELETE FROM " + view_.table->QuotedTable() +
                                                    " WHERE rowid = ? RETURNING rowid"));
        statement->BindInt(1, rowid);
        while (statement->Step()) deleted = true;
    });
    position_.at = At::kCrack;
    if (!deleted) throw EngineError(DBIERR_RECDELETED);
}

void Cursor::ReleaseLock(bool all) {
    if (all) return locks_->UnlockAll();
    if (!locks_->Unlock(CurrentRowid())) throw EngineError(DBIERR_NOTLOCKED);
}

}  // namespace dbe
