// The fields of a record set: one column of its current record, read and written through the
// record set's active buffer and converted by the field's kind.
//
// Field names match without regard to case. A field's display name is its DisplayLabel, else
// its field name; messages name fields by it. A field write is accepted only while the record
// set is in edit or insert state (or building a key); it sets the modified flag and tells the
// views.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/dates.h"

class TDataSet;

// Field names match without regard to case.
bool SameFieldName(std::string_view a, std::string_view b);

// The kinds of stored columns; the record sets declare fields of the first six.
enum class TFieldType {
    ftString,
    ftSmallint,
    ftInteger,
    ftAutoInc,
    ftDate,
    ftMemo,
    ftWord,
    ftBoolean,
    ftFloat,
    ftTime,
    ftDateTime,
    ftBlob,
    ftUnknown
};

// The name of a kind as the type-mismatch message gives it.
const char* FieldTypeName(TFieldType type);
// Whether a declared kind can bind to a stored one: text; integers; floating point; dates and
// times; memos and blobs; each other kind alone.
bool SameFieldGroup(TFieldType declared, TFieldType stored);

class TField {
  public:
    TField(TDataSet* dataSet, std::string fieldName, TFieldType type, int size = 0);
    virtual ~TField() = default;
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    TDataSet* DataSet() const { return dataSet_; }
    const std::string& FieldName() const { return fieldName_; }
    TFieldType DataType() const { return type_; }
    int Size() const { return size_; }
    void SetSize(int size) { size_ = size; }
    const std::string& DisplayLabel() const { return displayLabel_; }
    void SetDisplayLabel(const std::string& label) { displayLabel_ = label; }
    const std::string& DisplayName() const;
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }
    bool Required() const { return required_; }
    void SetRequired(bool value) { required_ = value; }
    // The engine's number of the bound column; 0 while the record set is closed.
    int FieldNo() const { return fieldNo_; }
    void SetFieldNo(int fieldNo) { fieldNo_ = fieldNo; }

    // The base reads the engine's 4-byte value; kinds with other storage override it.
    virtual bool IsNull() const;
    void Clear();
    // Null reads as empty text.
    virtual std::string AsString() const = 0;
    virtual void SetAsString(const std::string& text) = 0;
    virtual std::int32_t AsInteger() const;
    virtual void SetAsInteger(std::int64_t value);
    // A null date reads as 0 (1899-12-30).
    virtual TDateTime AsDateTime() const;
    virtual void SetAsDateTime(TDateTime value);

  protected:
    // Reads the field's engine value of the active record; false when null.
    bool GetData(void* buffer, std::uint32_t size) const;
    // Writes the field's engine value (nullptr: null) after the state and read-only checks.
    void SetData(const void* buffer);
    [[noreturn]] void AccessError(const char* typeName) const;

  private:
    TDataSet* dataSet_;
    std::string fieldName_;
    TFieldType type_;
    int size_;
    std::string displayLabel_;
    bool readOnly_ = false;
    bool required_ = false;
    int fieldNo_ = 0;
};

// Text of at most Size GBK bytes; a longer value is cut at a character boundary.
class TStringField : public TField {
  public:
    TStringField(TDataSet* dataSet, std::string fieldName, int size);
    bool IsNull() const override;
    std::string AsString() const override;
    void SetAsString(const std::string& text) override;
};

// Integers of a range; text written must be a decimal integer (empty text clears).
class TIntegerField : public TField {
  public:
    TIntegerField(TDataSet* dataSet, std::string fieldName);
    std::string AsString() const override;
    void SetAsString(const std::string& text) override;
    std::int32_t AsInteger() const override;
    void SetAsInteger(std::int64_t value) override;

  protected:
    TIntegerField(TDataSet* dataSet, std::string fieldName, TFieldType type, std::int64_t min,
                  std::int64_t max);

  private:
    std::int64_t min_, max_;
};

class TSmallintField : public TIntegerField {
  public:
    TSmallintField(TDataSet* dataSet, std::string fieldName);
};

// Assigned by the engine when a new record is written; read-only.
class TAutoIncField : public TIntegerField {
  public:
    TAutoIncField(TDataSet* dataSet, std::string fieldName);
};

// A day without time, shown and typed in the short date format.
class TDateField : public TField {
  public:
    TDateField(TDataSet* dataSet, std::string fieldName);
    std::string AsString() const override;
    void SetAsString(const std::string& text) override;
    TDateTime AsDateTime() const override;
    void SetAsDateTime(TDateTime value) override;
};

// Text of any length, kept outside the fixed record; Size is the part kept in the record.
class TMemoField : public TField {
  public:
    TMemoField(TDataSet* dataSet, std::string fieldName, int size = 0);
    bool IsNull() const override;
    std::string AsString() const override;
    void SetAsString(const std::string& text) override;
};
