// A record set: declared fields, one current record in a window of buffered records, a state,
// and the events to which the clinic's rules attach.
//
// TDataSet holds everything that does not depend on where the records come from: states and
// their transitions, the order of events, the implicit post (the browse-mode check), the
// window of buffered records and the notifications to data sources. A subclass reads and
// writes the records (TEngineDataSet, over the database engine).
//
// The window holds only as many records as the largest attached view shows (BufferCount of
// its data links), never the whole table.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/exceptions.h"
#include "data/fields.h"

class TDataSource;

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsLookupKey };

// What a record set tells its data sources, and they their views.
enum class TDataEvent {
    deFieldChange,    // a field was written (with the field)
    deRecordChange,   // edit began
    deDataSetChange,  // the window's records were read anew
    deDataSetScroll,  // the current record moved, the window kept its size (with the distance)
    deLayoutChange,
    deUpdateRecord,     // views write the text they are still editing into its field
    deUpdateState,      // the state changed
    deCheckBrowseMode,  // sent before the record set checks browse mode, posts, cancels, deletes
};

// What an error hook decides.
enum class TDataAction { daFail, daAbort, daRetry };

struct TLocateOptions {
    bool loCaseInsensitive = false;
    bool loPartialKey = false;  // the last string value matches only its first bytes
};

struct TFilterOptions {
    bool foCaseInsensitive = false;
    bool foNoPartialCompare = false;
    bool operator==(const TFilterOptions&) const = default;
};

class TDataSet;
using TDataSetNotifyEvent = std::function<void(TDataSet*)>;
using TDataSetErrorEvent = std::function<void(TDataSet*, EDatabaseError&, TDataAction&)>;

// One buffered record; its contents belong to the subclass that reads records.
struct TRecordBuffer {
    virtual ~TRecordBuffer() = default;
};

class TDataSet {
  public:
    explicit TDataSet(std::string name);
    virtual ~TDataSet();
    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;

    // The component name; it prefixes the record set's own messages.
    const std::string& Name() const { return name_; }

    // ---- Fields ----
    // Declares a field; declared fields are bound to the stored columns at open.
    template <class Field, class... Args>
    Field* AddField(std::string fieldName, Args&&... args) {
        auto field =
            std::make_unique<Field>(this, std::move(fieldName), std::forward<Args>(args)...);
        Field* raw = field.get();
        fields_.push_back(std::move(field));
        return raw;
    }
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    TField* Fields(int index) const { return fields_[static_cast<std::size_t>(index)].get(); }
    // Matches the name without regard to case; nullptr when none does.
    TField* FindField(std::string_view fieldName) const;
    // Fails with "Field '%s' not found" when none matches.
    TField* FieldByName(std::string_view fieldName) const;

    // ---- State ----
    TDataSetState State() const { return state_; }
    bool Active() const { return state_ != TDataSetState::dsInactive; }
    bool Modified() const { return modified_; }
    bool Bof() const { return bof_; }
    bool Eof() const { return eof_; }
    bool IsEmpty() const { return buffers_.empty(); }
    // Whether insert, append and edit are allowed.
    virtual bool CanModify() const { return true; }

    // ---- Operations ----
    void Open();
    void Close();  // pending edits are dropped, nothing is posted
    void SetActive(bool active) { active ? Open() : Close(); }
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    // Moves by up to `distance` records; answers how many it moved.
    int MoveBy(int distance);
    void Insert() { BeginInsert(false); }
    void Append() { BeginInsert(true); }
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    void Refresh();
    // The records visible through the record set; -1 when the engine cannot tell.
    int RecordCount();
    // The record count where it is below `most`, else `most`: reads no more than `most`
    // records, however many there are, and leaves the record set on its first record. A record
    // set on its first record whose window holds `most` records, or all there are, reads none.
    int RecordCountUpTo(int most);
    // The implicit post: a record in edit or insert state is posted if any field was written,
    // else dropped.
    void CheckBrowseMode();

    // Makes the first record with the given values current: `keyFields` are field names
    // separated by semicolons, one text value each (missing values are empty). Answers whether
    // one was found; when not, the current record stays. A value that does not convert fails
    // before any record is read.
    bool Locate(const std::string& keyFields, const std::vector<std::string>& keyValues,
                TLocateOptions options);

