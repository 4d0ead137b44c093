#include "data/dataset.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "data/data_source.h"
#include "data/messages.h"

namespace {

bool Editing(TDataSetState state) {
    return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

// Records read in one engine call when a move goes far past the window.
constexpr int kReadChunk = 64;

}  // namespace

TDataSet::TDataSet(std::string name) : name_(std::move(name)) {}

TDataSet::~TDataSet() {
    for (TDataSource* source : std::vector<TDataSource*>(dataSources_)) source->SetDataSet(nullptr);
}

// ---- Fields ----

TField* TDataSet::FindField(std::string_view fieldName) const {
    for (const auto& field : fields_) {
        if (SameFieldName(field->FieldName(), fieldName)) return field.get();
    }
    return nullptr;
}

TField* TDataSet::FieldByName(std::string_view fieldName) const {
    TField* field = FindField(fieldName);
    if (!field) DatabaseError(FormatMessage(msg::FieldNotFound, {std::string(fieldName)}));
    return field;
}

void TDataSet::DatabaseError(const std::string& message) const {
    throw EDatabaseError(name_.empty() ? message : name_ + ": " + message);
}

void TDataSet::CheckActive() const {
    if (!Active()) DatabaseError(FormatMessage(msg::DataSetClosed));
}

TRecordBuffer* TDataSet::ActiveBuffer() const {
    if (state_ == TDataSetState::dsSetKey || state_ == TDataSetState::dsLookupKey)
        return keyBuffer_;
    return buffers_.empty() ? nullptr : buffers_[static_cast<std::size_t>(active_)].get();
}

// A transient state: views are not told.
void TDataSet::BeginLookupKey(TRecordBuffer& key) {
    keptState_ = state_;
    keyBuffer_ = &key;
    state_ = TDataSetState::dsLookupKey;
}

void TDataSet::EndLookupKey() {
    state_ = keptState_;
    keyBuffer_ = nullptr;
}

void TDataSet::BeforeFieldWrite(const TField* field) const {
    if (state_ == TDataSetState::dsInactive || state_ == TDataSetState::dsBrowse) {
        DatabaseError(FormatMessage(msg::NotEditing));
    }
    if (field->ReadOnly() && Editing(state_)) {
        throw EDatabaseError(FormatMessage(msg::FieldReadOnly, {field->DisplayName()}));
    }
}

void TDataSet::AfterFieldWrite(TField* field) {
    if (Editing(state_)) modified_ = true;
    if (state_ != TDataSetState::dsLookupKey) DataEvent(TDataEvent::deFieldChange, field);
}

void TDataSet::SetFieldData(TField* field, const void* buffer) {
    BeforeFieldWrite(field);
    WriteFieldData(*ActiveBuffer(), field, buffer);
    AfterFieldWrite(field);
}

void TDataSet::SetBlobData(TField* field, const std::string& text) {
    BeforeFieldWrite(field);
    WriteBlobData(*ActiveBuffer(), field, text);
    AfterFieldWrite(field);
}

void TDataSet::CheckRequiredFields() const {
    for (const auto& field : fields_) {
        if (field->Required() && !field->ReadOnly() && field->IsNull()) {
            throw EDatabaseError(FormatMessage(msg::FieldRequired, {field->DisplayName()}));
        }
    }
}

// ---- Notifications ----

void TDataSet::AttachDataSource(TDataSource* source) {
    dataSources_.push_back(source);
    UpdateBufferCount();
}

void TDataSet::DetachDataSource(TDataSource* source) {
    std::erase(dataSources_, source);
    UpdateBufferCount();
}

void TDataSet::DataEvent(TDataEvent event, TField* field, int distance) {
    // A view's handler may attach or detach data sources while we notify.
    for (TDataSource* source : std::vector<TDataSource*>(dataSources_)) {
        source->DataEvent(event, field, distance);
    }
}

void TDataSet::SetState(TDataSetState state) {
    if (state_ == state) return;
    state_ = state;
    modified_ = false;
    DataEvent(TDataEvent::deUpdateState);
}

void TDataSet::RunWithErrorHook(const TDataSetErrorEvent& hook,
                                const std::function<void()>& action) {
    while (true) {
        try {
            action();
            return;
        } catch (EDatabaseError& error) {
            if (!hook) throw;
            TDataAction decision = TDataAction::daFail;
            hook(this, error, decision);
            if (decision == TDataAction::daFail) throw;
            if (decision == TDataAction::daAbort) throw EAbort();
        }
    }
}

// ---- Open and close ----

void TDataSet::Open() {
    if (Active()) return;
    Fire(BeforeOpen);
    InternalOpen();
    try {
        if (!filter_.empty()) InstallFilter(filter_, filterOptions_);
        if (filtered_) ActivateFilter(true);
        InternalFirst();
        FillFromCursor(false);
    } catch (...) {
        ReleaseBuffers();
        InternalClose();
        throw;
    }
    SetState(TDataSetState::dsBrowse);
    Fire(AfterOpen);
    if (!IsEmpty()) Fire(AfterScroll);
}

void TDataSet::Close() {
    if (!Active()) return;
    Fire(BeforeClose);
    if (state_ == TDataSetState::dsEdit) InternalCancel();
    SetState(TDataSetState::dsInactive);
    ReleaseBuffers();
    InternalClose();
    Fire(AfterClose);
}

// ---- Moving ----

void TDataSet::First() {
    MoveToEnd(false);
}

void TDataSet::Last() {
    MoveToEnd(true);
}

void TDataSet::MoveToEnd(bool last) {
    CheckBrowseMode();
    Fire(BeforeScroll);
    last ? InternalLast() : InternalFirst();
    FillFromCursor(last);
    DataEvent(TDataEvent::deDataSetChange);
    Fire(AfterScroll);
}

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    Fire(BeforeScroll);
    if ((distance > 0 && eof_) || (distance < 0 && bof_) || distance == 0) return 0;
    bof_ = eof_ = false;
    const int oldCount = BufferCount();
    evicted_ = 0;
    const bool forward = distance > 0;
    const int room = forward ? oldCount - 1 - active_ : active_;
    const int within = std::min(std::abs(distance), room);
    active_ += forward ? within : -within;
    int moved = within;
    const int rest = std::abs(distance) - within;
    if (rest > 0) {
        InternalSetToRecord(forward ? *buffers_.back() : *buffers_.front());
        const int read = ReadRecords(forward ? rest : -rest);
        moved += read;
        active_ = forward ? BufferCount() - 1 : 0;
        (forward ? eof_ : bof_) = read < rest;
    }
    if (BufferCount() != oldCount) {
        DataEvent(TDataEvent::deDataSetChange);
    } else {
        DataEvent(TDataEvent::deDataSetScroll, nullptr, evicted_);
    }
    Fire(AfterScroll);
    return forward ? moved : -moved;
}

