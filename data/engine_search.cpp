// Locating and filtering of TEngineDataSet: the engine searches, the record set converts.
#include <cstring>

#include "base/gbk_text.h"
#include "base/short_date_format.h"
#include "data/engine_dataset.h"
#include "data/filter_parser.h"
#include "data/messages.h"

namespace {

bool NotFound(DBIResult result) {
    return (result >> 8) == 0x22;
}

bool IsIntegerKind(TFieldType type) {
    return type == TFieldType::ftSmallint || type == TFieldType::ftInteger ||
           type == TFieldType::ftAutoInc;
}

// A decimal integer with an optional sign and, as the locale's conversion allows, blanks around.
bool ReadInteger(const std::string& text, std::int64_t& value, bool allowBlanks) {
    std::size_t begin = 0, end = text.size();
    if (allowBlanks) {
        while (begin < end && text[begin] == ' ') ++begin;
        while (end > begin && text[end - 1] == ' ') --end;
    }
    std::size_t i = begin;
    if (i < end && (text[i] == '+' || text[i] == '-')) ++i;
    if (i == end) return false;
    std::int64_t magnitude = 0;
    for (; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9' || magnitude > (std::int64_t{1} << 32)) return false;
        magnitude = magnitude * 10 + (text[i] - '0');
    }
    value = text[begin] == '-' ? -magnitude : magnitude;
    return value >= INT32_MIN && value <= INT32_MAX;
}

// An engine filter that lives for one search.
class TemporaryFilter {
  public:
    TemporaryFilter(const DbeApi& api, hDBICur cursor, const std::vector<DBIFilterNode>& nodes)
        : api_(api), cursor_(cursor) {
        Check(api_.dbeAddFilter(cursor_, nodes.data(), static_cast<std::uint32_t>(nodes.size()),
                                &filter_));
        Check(api_.dbeActivateFilter(cursor_, filter_));
    }
    ~TemporaryFilter() {
        api_.dbeDeactivateFilter(cursor_, filter_);
        api_.dbeDropFilter(cursor_, filter_);
    }
    TemporaryFilter(const TemporaryFilter&) = delete;
    TemporaryFilter& operator=(const TemporaryFilter&) = delete;

  private:
    const DbeApi& api_;
    hDBICur cursor_;
    hDBIFilter filter_ = nullptr;
};

}  // namespace

bool TEngineDataSet::LocateRecord(const std::vector<TField*>& fields,
                                  const std::vector<std::string>& values, TLocateOptions options) {
    return KeyPathFits(fields, options) ? LocateByKey(fields, values, options)
                                        : LocateByScan(fields, values, options);
}

// The key path serves fields that lead the current index. Other indexes are never used: the
// extra indexes of a table only make it faster, and a search through one would find the first
// match in that index's order instead of the record set's.
bool TEngineDataSet::KeyPathFits(const std::vector<TField*>& fields, TLocateOptions options) const {
    const std::vector<TField*> index = CurrentIndexFields();
    if (fields.empty() || fields.size() > index.size()) return false;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i] != index[i]) return false;
        // The indexes compare text with case.
        if (fields[i]->DataType() == TFieldType::ftString && options.loCaseInsensitive)
            return false;
    }
    return true;
}

void TEngineDataSet::WriteKeyValue(TField& field, const std::string& value) {
    const auto invalid = [&field] {
        return EDatabaseError(FormatMessage(msg::InvalidFieldValue, {field.DisplayName()}));
    };
    if (IsIntegerKind(field.DataType())) {
        std::int64_t number = 0;
        if (!ReadInteger(value, number, true)) throw invalid();
        return field.SetAsInteger(number);
    }
    try {
        field.SetAsString(value);
    } catch (const EConvertError&) {
        throw invalid();
    }
}

