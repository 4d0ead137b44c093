#include "app/forms/Unittsfzbr.h"

#include <QVBoxLayout>

#include "app/common/column_table.h"
#include "app/common/window_style.h"

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
}