    // Where the current record stands between the first record (0) and the last (1), and the
    // move to a record at such a place: the engine's estimate from the keys of the current
    // order, without counting, for scroll bars. 0 and 1 are exactly the first and the last
    // record. Nothing, and no move, where the engine cannot estimate.
    std::optional<double> KeyFraction();
    bool MoveToKeyFraction(double fraction);

    // The filter: a condition in the filter language, in force while Filtered is on. A text
    // that does not parse is refused and the old one stays; on a closed record set the text
    // is only stored, and parsed at open.
    const std::string& Filter() const { return filter_; }
    void SetFilter(const std::string& text);
    bool Filtered() const { return filtered_; }
    void SetFiltered(bool filtered);
    TFilterOptions FilterOptions() const { return filterOptions_; }
    void SetFilterOptions(TFilterOptions options);

    // ---- The window of buffered records, for views ----
    int BufferCount() const { return static_cast<int>(buffers_.size()); }
    int ActiveRecord() const { return active_; }
    // Makes field reads go to buffered record `index`, so that a view can paint every row it
    // shows; answers the index in force before. Requires: 0 <= index < BufferCount(), and the
    // answer set back before anything else is asked of the record set.
    int SetDisplayRecord(int index);
    // Re-reads how many records the views want at hand.
    void UpdateBufferCount();

    // ---- Data sources ----
    void AttachDataSource(TDataSource* source);
    void DetachDataSource(TDataSource* source);
    // Tells every data source (and so every view).
    void DataEvent(TDataEvent event, TField* field = nullptr, int distance = 0);

    // ---- Events ----
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, OnNewRecord, AfterInsert;
    TDataSetNotifyEvent BeforeEdit, AfterEdit, BeforePost, AfterPost;
    TDataSetNotifyEvent BeforeCancel, AfterCancel, BeforeDelete, AfterDelete;
    TDataSetNotifyEvent BeforeScroll, AfterScroll, BeforeRefresh, AfterRefresh;
    TDataSetErrorEvent OnPostError, OnEditError, OnDeleteError;

    // ---- Field storage, for TField ----
    // Requires: a field of this record set. False when the value is null or there is no record.
    virtual bool GetFieldData(const TField* field, void* buffer, std::uint32_t size) const = 0;
    void SetFieldData(TField* field, const void* buffer);
    virtual std::string GetBlobData(const TField* field) const = 0;
    void SetBlobData(TField* field, const std::string& text);

    // Throws EDatabaseError with the record set's name in front ("%s: %s").
    [[noreturn]] void DatabaseError(const std::string& message) const;

  protected:
    enum class TGetMode { gmCurrent, gmNext, gmPrior };

    // ---- What a subclass provides ----
    virtual std::unique_ptr<TRecordBuffer> AllocRecordBuffer() = 0;
    virtual void InternalOpen() = 0;  // opens the cursor and binds the declared fields
    virtual void InternalClose() = 0;
    virtual void InternalFirst() = 0;  // cursor before the first record
    virtual void InternalLast() = 0;   // cursor after the last record
    virtual void InternalSetToRecord(TRecordBuffer& buffer) = 0;
    // Reads the record at, after or before the cursor; false when there is none.
    virtual bool GetRecord(TRecordBuffer& buffer, TGetMode mode) = 0;
    // Reads up to |count| records after (count > 0) or before the cursor, in the order read.
    virtual int GetRecords(int count, const std::vector<TRecordBuffer*>& into) = 0;
    // Makes `to` a copy of `from`, including where it was read, so that it can be sought again.
    virtual void CopyRecord(const TRecordBuffer& from, TRecordBuffer& to) = 0;
    virtual void InternalInitRecord(TRecordBuffer& buffer) = 0;  // blank record
    virtual void InternalEdit(TRecordBuffer& buffer) = 0;        // re-read and lock
    virtual void InternalPost(TRecordBuffer& buffer, bool inserting) = 0;
    virtual void InternalCancel() = 0;  // release the lock
    virtual void InternalDelete(TRecordBuffer& buffer) = 0;
    virtual void InternalRefresh() = 0;
    virtual int GetRecordCount() = 0;
    virtual std::optional<double> InternalKeyFraction() { return std::nullopt; }
    // Puts the cursor before the record at `fraction` of the way; false where it cannot tell.
    virtual bool InternalSetToKeyFraction(double) { return false; }
    virtual void WriteFieldData(TRecordBuffer& buffer, TField* field, const void* data) = 0;
    virtual void WriteBlobData(TRecordBuffer& buffer, TField* field, const std::string& text) = 0;

