// A data source ties one record set to any number of views and relays every change of the
// record set to all of them, so that a move or an edit made through one view is seen at once in
// every other. A view talks to its data source through a TDataLink.
#pragma once

#include <functional>
#include <vector>

#include "data/dataset.h"

class TDataSource;

// A view's (or a detail record set's) connection to a data source.
class TDataLink {
  public:
    TDataLink() = default;
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return dataSource_; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const;
    // How many records the view shows at once; the record set keeps that many at hand.
    virtual int BufferCount() const { return 1; }

    // Requires: `field` for deFieldChange, `distance` for deDataSetScroll.
    virtual void DataEvent(TDataEvent event, TField* field, int distance) = 0;

  private:
    TDataSource* dataSource_ = nullptr;
};

class TDataSource {
  public:
    TDataSource() = default;
    ~TDataSource();
    TDataSource(const TDataSource&) = delete;
    TDataSource& operator=(const TDataSource&) = delete;

    TDataSet* DataSet() const { return dataSet_; }
    void SetDataSet(TDataSet* dataSet);
    // With AutoEdit on, a view's first change puts a browsing record set into edit state.
    bool AutoEdit() const { return autoEdit_; }
    void SetAutoEdit(bool value) { autoEdit_ = value; }
    // A disabled data source passes on only state changes.
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    TDataSetState State() const;

    // A view asks to start editing.
    void Edit();

    void AddDataLink(TDataLink* link);
    void RemoveDataLink(TDataLink* link);
    int BufferCount() const;

    // Relays a record set's notification to every view.
    void DataEvent(TDataEvent event, TField* field, int distance);

    std::function<void(TDataSource*, TField*)> OnDataChange;
    std::function<void(TDataSource*)> OnStateChange;
    std::function<void(TDataSource*)> OnUpdateData;

  private:
    TDataSet* dataSet_ = nullptr;
    bool autoEdit_ = true;
    bool enabled_ = true;
    std::vector<TDataLink*> links_;
};
