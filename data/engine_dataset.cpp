#include "data/engine_dataset.h"

#include "data/messages.h"

namespace {

// The engine's category of "no such record": the end of the table, a crack, a deleted record.
bool NotFound(DBIResult result) {
    return (result >> 8) == 0x22;
}

struct EngineRecord : TRecordBuffer {
    EngineRecord(const DbeApi& api, hDBIRec record) : api(api), record(record) {}
    ~EngineRecord() override { api.dbeFreeRecord(record); }
    const DbeApi& api;
    hDBIRec record;
};

TFieldType StoredType(const FLDDesc& desc) {
    switch (desc.iFldType) {
        case fldZSTRING:
            return TFieldType::ftString;
        case fldINT16:
            return TFieldType::ftSmallint;
        case fldUINT16:
            return TFieldType::ftWord;
        case fldINT32:
            return desc.iSubType == fldstAUTOINC ? TFieldType::ftAutoInc : TFieldType::ftInteger;
        case fldDATE:
            return TFieldType::ftDate;
        case fldBLOB:
            return desc.iSubType == fldstMEMO ? TFieldType::ftMemo : TFieldType::ftBlob;
        case fldBOOL:
            return TFieldType::ftBoolean;
        case fldFLOAT:
            return TFieldType::ftFloat;
        case fldTIME:
            return TFieldType::ftTime;
        case fldTIMESTAMP:
            return TFieldType::ftDateTime;
        default:
            return TFieldType::ftUnknown;
    }
}

const FLDDesc* FindDesc(const std::vector<FLDDesc>& descs, const TField& field) {
    for (const FLDDesc& desc : descs) {
        if (SameFieldName(desc.szName, field.FieldName())) return &desc;
    }
    return nullptr;
}

}  // namespace

TEngineDataSet::TEngineDataSet(std::string name) : TDataSet(std::move(name)) {}

TEngineDataSet::~TEngineDataSet() {
    Close();
}

hDBIRec TEngineDataSet::RecordOf(const TRecordBuffer& buffer) {
    return static_cast<const EngineRecord&>(buffer).record;
}

std::unique_ptr<TRecordBuffer> TEngineDataSet::AllocRecordBuffer() {
    hDBIRec record = nullptr;
    Check(Api().dbeAllocRecord(cursor_, &record));
    return std::make_unique<EngineRecord>(Api(), record);
}

// ---- Open and close ----

void TEngineDataSet::InternalOpen() {
    session_ = &EngineSession::Default();
    db_ = session_->AcquireDatabase(databaseName_);
    try {
        cursor_ = OpenCursor(db_);
        CURProps props{};
        Check(Api().dbeGetCursorProps(cursor_, &props));
        readOnly_ = props.bReadOnly != 0;
        BindFields();
        CursorOpened();
    } catch (...) {
        CursorClosing();
        ReleaseCursor();
        throw;
    }
}

void TEngineDataSet::InternalClose() {
    CursorClosing();
    ReleaseCursor();
}

void TEngineDataSet::ReleaseCursor() {
    if (cursor_) Api().dbeCloseCursor(cursor_);
    cursor_ = nullptr;
    filter_ = nullptr;
    filterActive_ = false;
    if (db_) session_->ReleaseDatabase(db_);
    db_ = nullptr;
    for (int i = 0; i < FieldCount(); ++i) Fields(i)->SetFieldNo(0);
    if (defaultFields_) DestroyFields();
    defaultFields_ = false;
}

