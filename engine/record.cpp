#include "engine/record.h"

#include <cstdint>
#include <cstring>

#include "base/dates.h"
#include "base/gbk_text.h"
#include "engine/errors.h"

namespace dbe {

namespace {

// Whether a whole number fits the field's kind: 16 bits for ages, 32 for the others.
bool FitsInteger(const Field& field, std::int64_t value) {
    switch (field.desc.iFldType) {
        case fldINT16:
            return value >= INT16_MIN && value <= INT16_MAX;
        case fldUINT16:
            return value >= 0 && value <= UINT16_MAX;
        default:
            return value >= INT32_MIN && value <= INT32_MAX;
    }
}

// A number stored for an integer field, where it is a whole number that fits the field.
Value ReadInteger(const Field& field, const Statement& row, int column) {
    const std::int64_t value = row.ColumnInt(column);
    if (row.Kind(column) == ColumnKind::kReal &&
        row.ColumnDouble(column) != static_cast<double>(value)) {
        return {};
    }
    return FitsInteger(field, value) ? Value(value) : Value();
}

Value ReadColumn(const Field& field, const Statement& row, int column) {
    switch (row.Kind(column)) {
        case ColumnKind::kNull:
            return {};
        case ColumnKind::kInteger:
        case ColumnKind::kReal:
            if (field.IsInteger()) return ReadInteger(field, row, column);
            break;
        case ColumnKind::kText:
            break;
    }
    if (field.IsString()) return std::string(gbk::Cut(row.ColumnText(column), field.desc.iUnits1));
    if (field.IsDate()) {
        if (const auto days = dates::ParseStoredDate(row.ColumnText(column)))
            return std::int64_t{*days};
    }
    // A stored value that does not fit the field reads as blank.
    return {};
}

std::int32_t ReadInt32(const void* src) {
    std::int32_t value = 0;
    std::memcpy(&value, src, sizeof value);
    return value;
}

void WriteInt32(void* dest, std::int64_t value) {
    const auto narrow = static_cast<std::int32_t>(value);
    std::memcpy(dest, &narrow, sizeof narrow);
}

EngineError FieldError(DBIResult code, const Field& field) {
    return EngineError(code, ContextLine(kFieldLine, field.Name()));
}

}  // namespace

Record::Record(std::shared_ptr<const Layout> layout)
    : layout_(std::move(layout)), slots_(layout_->fields.size()) {}

void Record::Clear() {
    slots_.assign(layout_->fields.size(), Slot{});
    origin_.reset();
}

void Record::CopyFrom(const Record& other) {
    slots_ = other.slots_;
    origin_ = other.origin_;
}

void Record::Load(const Statement& row, const std::vector<int>& readFields,
                  const std::string& order) {
    Clear();
    origin_ = Origin{order, Key{ColumnValue(row, 1), row.ColumnInt(0)}};
    for (std::size_t i = 0; i < readFields.size(); ++i) {
        const int field = readFields[i];
        slots_[field].value = ReadColumn(FieldAt(field), row, static_cast<int>(i) + 2);
    }
    for (std::size_t field = 0; field < slots_.size(); ++field) {
        slots_[field].loaded = !FieldAt(static_cast<int>(field)).IsMemo();
    }
}

void Record::Get(int field, void* dest, std::uint32_t size, int* blank) const {
    const Field& desc = FieldAt(field);
    if (!desc.Readable()) throw FieldError(DBIERR_NOTSUPPORTED, desc);
    const Value& value = slots_[field].value;
    if (blank != nullptr) *blank = IsNull(value);
    // A memo's content is read through the blob calls; here it only tells blank.
    if (desc.IsMemo() || dest == nullptr) return;
    if (desc.IsString()) {
        const std::string text = IsNull(value) ? std::string() : std::get<std::string>(value);
        if (text.size() + 1 > size) throw FieldError(DBIERR_BUFFSMALL, desc);
        std::memcpy(dest, text.c_str(), text.size() + 1);
    } else {
        WriteInt32(dest, IsNull(value) ? 0 : std::get<std::int64_t>(value));
    }
}

void Record::Put(int field, const void* src) {
    const Field& desc = FieldAt(field);
    if (!desc.Readable()) throw FieldError(DBIERR_NOTSUPPORTED, desc);
    if (src == nullptr) return Write(field, {});
    if (desc.IsString() || desc.IsMemo()) {
        std::string_view text(static_cast<const char*>(src));
        if (desc.IsString()) text = gbk::Cut(text, desc.desc.iUnits1);
        return Write(field, text.empty() ? Value() : Value(std::string(text)));
    }
    const std::int32_t number = ReadInt32(src);
    if (desc.IsDate() && !dates::InStoredRange(number)) throw FieldError(DBIERR_INVALIDPARAM, desc);
    Write(field, std::int64_t{number});
}

void Record::Write(int field, Value value) {
    slots_[field] = Slot{std::move(value), true, true};
}

Value Record::StorageValue(int field) const {
    const Value& value = slots_[field].value;
    if (FieldAt(field).IsDate() && !IsNull(value)) {
        return dates::FormatStoredDate(static_cast<int>(std::get<std::int64_t>(value)));
    }
    return value;
}

void Record::SetLoadedMemo(int field, Value content) {
    slots_[field].value = std::move(content);
    slots_[field].loaded = true;
}

void Record::FreeMemo(int field) {
    if (!slots_[field].written) slots_[field] = Slot{Value(), false, false};
}

std::string& Record::BlobText(int field) {
    Value& value = slots_[field].value;
    if (IsNull(value)) value = std::string();
    return std::get<std::string>(value);
}

std::uint32_t Record::BlobSize(int field) const {
    const Value& value = slots_[field].value;
    return IsNull(value) ? 0 : static_cast<std::uint32_t>(std::get<std::string>(value).size());
}

std::uint32_t Record::ReadBlob(int field, std::uint32_t offset, std::uint32_t length,
                               void* dest) const {
    const std::uint32_t size = BlobSize(field);
    if (offset >= size || length == 0) return 0;
    const std::uint32_t count = std::min(length, size - offset);
    std::memcpy(dest, std::get<std::string>(slots_[field].value).data() + offset, count);
    return count;
}

void Record::WriteBlob(int field, std::uint32_t offset, std::uint32_t length, const void* src) {
    if (std::uint64_t{offset} + length > DBI_MAXMEMO) {
        throw FieldError(DBIERR_INVALIDPARAM, FieldAt(field));
    }
    std::string& text = BlobText(field);
    if (text.size() < std::size_t{offset} + length) text.resize(std::size_t{offset} + length);
    if (length > 0) std::memcpy(text.data() + offset, src, length);
    slots_[field].written = true;
    // Empty content is stored as null, like every empty value.
    if (text.empty()) slots_[field].value = Value();
}

void Record::TruncateBlob(int field, std::uint32_t length) {
    std::string& text = BlobText(field);
    if (length < text.size()) text.resize(length);
    slots_[field].written = true;
    if (text.empty()) slots_[field].value = Value();
}

}  // namespace dbe