// ---- Insert, edit, post, cancel, delete, refresh ----

void TDataSet::BeginInsert(bool append) {
    CheckBrowseMode();
    PrepareInsert();
    if (!CanModify()) DatabaseError(FormatMessage(msg::DataSetReadOnly));
    Fire(BeforeInsert);
    Fire(BeforeScroll);
    KeepReturnPoint();
    PlaceNewRecord(append);
    SetState(TDataSetState::dsInsert);
    try {
        InitNewRecord();
        Fire(OnNewRecord);
    } catch (...) {
        UndoInsert();
        throw;
    }
    modified_ = false;
    DataEvent(TDataEvent::deDataSetChange);
    Fire(AfterInsert);
    Fire(AfterScroll);
}

void TDataSet::KeepReturnPoint() {
    returnRow_ = active_;
    if (IsEmpty()) {
        if (returnTo_) spare_.push_back(std::move(returnTo_));
        return;
    }
    if (!returnTo_) returnTo_ = SpareBuffer();
    CopyRecord(*ActiveBuffer(), *returnTo_);
}

void TDataSet::PlaceNewRecord(bool append) {
    std::unique_ptr<TRecordBuffer> fresh = SpareBuffer();
    InternalInitRecord(*fresh);
    if (append) {
        // Show the last records with the new one after them.
        InternalLast();
        ClearBuffers();
        if (capacity_ > 1) ReadRecords(-(capacity_ - 1));
        buffers_.push_back(std::move(fresh));
        active_ = BufferCount() - 1;
        bof_ = false;
        eof_ = true;
        return;
    }
    buffers_.insert(buffers_.begin() + (IsEmpty() ? 0 : active_), std::move(fresh));
    if (BufferCount() > capacity_) {
        spare_.push_back(std::move(buffers_.back()));
        buffers_.pop_back();
    }
    bof_ = eof_ = false;
}

