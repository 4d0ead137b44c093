// The follow-up reminder: the patients due tomorrow, with whether each was reminded and what he
// answered. It shows the patients' record set as its creator has filtered it, through the data
// source it is handed; it owns none of its own and has no click rules.
#pragma once

#include <QDialog>

#include "data/data_source.h"
#include "views/db_navigator.h"
#include "views/grid/db_grid.h"

class TFormtsfzbr : public QDialog {
  public:
    TFormtsfzbr(TDataSource* patients, QWidget* owner);

    TDBGrid* DBGridtsfzbr;
    TDBNavigator* DBNavigatortsfzbr;

    // Ctrl+P: the patients listed, as a call list in a print preview.
    void PrintCallList();
};
