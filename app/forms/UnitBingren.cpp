#include "app/forms/UnitBingren.h"

#include <QVBoxLayout>

#include "app/common/column_table.h"
#include "app/common/window_style.h"

TFormAllBingren::TFormAllBingren(TDataSource* patients, QWidget* owner) : QDialog(owner) {
    setObjectName("FormAllBingren");
    setWindowTitle(QStringLiteral("所有病人档案"));
    setWindowIcon(ApplicationIcon());
    setWindowFlags(Qt::Window);
    setFont(ClinicFont(kWindowFontPixels));
    resize(688, 452);

    // All ten buttons, Delete among them.
    DBNavigator1 = new TDBNavigator(this);
    DBNavigator1->setObjectName("DBNavigator1");
    DBNavigator1->setFixedHeight(25);
    DBNavigator1->SetDataSource(patients);

    DBGrid1 = new TDBGrid(this);
    DBGrid1->setObjectName("DBGrid1");
    DBGrid1->SetDataSource(patients);
    DBGrid1->SetFont(ClinicFont(kGridFontPixels));
    DBGrid1->SetTitleFont(ClinicFont(kWindowFontPixels));
    AddPatientListColumns(DBGrid1);
    DBGrid1->OnDblClick = [this](TDBGrid* grid) { DBGrid1DblClick(grid); };
    DBGrid1->setFocus();

    FontDialog1 = new TFontDialog(this);
    FontDialog1->setObjectName("FontDialog1");

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(DBGrid1, 1);
    stack->addWidget(DBNavigator1);
}

void TFormAllBingren::DBGrid1DblClick(TDBGrid*) {
    FontDialog1->TakeFontOf(DBGrid1);
    if (FontDialog1->Execute()) FontDialog1->GiveFontTo(DBGrid1);
}