// Drops the new record; the record that was current before it becomes current again, on its
// row. Cancel, delete during an insert and a failed OnNewRecord all come here.
void TDataSet::UndoInsert() {
    ClearBuffers();
    if (returnTo_) buffers_.push_back(std::move(returnTo_));
    SetState(TDataSetState::dsBrowse);
    ResyncAt(returnRow_);
}

void TDataSet::Edit() {
    if (Editing(state_)) return;
    CheckActive();
    if (IsEmpty()) return Insert();
    CheckBrowseMode();
    if (!CanModify()) DatabaseError(FormatMessage(msg::DataSetReadOnly));
    Fire(BeforeEdit);
    RunWithErrorHook(OnEditError, [this] { InternalEdit(*ActiveBuffer()); });
    SetState(TDataSetState::dsEdit);
    DataEvent(TDataEvent::deRecordChange);
    Fire(AfterEdit);
}

void TDataSet::Post() {
    if (!Editing(state_)) DatabaseError(FormatMessage(msg::NotEditing));
    DataEvent(TDataEvent::deUpdateRecord);
    DataEvent(TDataEvent::deCheckBrowseMode);
    Fire(BeforePost);
    const bool inserting = state_ == TDataSetState::dsInsert;
    RunWithErrorHook(OnPostError, [this, inserting] {
        CheckRequiredFields();
        InternalPost(*ActiveBuffer(), inserting);
    });
    SetState(TDataSetState::dsBrowse);
    Resync();
    Fire(AfterPost);
}

void TDataSet::Cancel() {
    if (!Editing(state_)) return;
    DataEvent(TDataEvent::deCheckBrowseMode);
    Fire(BeforeCancel);
    const bool inserting = state_ == TDataSetState::dsInsert;
    if (inserting) {
        Fire(BeforeScroll);
        UndoInsert();
    } else {
        InternalCancel();
        SetState(TDataSetState::dsBrowse);
        Resync();
    }
    Fire(AfterCancel);
    if (inserting) Fire(AfterScroll);
}

void TDataSet::Delete() {
    CheckActive();
    if (state_ == TDataSetState::dsInsert) return Cancel();
    if (IsEmpty()) DatabaseError(FormatMessage(msg::DataSetEmpty));
    DataEvent(TDataEvent::deCheckBrowseMode);
    Fire(BeforeDelete);
    Fire(BeforeScroll);
    RunWithErrorHook(OnDeleteError, [this] { InternalDelete(*ActiveBuffer()); });
    SetState(TDataSetState::dsBrowse);
    Resync();
    Fire(AfterDelete);
    Fire(AfterScroll);
}

void TDataSet::Refresh() {
    Fire(BeforeRefresh);
    CheckBrowseMode();
    InternalRefresh();
    Resync();
    Fire(AfterRefresh);
}

int TDataSet::RecordCount() {
    CheckActive();
    return GetRecordCount();
}

int TDataSet::RecordCountUpTo(int most) {
    // Just opened or moved to its first record, the window holds the first records already: up
    // to `most` of them, or every one when it is not full.
    if (state_ == TDataSetState::dsBrowse && bof_ &&
        (BufferCount() >= most || BufferCount() < capacity_)) {
        return std::min(BufferCount(), std::max(most, 0));
    }
    // One read of `most` records from the first: the window holds them for the moment.
    const int kept = capacity_;
    capacity_ = std::max(capacity_, most);
    try {
        First();
    } catch (...) {
        capacity_ = kept;
        throw;
    }
    const int count = std::min(BufferCount(), std::max(most, 0));
    capacity_ = kept;
    ResizeWindow();
    return count;
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(TDataEvent::deCheckBrowseMode);
    if (!Editing(state_)) return;
    DataEvent(TDataEvent::deUpdateRecord);
    if (modified_) {
        Post();
    } else {
        Cancel();
    }
}

// ---- Locate and filter ----

bool TDataSet::Locate(const std::string& keyFields, const std::vector<std::string>& keyValues,
                      TLocateOptions options) {
    CheckActive();
    Fire(BeforeScroll);
    CheckBrowseMode();
    std::vector<TField*> fields;
    std::stringstream names(keyFields);
    std::string name;
    while (std::getline(names, name, ';')) fields.push_back(FieldByName(name));
    std::vector<std::string> values(keyValues);
    values.resize(fields.size());
    if (!LocateRecord(fields, values, options)) return false;
    Resync(TResyncMode::rmExactAtCursor);
    Fire(AfterScroll);
    return true;
}

