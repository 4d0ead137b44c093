#include "app/forms/Unittsfzbr.h"

#include <QShortcut>
#include <QVBoxLayout>

#include "app/common/column_table.h"
#include "app/common/window_style.h"
#include "app/printing/call_list_print.h"
#include "app/printing/print_preview.h"

TFormtsfzbr::TFormtsfzbr(TDataSource* patients, QWidget* owner) : QDialog(owner) {
    setObjectName("Formtsfzbr");
    setWindowTitle(QStringLiteral("提示复诊病人"));
    setWindowIcon(ApplicationIcon());
    setWindowFlags(Qt::Window);
    setFont(ClinicFont(kWindowFontPixels));
    resize(696, 480);

    DBGridtsfzbr = new TDBGrid(this);
    DBGridtsfzbr->setObjectName("DBGridtsfzbr");
    DBGridtsfzbr->SetFont(ClinicFont(kGridFontPixels));
    DBGridtsfzbr->SetTitleFont(ClinicFont(kWindowFontPixels));
    DBGridtsfzbr->SetDataSource(patients);
    AddPatientListColumns(DBGridtsfzbr);

    DBNavigatortsfzbr = new TDBNavigator(this);
    DBNavigatortsfzbr->setObjectName("DBNavigatortsfzbr");
    DBNavigatortsfzbr->SetDataSource(patients);
    DBNavigatortsfzbr->SetVisibleButtons(
        {TNavigateBtn::nbFirst, TNavigateBtn::nbPrior, TNavigateBtn::nbNext, TNavigateBtn::nbLast,
         TNavigateBtn::nbInsert, TNavigateBtn::nbEdit, TNavigateBtn::nbPost, TNavigateBtn::nbCancel,
         TNavigateBtn::nbRefresh});

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(DBGridtsfzbr, 1);
    stack->addWidget(DBNavigatortsfzbr);

    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this), &QShortcut::activated, this,
            [this] { PrintCallList(); });
}

// A pending edit is posted, or dropped, as a move would; the list is read as then stored, in
// the order the grid shows it, without moving the grid's record set.
void TFormtsfzbr::PrintCallList() {
    TDataSet& patients = *DBGridtsfzbr->DataSource()->DataSet();
    patients.CheckBrowseMode();
    ShowPrintPreview(TCallListPrint(dynamic_cast<const TTable&>(patients), windowTitle()), this);
}
