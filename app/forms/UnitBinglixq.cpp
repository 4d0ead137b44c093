#include "app/forms/UnitBinglixq.h"

#include <QVBoxLayout>

#include "app/common/column_table.h"
#include "app/common/window_style.h"

TFormblxq::TFormblxq(TDataSource* visits, QWidget* parent) : QWidget(parent) {
    setObjectName("Formblxq");
    setWindowTitle(QStringLiteral("病历详情"));
    setWindowIcon(ApplicationIcon());
    setFont(ClinicFont(kWindowFontPixels));
    // move() places the frame, resize() the client area.
    move(324, 108);
    resize(688, 452);
    // Closing it while the main window is hidden or minimized must not end the program.
    setAttribute(Qt::WA_QuitOnClose, false);

    FontDialog1 = new TFontDialog(this);
    FontDialog1->setObjectName("FontDialog1");

    DBMemo1 = new TDBMemo(this);
    DBMemo1->setObjectName("DBMemo1");
    DBMemo1->SetDataSource(visits);
    DBMemo1->SetDataField("Xbs");
    DBMemo1->SetImeMode(TImeMode::imChinese);
    DBMemo1->SetImeName(kSmartAbc);
    DBMemo1->SetScrollBars(TScrollStyle::ssNone);
    DBMemo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    DBMemo1->OnDblClick = [this](TDBMemo* memo) { DBMemo1DblClick(memo); };

    DBNavigatorblxq = new TDBNavigator(this);
    DBNavigatorblxq->setObjectName("DBNavigatorblxq");
    DBNavigatorblxq->setFixedHeight(25);
    DBNavigatorblxq->SetDataSource(visits);
    DBNavigatorblxq->SetVisibleButtons({TNavigateBtn::nbEdit, TNavigateBtn::nbPost,
                                        TNavigateBtn::nbCancel, TNavigateBtn::nbRefresh});

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(DBMemo1, 1);
    stack->addWidget(DBNavigatorblxq);
    DBMemo1->setFocus();
}

void TFormblxq::DBMemo1DblClick(TDBMemo*) {
    FontDialog1->TakeFontOf(DBMemo1);
    if (FontDialog1->Execute()) FontDialog1->GiveFontTo(DBMemo1);
}

void TFormblxq::ShowField(const std::string& patientName, const QString& title,
                          const std::string& fieldName) {
    setWindowTitle(QString::fromStdString(patientName) + title);
    DBMemo1->SetDataField(fieldName);
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}