// Each declared field must exist among the cursor's columns with a kind of the same group.
void TEngineDataSet::BindFields() {
    CURProps props{};
    Check(Api().dbeGetCursorProps(cursor_, &props));
    std::vector<FLDDesc> descs(props.iFields);
    Check(Api().dbeGetFieldDescs(cursor_, descs.data()));
    if (FieldCount() == 0) CreateDefaultFields(descs);
    for (int i = 0; i < FieldCount(); ++i) {
        TField* field = Fields(i);
        const FLDDesc* desc = FindDesc(descs, *field);
        if (!desc) DatabaseError(FormatMessage(msg::FieldNotFound, {field->DisplayName()}));
        const TFieldType stored = StoredType(*desc);
        if (!SameFieldGroup(field->DataType(), stored)) {
            DatabaseError(FormatMessage(
                msg::FieldTypeMismatch,
                {field->DisplayName(), FieldTypeName(field->DataType()), FieldTypeName(stored)}));
        }
        if (stored == TFieldType::ftMemo) field->SetSize(desc->iUnits1);
        field->SetFieldNo(desc->iFldNum);
    }
}

// A record set that declares no fields gets one for each column it can show.
void TEngineDataSet::CreateDefaultFields(const std::vector<FLDDesc>& descs) {
    for (const FLDDesc& desc : descs) {
        switch (StoredType(desc)) {
            case TFieldType::ftString:
                AddField<TStringField>(desc.szName, desc.iUnits1);
                break;
            case TFieldType::ftSmallint:
                AddField<TSmallintField>(desc.szName);
                break;
            case TFieldType::ftInteger:
                AddField<TIntegerField>(desc.szName);
                break;
            case TFieldType::ftAutoInc:
                AddField<TAutoIncField>(desc.szName);
                break;
            case TFieldType::ftDate:
                AddField<TDateField>(desc.szName);
                break;
            case TFieldType::ftMemo:
                AddField<TMemoField>(desc.szName, desc.iUnits1);
                break;
            default:
                break;
        }
    }
    defaultFields_ = true;
}

// ---- Reading ----

void TEngineDataSet::InternalFirst() {
    Check(Api().dbeSetToBegin(cursor_));
}
void TEngineDataSet::InternalLast() {
    Check(Api().dbeSetToEnd(cursor_));
}

void TEngineDataSet::InternalSetToRecord(TRecordBuffer& buffer) {
    Check(Api().dbeSetToRecord(cursor_, RecordOf(buffer)));
}

bool TEngineDataSet::GetRecord(TRecordBuffer& buffer, TGetMode mode) {
    const hDBIRec record = RecordOf(buffer);
    DBIResult result = DBIERR_NONE;
    switch (mode) {
        case TGetMode::gmCurrent:
            result = Api().dbeGetRecord(cursor_, dbiNOLOCK, record);
            break;
        case TGetMode::gmNext:
            result = Api().dbeGetNextRecord(cursor_, dbiNOLOCK, record);
            break;
        case TGetMode::gmPrior:
            result = Api().dbeGetPriorRecord(cursor_, record);
            break;
    }
    if (NotFound(result)) return false;
    Check(result);
    return true;
}

int TEngineDataSet::GetRecords(int count, const std::vector<TRecordBuffer*>& into) {
    std::vector<hDBIRec> records;
    records.reserve(into.size());
    for (TRecordBuffer* buffer : into) records.push_back(RecordOf(*buffer));
    std::uint32_t got = 0;
    const DBIResult result = Api().dbeGetRecords(cursor_, count, records.data(), &got);
    if (!NotFound(result)) Check(result);
    return static_cast<int>(got);
}

void TEngineDataSet::CopyRecord(const TRecordBuffer& from, TRecordBuffer& to) {
    Check(Api().dbeCopyRecord(RecordOf(from), RecordOf(to)));
}

bool TEngineDataSet::GetFieldData(const TField* field, void* buffer, std::uint32_t size) const {
    const TRecordBuffer* active = ActiveBuffer();
    if (!active || field->FieldNo() == 0) return false;
    int blank = 0;
    Check(Api().dbeGetField(cursor_, static_cast<std::uint16_t>(field->FieldNo()),
                            RecordOf(*active), buffer, size, &blank));
    return blank == 0;
}

