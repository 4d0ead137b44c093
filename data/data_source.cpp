#include "data/data_source.h"

#include <algorithm>

// ---- TDataLink ----

TDataLink::~TDataLink() {
    SetDataSource(nullptr);
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == dataSource_) return;
    if (dataSource_) dataSource_->RemoveDataLink(this);
    dataSource_ = source;
    if (dataSource_) dataSource_->AddDataLink(this);
}

TDataSet* TDataLink::DataSet() const {
    return dataSource_ ? dataSource_->DataSet() : nullptr;
}

// ---- TDataSource ----

TDataSource::~TDataSource() {
    SetDataSet(nullptr);
    for (TDataLink* link : std::vector<TDataLink*>(links_)) link->SetDataSource(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (dataSet == dataSet_) return;
    if (dataSet_) dataSet_->DetachDataSource(this);
    dataSet_ = dataSet;
    if (dataSet_) dataSet_->AttachDataSource(this);
    DataEvent(TDataEvent::deUpdateState, nullptr, 0);
}

void TDataSource::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    DataEvent(TDataEvent::deUpdateState, nullptr, 0);
}

TDataSetState TDataSource::State() const {
    return dataSet_ && enabled_ ? dataSet_->State() : TDataSetState::dsInactive;
}

void TDataSource::Edit() {
    if (autoEdit_ && State() == TDataSetState::dsBrowse) dataSet_->Edit();
}

void TDataSource::AddDataLink(TDataLink* link) {
    links_.push_back(link);
    if (dataSet_) dataSet_->UpdateBufferCount();
}

void TDataSource::RemoveDataLink(TDataLink* link) {
    std::erase(links_, link);
    if (dataSet_) dataSet_->UpdateBufferCount();
}

int TDataSource::BufferCount() const {
    int count = 1;
    for (const TDataLink* link : links_) count = std::max(count, link->BufferCount());
    return count;
}

void TDataSource::DataEvent(TDataEvent event, TField* field, int distance) {
    if (event != TDataEvent::deUpdateState && (!enabled_ || !dataSet_ || !dataSet_->Active())) {
        return;
    }
    for (TDataLink* link : std::vector<TDataLink*>(links_)) link->DataEvent(event, field, distance);
    switch (event) {
        case TDataEvent::deUpdateState:
            if (OnStateChange) OnStateChange(this);
            break;
        case TDataEvent::deFieldChange:
        case TDataEvent::deRecordChange:
        case TDataEvent::deDataSetChange:
        case TDataEvent::deDataSetScroll:
            if (OnDataChange) OnDataChange(this, field);
            break;
        case TDataEvent::deUpdateRecord:
            if (OnUpdateData) OnUpdateData(this);
            break;
        default:
            break;
    }
}
