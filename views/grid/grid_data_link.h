// The grid's connection to its data source: it asks the record set to keep as many records at
// hand as the grid shows rows, and hands every notification to the grid.
#pragma once

#include "data/data_source.h"

class TDBGrid;

class TGridDataLink : public TDataLink {
  public:
    explicit TGridDataLink(TDBGrid& grid) : grid_(grid) {}
    int BufferCount() const override;
    void DataEvent(TDataEvent event, TField* field, int distance) override;

  private:
    TDBGrid& grid_;
};
