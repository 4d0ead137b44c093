// Entry points on cursors: description, order, range and filters, positioning, reading and
// counting.
#include <cstdlib>
#include <cstring>

#include "engine/answer_plan.h"
#include "engine/api_support.h"
#include "engine/filter.h"

using namespace dbe;
using namespace dbe::api;

namespace {

DBIResult Step(hDBICur cur, bool forward, int lock, hDBIRec rec) {
    return CursorCall(cur, [&](Cursor& cursor) {
        Record* record = rec != nullptr ? &RecordFor(cursor, rec) : nullptr;
        if (cursor.Move(forward, {record}) == 0) {
            throw EngineError(forward ? DBIERR_EOF : DBIERR_BOF);
        }
        if (lock == dbiWRITELOCK) cursor.LockCurrent();
    });
}

}  // namespace

extern "C" {

DBIResult dbeGetCursorProps(hDBICur cur, CURProps* props) {
    return CursorCall(cur, [&](Cursor& cursor) {
        Require(props);
        *props = CURProps{};
        CopyName(props->szName, cursor.GetView().name);
        props->iFields = static_cast<uint16_t>(cursor.GetLayout().fields.size());
        props->bReadOnly = cursor.GetView().readOnly;
        props->iIndexes = static_cast<uint16_t>(cursor.GetView().indexes.size());
    });
}

DBIResult dbeGetFieldDescs(hDBICur cur, FLDDesc* descs) {
    return CursorCall(cur, [&](Cursor& cursor) {
        Require(descs);
        for (const Field& field : cursor.GetLayout().fields) *descs++ = field.desc;
    });
}

DBIResult dbeGetIndexDescs(hDBICur cur, IDXDesc* descs) {
    return CursorCall(cur, [&](Cursor& cursor) {
        Require(descs);
        for (const IndexDef& index : cursor.GetView().indexes) *descs++ = index.desc;
    });
}

DBIResult dbeGetLdName(hDBICur cur, char* name) {
    return CursorCall(cur, [&](Cursor&) {
        Require(name);
        std::strcpy(name, "GBK");
    });
}

DBIResult dbeSwitchToIndex(hDBICur cur, const char* indexName) {
    return CursorCall(
        cur, [&](Cursor& cursor) { cursor.SwitchToIndex(indexName != nullptr ? indexName : ""); });
}

DBIResult dbeSetRange(hDBICur cur, hDBIRec lowKey, hDBIRec highKey) {
    return CursorCall(cur, [&](Cursor& cursor) {
        const Record* low = lowKey != nullptr ? &RecordFor(cursor, lowKey) : nullptr;
        const Record* high = highKey != nullptr ? &RecordFor(cursor, highKey) : nullptr;
        cursor.SetRange(low, high);
    });
}

DBIResult dbeResetRange(hDBICur cur) {
    return CursorCall(cur, [](Cursor& cursor) { cursor.ResetRange(); });
}

DBIResult dbeAddFilter(hDBICur cur, const void* expression, uint32_t length, hDBIFilter* filter) {
    return CursorCall(cur, [&](Cursor& cursor) {
        Require(expression);
        Require(filter);
        const Narrowing narrow = [&](const Field& field, std::string_view text, bool pattern) {
            return CharacterNarrowing(*cursor.GetView().table, field.column, text, pattern);
        };
        Where condition =
            TranslateFilter(cursor.GetLayout(), static_cast<const DBIFilterNode*>(expression),
                            length, cursor.GetView().table->Dialect(), narrow);
        *filter = reinterpret_cast<hDBIFilter>(cursor.AddFilter(std::move(condition)));
    });
}

DBIResult dbeActivateFilter(hDBICur cur, hDBIFilter filter) {
    return CursorCall(cur, [&](Cursor& cursor) { cursor.SetFilterActive(filter, true); });
}

DBIResult dbeDeactivateFilter(hDBICur cur, hDBIFilter filter) {
    return CursorCall(cur, [&](Cursor& cursor) { cursor.SetFilterActive(filter, false); });
}

DBIResult dbeDropFilter(hDBICur cur, hDBIFilter filter) {
    return CursorCall(cur, [&](Cursor& cursor) { cursor.DropFilter(filter); });
}

DBIResult dbeSetToBegin(hDBICur cur) {
    return CursorCall(cur, [](Cursor& cursor) { cursor.SetToBegin(); });
}

DBIResult dbeSetToEnd(hDBICur cur) {
    return CursorCall(cur, [](Cursor& cursor) { cursor.SetToEnd(); });
}

DBIResult dbeSetToRecord(hDBICur cur, hDBIRec rec) {
    return CursorCall(cur, [&](Cursor& cursor) { cursor.SetToRecord(RecordFor(cursor, rec)); });
}

DBIResult dbeGetRecord(hDBICur cur, int lock, hDBIRec rec) {
    return CursorCall(cur, [&](Cursor& cursor) {
        Record* record = rec != nullptr ? &RecordFor(cursor, rec) : nullptr;
        cursor.GetRecord(lock == dbiWRITELOCK, record);
    });
}

DBIResult dbeGetNextRecord(hDBICur cur, int lock, hDBIRec rec) {
    return Step(cur, true, lock, rec);
}

DBIResult dbeGetPriorRecord(hDBICur cur, hDBIRec rec) {
    return Step(cur, false, dbiNOLOCK, rec);
}

DBIResult dbeGetRecords(hDBICur cur, int32_t count, hDBIRec* recs, uint32_t* got) {
    return CursorCall(cur, [&](Cursor& cursor) {
        Require(got);
        *got = 0;
        if (count == 0 || recs == nullptr) throw EngineError(DBIERR_INVALIDPARAM);
        std::vector<Record*> records;
        for (int64_t i = 0; i < std::abs(int64_t{count}); ++i) {
            records.push_back(&RecordFor(cursor, recs[i]));
        }
        *got = static_cast<uint32_t>(cursor.Move(count > 0, records));
        if (*got == 0) throw EngineError(count > 0 ? DBIERR_EOF : DBIERR_BOF);
    });
}

DBIResult dbeGetRecordForKey(hDBICur cur, uint16_t fields, uint16_t partialLen, hDBIRec key,
                             hDBIRec rec) {
    return CursorCall(cur, [&](Cursor& cursor) {
        const Record& keyRecord = RecordFor(cursor, key);
        Record* record = rec != nullptr ? &RecordFor(cursor, rec) : nullptr;
        cursor.GetRecordForKey(fields, partialLen, keyRecord, record);
    });
}

DBIResult dbeRelRecordLock(hDBICur cur, int all) {
    return CursorCall(cur, [&](Cursor& cursor) { cursor.ReleaseLock(all != 0); });
}

// Cursors cache no rows, so every read already sees the file as it is.
DBIResult dbeForceReread(hDBICur cur) {
    return CursorCall(cur, [](Cursor&) {});
}

DBIResult dbeGetExactRecordCount(hDBICur cur, uint32_t* count) {
    return CursorCall(cur, [&](Cursor& cursor) {
        Require(count);
        *count = cursor.ExactCount();
    });
}

DBIResult dbeGetRecordCount(hDBICur cur, uint32_t* count) {
    return CursorCall(cur, [&](Cursor& cursor) {
        Require(count);
        *count = cursor.EstimatedCount();
    });
}

DBIResult dbeGetKeyFraction(hDBICur cur, double* fraction) {
    return CursorCall(cur, [&](Cursor& cursor) {
        Require(fraction);
        const std::optional<double> at = cursor.KeyFraction();
        if (!at) throw EngineError(DBIERR_NOTSUPPORTED, "The cursor's order has no numeric key");
        *fraction = *at;
    });
}

DBIResult dbeSetToKeyFraction(hDBICur cur, double fraction) {
    return CursorCall(cur, [&](Cursor& cursor) { cursor.SetToKeyFraction(fraction); });
}

}  // extern "C"
