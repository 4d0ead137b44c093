// The reminder's call list for print: the patients that a table shows, in its order, each with
// his name, telephone, follow-up date, whether he was reminded and his answer, and room on his
// row to write down by hand how the call went.
#pragma once

#include <QString>
#include <vector>

#include "app/printing/printable.h"
#include "data/table.h"

class TCallListPrint : public TPrintable {
  public:
    // Reads the rows through a table of its own over the same table, index and filter, so that
    // `shown` and its views do not move. Requires: `shown` open and in browse state, a pending
    // edit posted or dropped before.
    TCallListPrint(const TTable& shown, QString subject);

    QString Subject() const override { return subject_; }
    // The rows read, each with its values in the columns' order.
    const std::vector<std::vector<QString>>& Rows() const { return rows_; }

  protected:
    void AddBlocks(TPagedDocument& document) const override;

  private:
    QString subject_;
    std::vector<QString> captions_;
    std::vector<std::vector<QString>> rows_;
};