std::optional<double> TDataSet::KeyFraction() {
    if (!Active() || IsEmpty() || State() == TDataSetState::dsInsert) return std::nullopt;
    if (bof_) return 0.0;
    if (eof_) return 1.0;
    InternalSetToRecord(*ActiveBuffer());
    return InternalKeyFraction();
}

bool TDataSet::MoveToKeyFraction(double fraction) {
    CheckActive();
    if (fraction <= 0 || fraction >= 1) {
        fraction <= 0 ? First() : Last();
        return true;
    }
    CheckBrowseMode();
    Fire(BeforeScroll);
    if (!InternalSetToKeyFraction(fraction)) return false;
    Resync(TResyncMode::rmAfterCursor);
    Fire(AfterScroll);
    return true;
}

void TDataSet::SetFilter(const std::string& text) {
    ChangeFilter(text, filterOptions_);
}

void TDataSet::SetFilterOptions(TFilterOptions options) {
    ChangeFilter(filter_, options);
}

void TDataSet::ChangeFilter(const std::string& text, TFilterOptions options) {
    if (!Active()) {
        filter_ = text;
        filterOptions_ = options;
        return;
    }
    CheckBrowseMode();
    if (text == filter_ && options == filterOptions_) return;
    InstallFilter(text, options);
    filter_ = text;
    filterOptions_ = options;
    if (filtered_) First();
}

void TDataSet::SetFiltered(bool filtered) {
    if (!Active()) {
        filtered_ = filtered;
        return;
    }
    CheckBrowseMode();
    if (filtered != filtered_) ActivateFilter(filtered);
    filtered_ = filtered;
    First();
}

// ---- The window of buffered records ----

std::unique_ptr<TRecordBuffer> TDataSet::SpareBuffer() {
    if (spare_.empty()) return AllocRecordBuffer();
    std::unique_ptr<TRecordBuffer> buffer = std::move(spare_.back());
    spare_.pop_back();
    return buffer;
}

void TDataSet::ClearBuffers() {
    for (auto& buffer : buffers_) spare_.push_back(std::move(buffer));
    buffers_.clear();
    active_ = 0;
}

// Frees every buffer, before the cursor that they belong to closes.
void TDataSet::ReleaseBuffers() {
    ClearBuffers();
    spare_.clear();
    returnTo_.reset();
}

// Fills the window from the cursor at the beginning (or, backwards, at the end).
void TDataSet::FillFromCursor(bool backwards) {
    ClearBuffers();
    ReadRecords(backwards ? -capacity_ : capacity_);
    active_ = backwards ? std::max(0, BufferCount() - 1) : 0;
    bof_ = backwards ? IsEmpty() : true;
    eof_ = backwards ? true : IsEmpty();
}

// Reads up to |count| records after (count > 0) or before the cursor into that end of the
// window, dropping records at the other end beyond the capacity. Answers how many were read.
int TDataSet::ReadRecords(int count) {
    const bool forward = count > 0;
    int wanted = std::abs(count), read = 0;
    std::vector<std::unique_ptr<TRecordBuffer>> chunk;
    std::vector<TRecordBuffer*> targets;
    while (wanted > 0) {
        const int size = std::min(wanted, std::max(capacity_, kReadChunk));
        while (static_cast<int>(chunk.size()) < size) chunk.push_back(SpareBuffer());
        chunk.resize(static_cast<std::size_t>(size));
        targets.clear();
        for (auto& buffer : chunk) targets.push_back(buffer.get());
        const int got = GetRecords(forward ? size : -size, targets);
        for (int i = 0; i < got; ++i) {
            PushRecord(std::move(chunk[static_cast<std::size_t>(i)]), forward);
        }
        chunk.erase(chunk.begin(), chunk.begin() + got);
        read += got;
        wanted -= got;
        if (got < size) break;
    }
    for (auto& buffer : chunk) spare_.push_back(std::move(buffer));
    return read;
}