std::string TEngineDataSet::GetBlobData(const TField* field) const {
    const TRecordBuffer* active = ActiveBuffer();
    if (!active || field->FieldNo() == 0) return {};
    const hDBIRec record = RecordOf(*active);
    const auto fieldNo = static_cast<std::uint16_t>(field->FieldNo());
    Check(Api().dbeOpenBlob(cursor_, record, fieldNo, dbiBLOBREAD));
    std::uint32_t size = 0;
    Check(Api().dbeGetBlobSize(cursor_, record, fieldNo, &size));
    std::string text(size, '\0');
    std::uint32_t read = 0;
    if (size > 0) Check(Api().dbeGetBlob(cursor_, record, fieldNo, 0, size, text.data(), &read));
    text.resize(read);
    return text;
}

int TEngineDataSet::GetRecordCount() {
    std::uint32_t count = 0;
    if (Api().dbeGetExactRecordCount(cursor_, &count) == DBIERR_NONE)
        return static_cast<int>(count);
    if (Api().dbeGetRecordCount(cursor_, &count) == DBIERR_NONE) return static_cast<int>(count);
    return -1;
}

std::optional<double> TEngineDataSet::InternalKeyFraction() {
    double fraction = 0;
    const DBIResult result = Api().dbeGetKeyFraction(cursor_, &fraction);
    if (result == DBIERR_NOTSUPPORTED) return std::nullopt;
    Check(result);
    return fraction;
}

bool TEngineDataSet::InternalSetToKeyFraction(double fraction) {
    const DBIResult result = Api().dbeSetToKeyFraction(cursor_, fraction);
    if (result == DBIERR_NOTSUPPORTED) return false;
    Check(result);
    return true;
}

// ---- Writing ----

void TEngineDataSet::InternalInitRecord(TRecordBuffer& buffer) {
    Check(Api().dbeInitRecord(cursor_, RecordOf(buffer)));
}

void TEngineDataSet::WriteFieldData(TRecordBuffer& buffer, TField* field, const void* data) {
    Check(Api().dbePutField(cursor_, static_cast<std::uint16_t>(field->FieldNo()), RecordOf(buffer),
                            data));
}

void TEngineDataSet::WriteBlobData(TRecordBuffer& buffer, TField* field, const std::string& text) {
    const hDBIRec record = RecordOf(buffer);
    const auto fieldNo = static_cast<std::uint16_t>(field->FieldNo());
    Check(Api().dbeOpenBlob(cursor_, record, fieldNo, dbiBLOBWRITE));
    Check(Api().dbeTruncateBlob(cursor_, record, fieldNo, 0));
    if (!text.empty()) {
        Check(Api().dbePutBlob(cursor_, record, fieldNo, 0, static_cast<std::uint32_t>(text.size()),
                               text.data()));
    }
}

void TEngineDataSet::InternalEdit(TRecordBuffer& buffer) {
    const hDBIRec record = RecordOf(buffer);
    Check(Api().dbeSetToRecord(cursor_, record));
    Check(Api().dbeGetRecord(cursor_, dbiWRITELOCK, record));
}

void TEngineDataSet::InternalPost(TRecordBuffer& buffer, bool inserting) {
    const hDBIRec record = RecordOf(buffer);
    if (inserting) {
        Check(Api().dbeInsertRecord(cursor_, dbiNOLOCK, record));
    } else {
        Check(Api().dbeModifyRecord(cursor_, record, 1));
    }
}

void TEngineDataSet::InternalCancel() {
    Api().dbeRelRecordLock(cursor_, 0);
}

// A record that is already gone counts as deleted.
void TEngineDataSet::InternalDelete(TRecordBuffer& buffer) {
    const hDBIRec record = RecordOf(buffer);
    Check(Api().dbeSetToRecord(cursor_, record));
    const DBIResult result = Api().dbeDeleteRecord(cursor_, record);
    if (!NotFound(result)) Check(result);
    if (State() == TDataSetState::dsEdit) Api().dbeRelRecordLock(cursor_, 0);
}

void TEngineDataSet::InternalRefresh() {
    Check(Api().dbeForceReread(cursor_));
}
