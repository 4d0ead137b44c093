#include "data/fields.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "base/gbk_text.h"
#include "base/short_date_format.h"
#include "data/dataset.h"
#include "data/messages.h"

namespace {

// A decimal integer with an optional sign; nothing else, not even blanks.
bool ParseDecimal(const std::string& text, std::int64_t& value) {
    std::size_t i = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    if (i == text.size()) return false;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > std::int64_t{1} << 32) return false;
    }
    value = text[0] == '-' ? -magnitude : magnitude;
    return value >= std::numeric_limits<std::int32_t>::min() &&
           value <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace

bool SameFieldName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

const char* FieldTypeName(TFieldType type) {
    switch (type) {
        case TFieldType::ftString:
            return "String";
        case TFieldType::ftSmallint:
            return "SmallInt";
        case TFieldType::ftInteger:
            return "Integer";
        case TFieldType::ftAutoInc:
            return "AutoInc";
        case TFieldType::ftDate:
            return "Date";
        case TFieldType::ftMemo:
            return "Memo";
        case TFieldType::ftWord:
            return "Word";
        case TFieldType::ftBoolean:
            return "Boolean";
        case TFieldType::ftFloat:
            return "Float";
        case TFieldType::ftTime:
            return "Time";
        case TFieldType::ftDateTime:
            return "DateTime";
        case TFieldType::ftBlob:
            return "Blob";
        case TFieldType::ftUnknown:
            break;
    }
    return "Unknown";
}

namespace {

int FieldGroup(TFieldType type) {
    switch (type) {
        case TFieldType::ftString:
            return 1;
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
        case TFieldType::ftWord:
        case TFieldType::ftAutoInc:
            return 2;
        case TFieldType::ftFloat:
            return 3;
        case TFieldType::ftDate:
        case TFieldType::ftTime:
        case TFieldType::ftDateTime:
            return 4;
        case TFieldType::ftMemo:
        case TFieldType::ftBlob:
            return 5;
        default:
            return 100 + static_cast<int>(type);
    }
}

}  // namespace

bool SameFieldGroup(TFieldType declared, TFieldType stored) {
    return FieldGroup(declared) == FieldGroup(stored);
}

// ---- TField ----

TField::TField(TDataSet* dataSet, std::string fieldName, TFieldType type, int size)
    : dataSet_(dataSet), fieldName_(std::move(fieldName)), type_(type), size_(size) {}

const std::string& TField::DisplayName() const {
    return displayLabel_.empty() ? fieldName_ : displayLabel_;
}

bool TField::IsNull() const {
    std::int32_t scratch = 0;
    return !GetData(&scratch, sizeof scratch);
}

void TField::Clear() {
    SetData(nullptr);
}

std::int32_t TField::AsInteger() const {
    AccessError("Integer");
}
void TField::SetAsInteger(std::int64_t) {
    AccessError("Integer");
}
TDateTime TField::AsDateTime() const {
    AccessError("DateTime");
}
void TField::SetAsDateTime(TDateTime) {
    AccessError("DateTime");
}

bool TField::GetData(void* buffer, std::uint32_t size) const {
    return dataSet_->GetFieldData(this, buffer, size);
}

void TField::SetData(const void* buffer) {
    dataSet_->SetFieldData(this, buffer);
}

void TField::AccessError(const char* typeName) const {
    throw EDatabaseError(FormatMessage(msg::FieldAccessMismatch, {DisplayName(), typeName}));
}

// ---- TStringField ----

TStringField::TStringField(TDataSet* dataSet, std::string fieldName, int size)
    : TField(dataSet, std::move(fieldName), TFieldType::ftString, size) {}

// Empty text is stored as null.
bool TStringField::IsNull() const {
    return AsString().empty();
}

std::string TStringField::AsString() const {
    std::string value(static_cast<std::size_t>(Size()) * 2 + 1, '\0');
    if (!GetData(value.data(), static_cast<std::uint32_t>(value.size()))) return {};
    value.resize(std::char_traits<char>::length(value.data()));
    return value;
}