void TDataSet::PushRecord(std::unique_ptr<TRecordBuffer> buffer, bool atBack) {
    if (atBack) {
        buffers_.push_back(std::move(buffer));
    } else {
        buffers_.insert(buffers_.begin(), std::move(buffer));
        ++active_;
    }
    if (BufferCount() <= capacity_) return;
    if (atBack) {
        spare_.push_back(std::move(buffers_.front()));
        buffers_.erase(buffers_.begin());
        --active_;
        ++evicted_;
    } else {
        spare_.push_back(std::move(buffers_.back()));
        buffers_.pop_back();
        --evicted_;
    }
}

// The record at the cursor's place, else the next one, else the prior one; or exactly the
// record at the cursor.
bool TDataSet::ReadAnchor(TRecordBuffer& into, TResyncMode mode) {
    if (mode == TResyncMode::rmExactAtCursor) {
        if (!GetRecord(into, TGetMode::gmCurrent))
            DatabaseError(FormatMessage(msg::RecordNotFound));
        return true;
    }
    if (mode == TResyncMode::rmAfterCursor) {
        if (GetRecord(into, TGetMode::gmNext)) return true;
        InternalLast();
        return GetRecord(into, TGetMode::gmPrior);
    }
    if (IsEmpty()) {
        InternalFirst();
        return GetRecord(into, TGetMode::gmNext);
    }
    InternalSetToRecord(*ActiveBuffer());
    return GetRecord(into, TGetMode::gmCurrent) || GetRecord(into, TGetMode::gmNext) ||
           GetRecord(into, TGetMode::gmPrior);
}

// Re-reads the window around the current record, which keeps its row where the neighbouring
// records allow; a record found at the cursor is centred instead.
void TDataSet::Resync(TResyncMode mode) {
    ResyncAt(mode == TResyncMode::rmAtActive ? active_ : (capacity_ - 1) / 2, mode);
}

// Re-reads the window with the anchor record on `row` where the neighbouring records allow; the
// views may have shrunk the window since the row was taken.
void TDataSet::ResyncAt(int row, TResyncMode mode) {
    row = std::min(row, capacity_ - 1);
    std::unique_ptr<TRecordBuffer> anchor = SpareBuffer();
    const bool found = ReadAnchor(*anchor, mode);
    ClearBuffers();
    if (!found) {
        spare_.push_back(std::move(anchor));
        bof_ = eof_ = true;
        DataEvent(TDataEvent::deDataSetChange);
        return;
    }
    buffers_.push_back(std::move(anchor));
    if (row > 0) {
        InternalSetToRecord(*buffers_.front());
        ReadRecords(-row);
    }
    if (BufferCount() < capacity_) {
        InternalSetToRecord(*buffers_.back());
        ReadRecords(capacity_ - BufferCount());
    }
    if (BufferCount() < capacity_) {
        InternalSetToRecord(*buffers_.front());
        ReadRecords(BufferCount() - capacity_);
    }
    bof_ = eof_ = false;
    DataEvent(TDataEvent::deDataSetChange);
}

int TDataSet::SetDisplayRecord(int index) {
    const int previous = active_;
    active_ = index;
    return previous;
}

int TDataSet::WantedBufferCount() const {
    int wanted = 1;
    for (const TDataSource* source : dataSources_) wanted = std::max(wanted, source->BufferCount());
    return wanted;
}

void TDataSet::UpdateBufferCount() {
    const int wanted = WantedBufferCount();
    if (wanted == capacity_) return;
    capacity_ = wanted;
    // While a record is being edited the window adapts at the next re-read.
    if (state_ == TDataSetState::dsBrowse) ResizeWindow();
}

void TDataSet::ResizeWindow() {
    while (BufferCount() > capacity_) {
        const bool dropFront = active_ >= capacity_;
        auto victim = dropFront ? buffers_.begin() : buffers_.end() - 1;
        spare_.push_back(std::move(*victim));
        buffers_.erase(victim);
        if (dropFront) --active_;
    }
    // Nothing lies beyond the end that Bof or Eof marks: reading there would only step over
    // every record the cursor does not see.
    if (!IsEmpty() && BufferCount() < capacity_ && !eof_) {
        InternalSetToRecord(*buffers_.back());
        ReadRecords(capacity_ - BufferCount());
    }
    if (!IsEmpty() && BufferCount() < capacity_ && !bof_) {
        InternalSetToRecord(*buffers_.front());
        ReadRecords(BufferCount() - capacity_);
    }
    DataEvent(TDataEvent::deDataSetChange);
}
