// The main window: the lookup controls, the patients, the current visit's complaint and its
// four memos, and the current patient's visits, stacked from top to bottom.
//
// It owns the clinic's record sets and data sources for the whole run (ClinicRecordSets) and
// carries the clinic's rules as its handlers (TRecordRules); every other window binds its views
// to these data sources. Creating it opens the record sets, patients first, then the name-search
// query, then the visits; a failure there leaves the window uncreated.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <string>

#include "app/record_rules.h"
#include "data/clinic_record_sets.h"
#include "views/db_memo.h"
#include "views/db_navigator.h"
#include "views/grid/db_grid.h"
#include "views/input_method_line_edit.h"
#include "views/splitter.h"

class TFormblxq;
class TUserGuide;

class TFormQorvynabldjxt : public QWidget, public ClinicRecordSets, public TRecordRules {
  public:
    // Throws when a record set cannot be opened.
    explicit TFormQorvynabldjxt(QWidget* parent = nullptr);

    // ---- Controls ----
    QGroupBox* GroupBox1;
    QLabel* Label1;
    TImeLineEdit* Editblhxm;
    QPushButton* BitBtnczxm;
    QPushButton* BitBtnTsfz;
    TDBGrid* DBGridBingren;
    TDBNavigator* DBNavigatorydsj;
    TDBGrid* DBGridZhushu;
    TSplitter* Splitter1;
    TDBMemo* DBMemoXbs;
    TSplitter* Splitter2;
    TDBMemo* DBMemoJcsj;
    TDBMemo* DBMemoZhengduan;
    TSplitter* Splitter4;
    TDBMemo* DBMemoZhiliao;
    TSplitter* Splitter6;
    TDBGrid* DBGridbingli;
    TDBNavigator* DBNavigatorBingli;

    // The record-detail window, which start-up creates after this window and sets here; the
    // memos' double-clicks show it.
    TFormblxq* Formblxq = nullptr;

    // ---- Handlers ----
    void FormCreate();
    void DBGridBingrenCellClick(TColumn* Column);
    void DBGridbingliCellClick(TColumn* Column);
    void EditblhxmChange();
    void EditblhxmKeyPress(char Key);
    void BitBtnczxmClick();
    void BitBtnTsfzClick();
    void DBGridBingrenDblClick(TDBGrid* Sender);
    void DBGridbingliDblClick(TDBGrid* Sender);
    void DBMemoXbsDblClick(TDBMemo* Sender);
    void DBMemoJcsjDblClick(TDBMemo* Sender);
    void DBMemoZhengduanDblClick(TDBMemo* Sender);
    void DBMemoZhiliaoDblClick(TDBMemo* Sender);
    // Ctrl+P: the current patient's record with all his visits, in a print preview.
    void PrintPatientRecord();
    // F1: the user's guide in a window of its own, beside this one.
    void ShowUserGuide();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closing the main window ends the program, whatever other window is open.
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateLookup();
    void CreatePatientViews();
    void CreateVisitViews();
    void CreateMemos();
    void LayOut();
    TDBMemo* CreateMemo(const char* name, const char* field, const char* hint);
    // The search text: the box's text without blanks and control characters around it.
    std::string SearchText() const;

    TUserGuide* UserGuide = nullptr;  // made at the first F1, kept until the end
};
