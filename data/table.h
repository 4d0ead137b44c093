// A record set over one table of the database directory.
//
// A detail table names a master data source and the master's fields (MasterFields, separated
// by semicolons); it then shows only the records whose leading index fields equal those master
// fields, as a range on its current index (IndexName), and re-ranges only when the master's key
// really changed. A record inserted there takes the master's key.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/data_source.h"
#include "data/engine_dataset.h"

class TTable : public TEngineDataSet {
  public:
    explicit TTable(std::string name);
    ~TTable() override;

    const std::string& TableName() const { return tableName_; }
    void SetTableName(const std::string& name) { tableName_ = name; }
    // Empty for the primary index.
    const std::string& IndexName() const { return indexName_; }
    void SetIndexName(const std::string& name) { indexName_ = name; }

    TDataSource* MasterSource() const { return masterLink_.DataSource(); }
    void SetMasterSource(TDataSource* source) { masterLink_.SetDataSource(source); }
    const std::string& MasterFields() const { return masterFields_; }
    void SetMasterFields(const std::string& fields) { masterFields_ = fields; }

  protected:
    hDBICur OpenCursor(hDBIDb db) override;
    void CursorOpened() override;
    void CursorClosing() override;
    void PrepareInsert() override;
    void InitNewRecord() override;
    std::vector<TField*> CurrentIndexFields() const override { return indexFields_; }

  private:
    // Follows the master data source for the detail.
    class MasterLink : public TDataLink {
      public:
        explicit MasterLink(TTable& table) : table_(table) {}
        void DataEvent(TDataEvent event, TField* field, int distance) override;

      private:
        TTable& table_;
    };

    // The master's key: one value per master field, each null or its text.
    using Key = std::vector<std::optional<std::string>>;

    DBIResult OpenTable(hDBIDb db, hDBICur& cursor) const;
    bool LinkedToMaster() const;
    std::vector<TField*> MasterFieldList() const;
    std::vector<TField*> ReadIndexFields() const;
    bool IsMasterField(const TField* field) const;
    Key MasterKey() const;
    void MasterChanged();
    void ApplyRange(const Key& key);
    void WriteKey(TRecordBuffer& buffer, const Key& key);

    std::string tableName_;
    std::string indexName_;
    std::string masterFields_;
    MasterLink masterLink_{*this};
    std::optional<Key> appliedKey_;
    std::vector<TField*> indexFields_;  // of the current index, leading field first
};