    // Puts the cursor on the first record with the values; false when there is none. Throws
    // for a value that does not convert, before reading any record.
    virtual bool LocateRecord(const std::vector<TField*>& fields,
                              const std::vector<std::string>& values, TLocateOptions options) = 0;
    // Parses the filter text and makes it the condition (in force while active); throws and
    // keeps the old condition when the text does not parse.
    virtual void InstallFilter(const std::string& text, TFilterOptions options) = 0;
    virtual void ActivateFilter(bool active) = 0;

    // Field writes go to `key` in the lookup-key state, unannounced, until EndLookupKey.
    void BeginLookupKey(TRecordBuffer& key);
    void EndLookupKey();

    // Hooks of a detail record set.
    virtual void PrepareInsert() {}  // before a new record is placed
    virtual void InitNewRecord() {}  // after it is placed, before OnNewRecord

    // The buffer that field reads and writes go to; nullptr when there is no record.
    TRecordBuffer* ActiveBuffer() const;
    void CheckActive() const;
    // Drops the declared fields that open created for a record set that declared none.
    void DestroyFields() { fields_.clear(); }

  private:
    void SetState(TDataSetState state);
    void Fire(const TDataSetNotifyEvent& event) {
        if (event) event(this);
    }
    void RunWithErrorHook(const TDataSetErrorEvent& hook, const std::function<void()>& action);
    void MoveToEnd(bool last);
    void ChangeFilter(const std::string& text, TFilterOptions options);
    void BeginInsert(bool append);
    void KeepReturnPoint();
    void PlaceNewRecord(bool append);
    void UndoInsert();
    void CheckRequiredFields() const;
    void BeforeFieldWrite(const TField* field) const;
    void AfterFieldWrite(TField* field);

    // The window of buffered records.
    std::unique_ptr<TRecordBuffer> SpareBuffer();
    void ClearBuffers();
    void ReleaseBuffers();
    void FillFromCursor(bool backwards);
    int ReadRecords(int count);
    void PushRecord(std::unique_ptr<TRecordBuffer> buffer, bool atBack);
    // Re-reads the window around the current record, or around the record at the cursor.
    // The record the window is read around: the current one, the one at the cursor, or the
    // first one after the cursor (the last record when none is after it).
    enum class TResyncMode { rmAtActive, rmExactAtCursor, rmAfterCursor };
    void Resync(TResyncMode mode = TResyncMode::rmAtActive);
    void ResyncAt(int row, TResyncMode mode = TResyncMode::rmAtActive);
    bool ReadAnchor(TRecordBuffer& into, TResyncMode mode);
    void ResizeWindow();
    int WantedBufferCount() const;

    std::string name_;
    std::vector<std::unique_ptr<TField>> fields_;
    std::vector<TDataSource*> dataSources_;
    TDataSetState state_ = TDataSetState::dsInactive;
    bool modified_ = false;
    bool bof_ = true;
    bool eof_ = true;

    std::vector<std::unique_ptr<TRecordBuffer>> buffers_;  // the window, in record order
    std::vector<std::unique_ptr<TRecordBuffer>> spare_;    // buffers to reuse
    int active_ = 0;                                       // the current record's index in buffers_
    int capacity_ = 1;                                     // how many records the views show
    int evicted_ = 0;  // records dropped from the window by the last reads (signed: front > 0)
    // A copy of the record that was current when the insert began, and its row: undoing the
    // insert comes back to it even when the new record pushed it out of the window. Null when
    // the set was empty.
    std::unique_ptr<TRecordBuffer> returnTo_;
    int returnRow_ = 0;
    TRecordBuffer* keyBuffer_ = nullptr;  // while building a key
    TDataSetState keptState_ = TDataSetState::dsInactive;

    std::string filter_;
    bool filtered_ = false;
    TFilterOptions filterOptions_;
};
