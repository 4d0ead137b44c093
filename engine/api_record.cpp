// Entry points on record buffers: allocation, fields, memos and the writes that store them.
#include "engine/api_support.h"

using namespace dbe;
using namespace dbe::api;

namespace {

// The index of field `fieldNo` of `cursor`, which must be a memo.
int MemoField(const Cursor& cursor, uint16_t fieldNo) {
    const int field = FieldIndex(cursor, fieldNo);
    const Field& desc = cursor.GetLayout().fields[field];
    if (!desc.IsMemo())
        throw EngineError(DBIERR_NOTSUPPORTED, ContextLine(kFieldLine, desc.Name()));
    return field;
}

// The memo field `fieldNo` of `cursor`, its stored content loaded into `record`.
int LoadedMemo(Cursor& cursor, Record& record, uint16_t fieldNo) {
    const int field = MemoField(cursor, fieldNo);
    cursor.LoadMemo(record, field);
    return field;
}

}  // namespace

extern "C" {

DBIResult dbeAllocRecord(hDBICur cur, hDBIRec* rec) {
    return CursorCall(cur, [&](Cursor& cursor) {
        Require(rec);
        auto record = std::make_unique<Record>(cursor.GetView().layout);
        *rec = reinterpret_cast<hDBIRec>(Started().records.Add(std::move(record)));
    });
}

DBIResult dbeFreeRecord(hDBIRec rec) {
    return Call([&] { Started().records.Remove(rec); });
}

DBIResult dbeCopyRecord(hDBIRec from, hDBIRec to) {
    return Call([&] {
        const Record& source = Started().records.Get(from);
        Record& target = Started().records.Get(to);
        if (!source.GetLayout().SameShape(target.GetLayout())) {
            throw EngineError(DBIERR_INVALIDPARAM, "The record buffers belong to other tables");
        }
        target.CopyFrom(source);
    });
}

DBIResult dbeInitRecord(hDBICur cur, hDBIRec rec) {
    return CursorCall(cur, [&](Cursor& cursor) { RecordFor(cursor, rec).Clear(); });
}

DBIResult dbeGetField(hDBICur cur, uint16_t fieldNo, hDBIRec rec, void* dest, uint32_t size,
                      int* blank) {
    return CursorCall(cur, [&](Cursor& cursor) {
        Record& record = RecordFor(cursor, rec);
        const int field = FieldIndex(cursor, fieldNo);
        if (cursor.GetLayout().fields[field].IsMemo()) cursor.LoadMemo(record, field);
        record.Get(field, dest, size, blank);
    });
}

DBIResult dbePutField(hDBICur cur, uint16_t fieldNo, hDBIRec rec, const void* src) {
    return CursorCall(
        cur, [&](Cursor& cursor) { RecordFor(cursor, rec).Put(FieldIndex(cursor, fieldNo), src); });
}

DBIResult dbeOpenBlob(hDBICur cur, hDBIRec rec, uint16_t fieldNo, int) {
    return CursorCall(cur,
                      [&](Cursor& cursor) { LoadedMemo(cursor, RecordFor(cursor, rec), fieldNo); });
}

DBIResult dbeGetBlobSize(hDBICur cur, hDBIRec rec, uint16_t fieldNo, uint32_t* size) {
    return CursorCall(cur, [&](Cursor& cursor) {
        Require(size);
        Record& record = RecordFor(cursor, rec);
        *size = record.BlobSize(LoadedMemo(cursor, record, fieldNo));
    });
}

DBIResult dbeGetBlob(hDBICur cur, hDBIRec rec, uint16_t fieldNo, uint32_t offset, uint32_t length,
                     void* dest, uint32_t* read) {
    return CursorCall(cur, [&](Cursor& cursor) {
        Require(read);
        if (length > 0) Require(dest);
        Record& record = RecordFor(cursor, rec);
        *read = record.ReadBlob(LoadedMemo(cursor, record, fieldNo), offset, length, dest);
    });
}

DBIResult dbePutBlob(hDBICur cur, hDBIRec rec, uint16_t fieldNo, uint32_t offset, uint32_t length,
                     const void* src) {
    return CursorCall(cur, [&](Cursor& cursor) {
        if (length > 0) Require(src);
        Record& record = RecordFor(cursor, rec);
        record.WriteBlob(LoadedMemo(cursor, record, fieldNo), offset, length, src);
    });
}

DBIResult dbeTruncateBlob(hDBICur cur, hDBIRec rec, uint16_t fieldNo, uint32_t length) {
    return CursorCall(cur, [&](Cursor& cursor) {
        Record& record = RecordFor(cursor, rec);
        record.TruncateBlob(LoadedMemo(cursor, record, fieldNo), length);
    });
}

DBIResult dbeFreeBlob(hDBICur cur, hDBIRec rec, uint16_t fieldNo) {
    return CursorCall(
        cur, [&](Cursor& cursor) { RecordFor(cursor, rec).FreeMemo(MemoField(cursor, fieldNo)); });
}

DBIResult dbeInsertRecord(hDBICur cur, int lock, hDBIRec rec) {
    return CursorCall(
        cur, [&](Cursor& cursor) { cursor.Insert(RecordFor(cursor, rec), lock == dbiWRITELOCK); });
}

DBIResult dbeModifyRecord(hDBICur cur, hDBIRec rec, int freeLock) {
    return CursorCall(
        cur, [&](Cursor& cursor) { cursor.Modify(RecordFor(cursor, rec), freeLock != 0); });
}

DBIResult dbeDeleteRecord(hDBICur cur, hDBIRec) {
    return CursorCall(cur, [](Cursor& cursor) { cursor.Delete(); });
}

}  // extern "C"
