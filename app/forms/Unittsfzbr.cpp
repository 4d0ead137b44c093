#include "app/forms/Unittsfzbr.h"

#include <QVBoxLayout>

#include "app/window_style.h"

namespace {

const char* const kSmartAbc = "中文 (简体) - 智能 ABC";
const char* const kWubi = "王码五笔型输入法86版";

struct ReminderColumn {
    const char* field;
    int width;  // 0: the default width
    TAlignment titleAlignment;
    QStringList pickList;
    const char* imeName;
};

}  // namespace

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
    const TAlignment centre = TAlignment::taCenter, left = TAlignment::taLeftJustify;
    const ReminderColumn columns[] = {
        {"Czrq", 0, centre, {}, ""},
        {"Id", 64, centre, {}, ""},
        {"Xm", 64, centre, {}, kSmartAbc},
        {"Xb", 64, centre, {"男", "女"}, kSmartAbc},
        {"Nl", 64, centre, {}, ""},
        {"Lxdh", 64, centre, {}, ""},
        {"Fzyysj", 64, centre, {}, ""},
        {"Sfylxfz", 64, left, {"是", "否"}, ""},
        {"Dfhf", 64, left, {"按时复诊", "改时再约", "放弃治疗", "无人应答", "电话换号"}, ""},
        {"Jtcy", 64, left, {}, kSmartAbc},
        {"Gzdw", 64, centre, {}, kWubi},
        {"Txdz", 64, centre, {}, kSmartAbc},
        {"Dzyx", 0, centre, {}, ""}};
    for (const ReminderColumn& spec : columns) {
        TColumn* column = DBGridtsfzbr->Columns().Add();
        column->SetFieldName(spec.field);
        if (spec.width) column->SetWidth(spec.width);
        column->Title().SetAlignment(spec.titleAlignment);
        if (!spec.pickList.isEmpty()) column->SetPickList(spec.pickList);
        if (*spec.imeName) column->SetImeName(spec.imeName);
    }

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
