#include "app/forms/Unitczxmjg.h"

#include <QKeyEvent>
#include <QVBoxLayout>

#include "app/common/window_style.h"
#include "views/grid/grid_cell_editor.h"

TFormczxmjg::TFormczxmjg(TDataSource* results, QWidget* owner) : QDialog(owner) {
    setObjectName("Formczxmjg");
    setWindowTitle(QStringLiteral("查找姓名结果"));
    setWindowIcon(ApplicationIcon());
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(ClinicFont(kWindowFontPixels));
    resize(675, 329);

    DBGridDczxm = new TDBGrid(this);
    DBGridDczxm->setObjectName("DBGridDczxm");
    DBGridDczxm->SetFont(ClinicFont(kWindowFontPixels));
    DBGridDczxm->SetDataSource(results);
    for (const char* field : {"Id", "Xm", "Xb", "Nl", "Gzdw", "Lxdh"}) {
        TColumn* column = DBGridDczxm->Columns().Add();
        column->SetFieldName(field);
        column->Title().SetAlignment(TAlignment::taCenter);
    }
    DBGridDczxm->OnDblClick = [this](TDBGrid*) { accept(); };
    DBGridDczxm->installEventFilter(this);
    DBGridDczxm->InplaceEditor()->installEventFilter(this);

    auto* fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(DBGridDczxm);
}

bool TFormczxmjg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                accept();
                return true;
            case Qt::Key_Escape:
                reject();
                return true;
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}
