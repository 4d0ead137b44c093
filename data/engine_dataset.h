// A record set over a cursor of the database engine: what tables and query answers share.
//
// It reads and writes its buffered records through engine record buffers, binds its declared
// fields to the cursor's columns at open, and turns every refusal of the engine into
// EDBEngineError.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/dataset.h"
#include "data/engine_client.h"

class TEngineDataSet : public TDataSet {
  public:
    explicit TEngineDataSet(std::string name);
    ~TEngineDataSet() override;

    // The database: a directory path (with a drive letter, or a POSIX path).
    const std::string& DatabaseName() const { return databaseName_; }
    void SetDatabaseName(const std::string& name) { databaseName_ = name; }

    bool CanModify() const override { return !readOnly_; }
    bool GetFieldData(const TField* field, void* buffer, std::uint32_t size) const override;
    std::string GetBlobData(const TField* field) const override;

  protected:
    // Opens the engine cursor on the database; the subclass says over what.
    virtual hDBICur OpenCursor(hDBIDb db) = 0;
    // Runs after the fields are bound, before the first records are read.
    virtual void CursorOpened() {}
    // Runs before the cursor closes, and when an open fails after OpenCursor was called.
    virtual void CursorClosing() {}

    const DbeApi& Api() const { return session_->Api(); }
    hDBICur Cursor() const { return cursor_; }
    // The engine record behind a buffer.
    static hDBIRec RecordOf(const TRecordBuffer& buffer);

    std::unique_ptr<TRecordBuffer> AllocRecordBuffer() override;
    void InternalOpen() override;
    void InternalClose() override;
    void InternalFirst() override;
    void InternalLast() override;
    void InternalSetToRecord(TRecordBuffer& buffer) override;
    bool GetRecord(TRecordBuffer& buffer, TGetMode mode) override;
    int GetRecords(int count, const std::vector<TRecordBuffer*>& into) override;
    void CopyRecord(const TRecordBuffer& from, TRecordBuffer& to) override;
    void InternalInitRecord(TRecordBuffer& buffer) override;
    void InternalEdit(TRecordBuffer& buffer) override;
    void InternalPost(TRecordBuffer& buffer, bool inserting) override;
    void InternalCancel() override;
    void InternalDelete(TRecordBuffer& buffer) override;
    void InternalRefresh() override;
    int GetRecordCount() override;
    std::optional<double> InternalKeyFraction() override;
    bool InternalSetToKeyFraction(double fraction) override;
    void WriteFieldData(TRecordBuffer& buffer, TField* field, const void* data) override;
    void WriteBlobData(TRecordBuffer& buffer, TField* field, const std::string& text) override;
    bool LocateRecord(const std::vector<TField*>& fields, const std::vector<std::string>& values,
                      TLocateOptions options) override;
    void InstallFilter(const std::string& text, TFilterOptions options) override;
    void ActivateFilter(bool active) override;

    // The fields of the current index, leading field first, as far as they are declared; none
    // for a query answer.
    virtual std::vector<TField*> CurrentIndexFields() const { return {}; }

  private:
    bool KeyPathFits(const std::vector<TField*>& fields, TLocateOptions options) const;
    bool LocateByKey(const std::vector<TField*>& fields, const std::vector<std::string>& values,
                     TLocateOptions options);
    bool LocateByScan(const std::vector<TField*>& fields, const std::vector<std::string>& values,
                      TLocateOptions options);
    void WriteKeyValue(TField& field, const std::string& value);
    void BindFields();
    void CreateDefaultFields(const std::vector<FLDDesc>& descs);
    void ReleaseCursor();

    std::string databaseName_;
    EngineSession* session_ = nullptr;
    hDBIDb db_ = nullptr;
    hDBICur cursor_ = nullptr;
    bool readOnly_ = false;
    bool defaultFields_ = false;
    hDBIFilter filter_ = nullptr;  // the condition of the Filter text
    bool filterActive_ = false;
};
