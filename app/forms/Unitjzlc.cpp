#include "app/forms/Unitjzlc.h"

#include <QVBoxLayout>

#include "app/common/column_table.h"
#include "app/common/window_style.h"

TFormjzlc::TFormjzlc(TDataSource* patients, TDataSource* visits, QWidget* owner) : QDialog(owner) {
    setObjectName("Formjzlc");
    setWindowTitle(QStringLiteral("就诊历程"));
    setWindowIcon(ApplicationIcon());
    setWindowFlags(Qt::Window);
    setFont(ClinicFont(kWindowFontPixels));
    resize(688, 452);

    DBNavigatorBingLi = new TDBNavigator(this);
    DBNavigatorBingLi->setObjectName("DBNavigatorBingLi");
    DBNavigatorBingLi->setFixedHeight(25);
    DBNavigatorBingLi->SetDataSource(visits);
    DBNavigatorBingLi->SetVisibleButtons({TNavigateBtn::nbFirst, TNavigateBtn::nbPrior,
                                          TNavigateBtn::nbNext, TNavigateBtn::nbLast,
                                          TNavigateBtn::nbEdit, TNavigateBtn::nbPost,
                                          TNavigateBtn::nbCancel, TNavigateBtn::nbRefresh});

    // Cells and titles in the window's font.
    constexpr TAlignment centre = TAlignment::taCenter, left = TAlignment::taLeftJustify;
    DBGridBingren = new TDBGrid(this);
    DBGridBingren->setObjectName("DBGridBingren");
    DBGridBingren->setFixedHeight(97);
    DBGridBingren->SetDataSource(patients);
    AddColumns(DBGridBingren, {{"Id", centre},
                               {"Xm", centre},
                               {"Xb", centre},
                               {"Nl", centre},
                               {"Lxdh", left},
                               {"Czrq", centre},
                               {"Fzyysj", centre},
                               {"Gzdw", centre}});

    DBGridBingLi = new TDBGrid(this);
    DBGridBingLi->setObjectName("DBGridBingLi");
    DBGridBingLi->SetDataSource(visits);
    AddColumns(DBGridBingLi, {{"Id", centre},
                              {"Brid", centre},
                              {"Lzrq", centre},
                              {"Zhsu", centre, 0, {}, kSmartAbc, TImeMode::imChinese},
                              {"Fzyysj", centre},
                              {"Jzys", centre},
                              {"Jtcy", left, 0, {}, kSmartAbc, TImeMode::imChinese}});
    DBGridBingLi->OnDblClick = [this](TDBGrid* grid) { DBGridBingLiDblClick(grid); };

    // Sets the patient grid's height; the visit grid takes the rest.
    Splitter1 = new TSplitter(DBGridBingren, DBGridBingLi, this);
    Splitter1->setObjectName("Splitter1");

    FontDialog1 = new TFontDialog(this);
    FontDialog1->setObjectName("FontDialog1");

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(DBGridBingren);
    stack->addWidget(Splitter1);
    stack->addWidget(DBGridBingLi, 1);
    stack->addWidget(DBNavigatorBingLi);
    setTabOrder(DBGridBingren, DBGridBingLi);
    DBGridBingren->setFocus();
}

void TFormjzlc::DBGridBingLiDblClick(TDBGrid*) {
    FontDialog1->TakeFontOf(DBGridBingLi);
    if (FontDialog1->Execute()) FontDialog1->GiveFontTo(DBGridBingLi);
}
