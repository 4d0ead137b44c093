// The all-patients window: every patient at full height, with a navigator of all ten buttons,
// the only one of the program that deletes (after the delete confirmation). Modal, created for
// one showing; it binds to the patients' data source it is handed and owns no record set, so
// every move and edit made in it is its creator's. A double-click on the grid picks its font.
#pragma once

#include <QDialog>

#include "app/common/font_dialog.h"
#include "data/data_source.h"
#include "views/db_navigator.h"
#include "views/grid/db_grid.h"

class TFormAllBingren : public QDialog {
  public:
    TFormAllBingren(TDataSource* patients, QWidget* owner);

    // ---- Controls ----
    TDBNavigator* DBNavigator1;
    TDBGrid* DBGrid1;
    TFontDialog* FontDialog1;

    // ---- Handlers ----
    void DBGrid1DblClick(TDBGrid* Sender);
};
