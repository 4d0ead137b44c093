// The record-detail window: one memo field of the current visit, large, captioned with the
// patient's name. Created hidden at start-up, after the main window, over the visits' data
// source it is handed; it lives for the whole run and closing it only hides it.
#pragma once

#include <QWidget>

#include "data/data_source.h"

class TFormblxq : public QWidget {
public:
    explicit TFormblxq(TDataSource* visits, QWidget* parent = nullptr);

private:
    TDataSource* visits_;
};