void TStringField::SetAsString(const std::string& text) {
    const std::string cut(gbk::Cut(text, static_cast<std::size_t>(Size())));
    SetData(cut.empty() ? nullptr : cut.c_str());
}

// ---- TIntegerField and its kinds ----

TIntegerField::TIntegerField(TDataSet* dataSet, std::string fieldName)
    : TIntegerField(dataSet, std::move(fieldName), TFieldType::ftInteger,
                    std::numeric_limits<std::int32_t>::min(),
                    std::numeric_limits<std::int32_t>::max()) {}

TIntegerField::TIntegerField(TDataSet* dataSet, std::string fieldName, TFieldType type,
                             std::int64_t min, std::int64_t max)
    : TField(dataSet, std::move(fieldName), type), min_(min), max_(max) {}

std::int32_t TIntegerField::AsInteger() const {
    std::int32_t value = 0;
    return GetData(&value, sizeof value) ? value : 0;
}

std::string TIntegerField::AsString() const {
    std::int32_t value = 0;
    return GetData(&value, sizeof value) ? std::to_string(value) : std::string();
}

void TIntegerField::SetAsString(const std::string& text) {
    if (text.empty()) return Clear();
    std::int64_t value = 0;
    if (!ParseDecimal(text, value)) {
        throw EDatabaseError(FormatMessage(msg::InvalidIntegerForField, {text, DisplayName()}));
    }
    SetAsInteger(value);
}

void TIntegerField::SetAsInteger(std::int64_t value) {
    if (value < min_ || value > max_) {
        throw EDatabaseError(FormatMessage(
            msg::FieldRangeError,
            {std::to_string(value), DisplayName(), std::to_string(min_), std::to_string(max_)}));
    }
    const std::int32_t stored = static_cast<std::int32_t>(value);
    SetData(&stored);
}

TSmallintField::TSmallintField(TDataSet* dataSet, std::string fieldName)
    : TIntegerField(dataSet, std::move(fieldName), TFieldType::ftSmallint,
                    std::numeric_limits<std::int16_t>::min(),
                    std::numeric_limits<std::int16_t>::max()) {}

TAutoIncField::TAutoIncField(TDataSet* dataSet, std::string fieldName)
    : TIntegerField(dataSet, std::move(fieldName), TFieldType::ftAutoInc,
                    std::numeric_limits<std::int32_t>::min(),
                    std::numeric_limits<std::int32_t>::max()) {
    SetReadOnly(true);
}

// ---- TDateField ----

TDateField::TDateField(TDataSet* dataSet, std::string fieldName)
    : TField(dataSet, std::move(fieldName), TFieldType::ftDate) {}

std::string TDateField::AsString() const {
    std::int32_t days = 0;
    return GetData(&days, sizeof days) ? dates::FormatShortDate(days) : std::string();
}

void TDateField::SetAsString(const std::string& text) {
    if (text.empty()) return Clear();
    const std::optional<int> days = dates::ParseShortDate(text);
    if (!days) throw EConvertError(FormatMessage(msg::InvalidDate, {text}));
    const std::int32_t stored = *days;
    SetData(&stored);
}

TDateTime TDateField::AsDateTime() const {
    std::int32_t days = 0;
    return GetData(&days, sizeof days) ? days : 0;
}

void TDateField::SetAsDateTime(TDateTime value) {
    const std::int32_t days = static_cast<std::int32_t>(std::trunc(value));
    SetData(&days);
}

// ---- TMemoField ----

TMemoField::TMemoField(TDataSet* dataSet, std::string fieldName, int size)
    : TField(dataSet, std::move(fieldName), TFieldType::ftMemo, size) {}

bool TMemoField::IsNull() const {
    return DataSet()->GetBlobData(this).empty();
}

std::string TMemoField::AsString() const {
    return DataSet()->GetBlobData(this);
}

void TMemoField::SetAsString(const std::string& text) {
    DataSet()->SetBlobData(this, text);
}
