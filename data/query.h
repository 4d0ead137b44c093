// A record set over the answer of one query of the engine's dialect. The answer is read-only:
// insert, append and edit fail with "Cannot modify a read-only dataset".
#pragma once

#include <string>
#include <vector>

#include "data/engine_dataset.h"

class TQuery : public TEngineDataSet {
  public:
    explicit TQuery(std::string name);
    ~TQuery() override;

    // The statement, a list of lines joined by line breaks.
    const std::vector<std::string>& SQL() const { return sql_; }
    void SetSQL(std::vector<std::string> lines) { sql_ = std::move(lines); }
    std::string Text() const;

  protected:
    hDBICur OpenCursor(hDBIDb db) override;
    void CursorClosing() override;

  private:
    std::vector<std::string> sql_;
    hDBIStmt statement_ = nullptr;
};
