#include "data/table.h"

#include <cstring>
#include <sstream>

#include "data/session.h"

namespace {

// Copies a value field to field, converted by the destination's kind.
void AssignValue(TField& destination, const TField& source) {
    if (source.IsNull()) return destination.Clear();
    switch (destination.DataType()) {
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
        case TFieldType::ftAutoInc:
            return destination.SetAsInteger(source.AsInteger());
        case TFieldType::ftDate:
            return destination.SetAsDateTime(source.AsDateTime());
        default:
            return destination.SetAsString(source.AsString());
    }
}

// The engine's bytes of a field of the current record, as the engine hands them over.
std::optional<std::string> RawValue(const TField& field) {
    std::string raw(static_cast<std::size_t>(field.Size()) * 2 + 8, '\0');
    if (!field.DataSet()->GetFieldData(&field, raw.data(),
                                       static_cast<std::uint32_t>(raw.size()))) {
        return std::nullopt;
    }
    raw.resize(field.DataType() == TFieldType::ftString ? std::strlen(raw.c_str()) : 4);
    return raw;
}

}  // namespace

TTable::TTable(std::string name) : TEngineDataSet(std::move(name)) {}

TTable::~TTable() {
    Close();
}

// Opens read-write and shared; a table that cannot be written is opened read-only instead.
DBIResult TTable::OpenTable(hDBIDb db, hDBICur& cursor) const {
    const DBIResult result = Api().dbeOpenTable(db, tableName_.c_str(), nullptr, dbiREADWRITE,
                                                dbiOPENSHARED, xltFIELD, &cursor);
    if (result != DBIERR_READONLY) return result;
    return Api().dbeOpenTable(db, tableName_.c_str(), nullptr, dbiREADONLY, dbiOPENSHARED, xltFIELD,
                              &cursor);
}

// A table protected by a password opens once the user has given it (TSession).
hDBICur TTable::OpenCursor(hDBIDb db) {
    hDBICur cursor = nullptr;
    Session().CheckWithPasswords([&] { return OpenTable(db, cursor); });
    char locale[DBIMAXNAMELEN + 1] = {};
    DBIResult result = Api().dbeGetLdName(cursor, locale);
    if (result == DBIERR_NONE && !indexName_.empty()) {
        result = Api().dbeSwitchToIndex(cursor, indexName_.c_str());
    }
    if (result != DBIERR_NONE) {
        EDBEngineError error = EngineError(result);
        Api().dbeCloseCursor(cursor);
        throw error;
    }
    return cursor;
}

void TTable::CursorOpened() {
    appliedKey_.reset();
    indexFields_ = ReadIndexFields();
    if (LinkedToMaster()) ApplyRange(MasterKey());
}

void TTable::CursorClosing() {
    appliedKey_.reset();
    indexFields_.clear();
}

// ---- Master and detail ----

bool TTable::LinkedToMaster() const {
    return MasterSource() && MasterSource()->DataSet() && !masterFields_.empty();
}

std::vector<TField*> TTable::MasterFieldList() const {
    std::vector<TField*> fields;
    std::stringstream names(masterFields_);
    std::string name;
    while (std::getline(names, name, ';')) {
        if (!name.empty()) fields.push_back(MasterSource()->DataSet()->FieldByName(name));
    }
    return fields;
}

bool TTable::IsMasterField(const TField* field) const {
    for (const TField* master : MasterFieldList()) {
        if (master == field) return true;
    }
    return false;
}

// The fields of the current index, leading field first, as far as this record set declares them.
std::vector<TField*> TTable::ReadIndexFields() const {
    CURProps props{};
    Check(Api().dbeGetCursorProps(Cursor(), &props));
    std::vector<IDXDesc> indexes(props.iIndexes);
    Check(Api().dbeGetIndexDescs(Cursor(), indexes.data()));
    std::vector<TField*> fields;
    for (const IDXDesc& index : indexes) {
        if (!SameFieldName(index.szName, indexName_)) continue;
        for (int i = 0; i < index.iFldsInKey; ++i) {
            for (int f = 0; f < FieldCount(); ++f) {
                if (Fields(f)->FieldNo() == index.aiKeyFld[i]) fields.push_back(Fields(f));
            }
        }
    }
    return fields;
}

TTable::Key TTable::MasterKey() const {
    Key key;
    for (const TField* field : MasterFieldList()) key.push_back(RawValue(*field));
    return key;
}

// Re-ranges the detail when the master's key changed.
void TTable::MasterChanged() {
    if (!Active() || !LinkedToMaster()) return;
    if (MasterSource()->DataSet()->State() == TDataSetState::dsSetKey) return;
    CheckBrowseMode();
    const Key key = MasterKey();
    if (appliedKey_ == key) return;
    ApplyRange(key);
    First();
}

void TTable::ApplyRange(const Key& key) {
    std::unique_ptr<TRecordBuffer> bound = AllocRecordBuffer();
    InternalInitRecord(*bound);
    WriteKey(*bound, key);
    Check(Api().dbeSetRange(Cursor(), RecordOf(*bound), RecordOf(*bound)));
    appliedKey_ = key;
}

void TTable::WriteKey(TRecordBuffer& buffer, const Key& key) {
    for (std::size_t i = 0; i < key.size() && i < indexFields_.size(); ++i) {
        Check(Api().dbePutField(Cursor(), static_cast<std::uint16_t>(indexFields_[i]->FieldNo()),
                                RecordOf(buffer), key[i] ? key[i]->data() : nullptr));
    }
}

// A visit inserted under a patient that is itself new would get no patient number: the
// patient is posted first, so that the visit gets his number.
void TTable::PrepareInsert() {
    if (LinkedToMaster() && MasterSource()->DataSet()->State() == TDataSetState::dsInsert) {
        MasterSource()->DataSet()->Post();
    }
}

void TTable::InitNewRecord() {
    if (!LinkedToMaster()) return;
    const std::vector<TField*> masters = MasterFieldList();
    for (std::size_t i = 0; i < masters.size() && i < indexFields_.size(); ++i) {
        AssignValue(*indexFields_[i], *masters[i]);
    }
}

void TTable::MasterLink::DataEvent(TDataEvent event, TField* field, int) {
    switch (event) {
        case TDataEvent::deDataSetChange:
        case TDataEvent::deDataSetScroll:
        case TDataEvent::deRecordChange:
            table_.MasterChanged();
            break;
        case TDataEvent::deFieldChange:
            if (table_.IsMasterField(field)) table_.MasterChanged();
            break;
        case TDataEvent::deCheckBrowseMode:
            if (table_.Active()) table_.CheckBrowseMode();
            break;
        default:
            break;
    }
}
