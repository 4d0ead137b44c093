// The visit-history window: the patients in a short grid above, the current patient's visits at
// full height below, a splitter bar between them. Modal, created for one showing; it binds to
// the patients' and visits' data sources it is handed and owns no record set, so moving in its
// patient grid changes its creator's current patient. Its navigator moves, edits, posts,
// cancels and refreshes visits but neither inserts nor deletes. A double-click on the visit
// grid picks that grid's font.
#pragma once

#include <QDialog>

#include "app/common/font_dialog.h"
#include "data/data_source.h"
#include "views/db_navigator.h"
#include "views/grid/db_grid.h"
#include "views/splitter.h"

class TFormjzlc : public QDialog {
  public:
    TFormjzlc(TDataSource* patients, TDataSource* visits, QWidget* owner);

    // ---- Controls ----
    TDBNavigator* DBNavigatorBingLi;
    TDBGrid* DBGridBingren;
    TSplitter* Splitter1;
    TDBGrid* DBGridBingLi;
    TFontDialog* FontDialog1;

    // ---- Handlers ----
    void DBGridBingLiDblClick(TDBGrid* Sender);
};