bool TEngineDataSet::LocateByKey(const std::vector<TField*>& fields,
                                 const std::vector<std::string>& values, TLocateOptions options) {
    std::unique_ptr<TRecordBuffer> key = AllocRecordBuffer();
    InternalInitRecord(*key);
    BeginLookupKey(*key);
    std::uint16_t partial = 0;
    try {
        for (std::size_t i = 0; i < fields.size(); ++i) WriteKeyValue(*fields[i], values[i]);
        TField* last = fields.back();
        if (options.loPartialKey && last->DataType() == TFieldType::ftString) {
            partial = static_cast<std::uint16_t>(gbk::Length(last->AsString()));
        }
    } catch (...) {
        EndLookupKey();
        throw;
    }
    EndLookupKey();
    std::unique_ptr<TRecordBuffer> found = AllocRecordBuffer();
    const DBIResult result =
        Api().dbeGetRecordForKey(cursor_, static_cast<std::uint16_t>(fields.size()), partial,
                                 RecordOf(*key), RecordOf(*found));
    if (NotFound(result)) return false;
    Check(result);
    return true;
}

bool TEngineDataSet::LocateByScan(const std::vector<TField*>& fields,
                                  const std::vector<std::string>& values, TLocateOptions options) {
    // The condition: field = value for each field, joined by AND; root first.
    std::vector<DBIFilterNode> nodes;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i + 1 < fields.size()) {
            DBIFilterNode both{};
            both.iKind = fltAND;
            both.iLeft = static_cast<std::int32_t>(nodes.size() + 1);
            both.iRight = static_cast<std::int32_t>(nodes.size() + 2);
            nodes.push_back(both);
        }
        const TField& field = *fields[i];
        const std::string& value = values[i];
        DBIFilterNode test{};
        test.iKind = fltCOMPARE;
        test.iOperator = fltopEQ;
        test.iFldNum = static_cast<std::uint16_t>(field.FieldNo());
        test.bConstNull = value.empty();
        if (IsIntegerKind(field.DataType()) && !value.empty()) {
            std::int64_t number = 0;
            if (!ReadInteger(value, number, false)) {
                throw EConvertError(FormatMessage(msg::InvalidInteger, {value}));
            }
            test.iConst = number;
        } else if (field.DataType() == TFieldType::ftDate && !value.empty()) {
            const std::optional<int> days = dates::ParseShortDate(value);
            if (!days) throw EConvertError(FormatMessage(msg::InvalidDate, {value}));
            test.iConst = *days;
        } else {
            test.pszConst = value.c_str();
            test.bCaseInsensitive = options.loCaseInsensitive;
            if (options.loPartialKey)
                test.iPartialLen = static_cast<std::uint16_t>(gbk::Length(value));
        }
        nodes.push_back(test);
    }
    std::unique_ptr<TRecordBuffer> found = AllocRecordBuffer();
    DBIResult result = DBIERR_NONE;
    {
        TemporaryFilter condition(Api(), cursor_, nodes);
        result = Api().dbeGetNextRecord(cursor_, dbiNOLOCK, RecordOf(*found));
    }
    if (NotFound(result)) return false;
    Check(result);
    Check(Api().dbeSetToRecord(cursor_, RecordOf(*found)));
    return true;
}

// ---- The Filter text ----

void TEngineDataSet::InstallFilter(const std::string& text, TFilterOptions options) {
    hDBIFilter installed = nullptr;
    if (!text.empty()) {
        const TFilterProgram program =
            ParseFilter(text, *this, options.foCaseInsensitive, options.foNoPartialCompare);
        Check(Api().dbeAddFilter(cursor_, program.nodes.data(),
                                 static_cast<std::uint32_t>(program.nodes.size()), &installed));
        if (filterActive_) Check(Api().dbeActivateFilter(cursor_, installed));
    }
    if (filter_) Api().dbeDropFilter(cursor_, filter_);
    filter_ = installed;
}

void TEngineDataSet::ActivateFilter(bool active) {
    filterActive_ = active;
    if (!filter_) return;
    Check(active ? Api().dbeActivateFilter(cursor_, filter_)
                 : Api().dbeDeactivateFilter(cursor_, filter_));
}
