// The name-search results: the patients whose names hold the searched text, in name order.
// The user moves to the wanted row and closes the window; whatever row is current then is taken.
// Enter and a double-click in the grid close it on the current row, as Esc does.
// The window binds to the data source it is handed and owns none of its own.
#pragma once

#include <QDialog>

#include "data/data_source.h"
#include "views/grid/db_grid.h"

class TFormczxmjg : public QDialog {
  public:
    TFormczxmjg(TDataSource* results, QWidget* owner);

    TDBGrid* DBGridDczxm;

  protected:
    // Takes Enter and Esc before the grid or its cell editor acts on them.
    bool eventFilter(QObject* watched, QEvent* event) override;
};
