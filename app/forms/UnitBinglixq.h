// The record-detail window: one memo field of the current visit, large, captioned with the
// patient's name, in a font of the user's choosing. Created hidden at start-up, after the main
// window, over the visits' data source it is handed; it lives for the whole run, and closing it
// only hides it, so that its position, size and font are kept for the next showing.
#pragma once

#include <QString>
#include <QWidget>
#include <string>

#include "app/common/font_dialog.h"
#include "data/data_source.h"
#include "views/db_memo.h"
#include "views/db_navigator.h"

class TFormblxq : public QWidget {
  public:
    explicit TFormblxq(TDataSource* visits, QWidget* parent = nullptr);

    // ---- Controls ----
    TFontDialog* FontDialog1;
    TDBMemo* DBMemo1;
    TDBNavigator* DBNavigatorblxq;

    // ---- Handlers ----
    void DBMemo1DblClick(TDBMemo* Sender);

    // Captions the window with the patient's name directly followed by `title`, points DBMemo1
    // at the field (ignoring case) and shows the window in front, with the focus in the memo.
    // The field name last given, letter for letter, keeps the memo's text, typed text included;
    // another name drops typed text and shows that field of the current visit.
    void ShowField(const std::string& patientName, const QString& title,
                   const std::string& fieldName);
};
