#include "app/Unitbinglidj.h"

#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <optional>

#include "app/common/column_table.h"
#include "app/common/window_style.h"
#include "app/forms/UnitBinglixq.h"
#include "app/forms/UnitBingren.h"
#include "app/forms/Unitczxmjg.h"
#include "app/forms/Unitjzlc.h"
#include "app/forms/Unittsfzbr.h"
#include "app/help/user_guide.h"
#include "app/printing/patient_record_print.h"
#include "app/printing/print_preview.h"
#include "base/dates.h"
#include "base/short_date_format.h"
#include "views/caption_on_frame.h"
#include "views/failure_reporting.h"

namespace {

const char* const kQuanPin = "中文 (简体) - 全拼";

// How a search text is taken, by comparing it with "A" as unsigned bytes.
enum class SearchKind { RecordNumber, Name, Neither };

SearchKind KindOf(const std::string& text) {
    if (text == "A") return SearchKind::Neither;
    return static_cast<unsigned char>(text[0]) < 'A' ? SearchKind::RecordNumber : SearchKind::Name;
}

constexpr TAlignment kCentre = TAlignment::taCenter;
constexpr TAlignment kLeft = TAlignment::taLeftJustify;

// Every column of the grid carries the font of its own.
void SetColumnFonts(TDBGrid* grid, const QFont& font) {
    for (int i = 0; i < grid->Columns().Count(); ++i) grid->Columns()[i]->SetFont(font);
}

QStringList NavigatorHints(const char* subject, const char* deleteHint, const char* subjectOne) {
    const QString what = QString::fromUtf8(subject);
    const QString one = QString::fromUtf8(subjectOne);
    return {"First record/移动到第一" + what, "Prior record/移动到上一" + what,
            "Next record/移动到下一" + what,  "Last record/移动到最后一" + what,
            "Insert record/" + one,           QString::fromUtf8(deleteHint),
            "Edit record/编辑现在这" + what,  "Post edit/保存现在这" + what,
            "Cancel edit/放弃修改",           "Refresh data/刷新数据"};
}

const TNavigateBtns kNineButtons = {
    TNavigateBtn::nbFirst, TNavigateBtn::nbPrior,  TNavigateBtn::nbNext,
    TNavigateBtn::nbLast,  TNavigateBtn::nbInsert, TNavigateBtn::nbEdit,
    TNavigateBtn::nbPost,  TNavigateBtn::nbCancel, TNavigateBtn::nbRefresh};

}  // namespace

TFormQorvynabldjxt::TFormQorvynabldjxt(QWidget* parent)
    : QWidget(parent), TRecordRules(static_cast<ClinicRecordSets&>(*this)) {
    setObjectName("FormQorvynabldjxt");
    setWindowTitle(ApplicationTitle() + " " + QStringLiteral("(诊所信息组开发)"));
    setWindowIcon(ApplicationIcon());
    setFont(ClinicFont(kWindowFontPixels));
    setGeometry(179, 17, 716, 664);
    CreateLookup();
    CreatePatientViews();
    CreateVisitViews();
    CreateMemos();
    LayOut();
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this), &QShortcut::activated, this,
            [this] { PrintPatientRecord(); });
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this,
            [this] { ShowUserGuide(); });
    Attach();
    // The definition marks the record sets active: they open once it is read completely.
    Open();
    try {
        FormCreate();
    } catch (...) {
        static_cast<TApplication*>(QApplication::instance())
            ->HandleException(std::current_exception());
    }
}

// ---- The controls, one block each ----

void TFormQorvynabldjxt::CreateLookup() {
    GroupBox1 = new QGroupBox(QStringLiteral("定位病历"), this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setFixedHeight(65);

    Label1 = new QLabel(QStringLiteral("请输入病历号或姓名:"), GroupBox1);
    Label1->setObjectName("Label1");
    Label1->setGeometry(16, 24, 137, 13);

    Editblhxm = new TImeLineEdit(GroupBox1);
    Editblhxm->setObjectName("Editblhxm");
    Editblhxm->setGeometry(160, 16, 155, 21);
    Editblhxm->setToolTip(QStringLiteral("请输入病历号或姓名"));
    Editblhxm->SetImeMode(TImeMode::imDisable);
    connect(Editblhxm, &QLineEdit::textChanged, this, [this] { EditblhxmChange(); });
    Editblhxm->installEventFilter(this);

    BitBtnczxm = new QPushButton(QStringLiteral("查找姓名"), GroupBox1);
    BitBtnczxm->setObjectName("BitBtnczxm");
    BitBtnczxm->setGeometry(338, 16, 87, 25);
    connect(BitBtnczxm, &QPushButton::clicked, this, [this] { BitBtnczxmClick(); });

    BitBtnTsfz = new QPushButton(QStringLiteral("&T提示复诊"), GroupBox1);
    BitBtnTsfz->setObjectName("BitBtnTsfz");
    BitBtnTsfz->setGeometry(448, 16, 75, 25);
    connect(BitBtnTsfz, &QPushButton::clicked, this, [this] { BitBtnTsfzClick(); });
    PutCaptionOnFrame(*GroupBox1);
}

void TFormQorvynabldjxt::CreatePatientViews() {
    DBGridBingren = new TDBGrid(this);
    DBGridBingren->setObjectName("DBGridBingren");
    DBGridBingren->setFixedHeight(88);
    DBGridBingren->SetDataSource(&DataSourceBingren);
    AddColumns(DBGridBingren,
               {{"Czrq", kCentre, 0, {}, "", TImeMode::imClose},
                {"Id", kCentre, 0, {}, "", TImeMode::imDontCare, kLeft},
                {"Xm", kCentre, 0, {}, kSmartAbc, TImeMode::imChinese},
                {"Xb", kCentre, 0, {"男", "女"}, kQuanPin},
                {"Nl", kCentre, 0, {}, "", TImeMode::imClose, kLeft},
                {"Lxdh", kCentre, 0, {}, kSmartAbc, TImeMode::imClose},
                {"Fzyysj", kCentre, 0, {}, "", TImeMode::imClose},
                {"Sfylxfz", kLeft, 0, {"是", "否"}},
                {"Dfhf", kLeft, 0, {"按时复诊", "改时再约", "放弃治疗", "无人应答", "电话换号"}},
                {"Txdz", kCentre, 0, {}, kSmartAbc, TImeMode::imChinese},
                {"Gzdw", kCentre, 0, {}, kSmartAbc, TImeMode::imChinese},
                {"Dzyx", kCentre, 0, {}, "", TImeMode::imClose},
                {"Jtcy", kLeft}});
    SetColumnFonts(DBGridBingren, ClinicFont(kGridFontPixels));
    DBGridBingren->OnCellClick = [this](TColumn* column) { DBGridBingrenCellClick(column); };
    DBGridBingren->OnDblClick = [this](TDBGrid* grid) { DBGridBingrenDblClick(grid); };

    DBNavigatorydsj = new TDBNavigator(this);
    DBNavigatorydsj->setObjectName("DBNavigatorydsj");
    DBNavigatorydsj->setFixedHeight(25);
    DBNavigatorydsj->SetDataSource(&DataSourceBingren);
    DBNavigatorydsj->SetVisibleButtons(kNineButtons);
    DBNavigatorydsj->SetHints(
        NavigatorHints("位病人", "Delete record/删除当前这位病人", "增加一位病人"));
    DBNavigatorydsj->SetShowHint(true);
}

void TFormQorvynabldjxt::CreateVisitViews() {
    DBGridZhushu = new TDBGrid(this);
    DBGridZhushu->setObjectName("DBGridZhushu");
    DBGridZhushu->setFixedHeight(49);
    DBGridZhushu->SetDataSource(&DataSourceBingli);
    DBGridZhushu->SetFont(ClinicFont(kGridFontPixels));
    DBGridZhushu->SetImeMode(TImeMode::imChinese);
    DBGridZhushu->SetImeName(kSmartAbc);
    AddColumns(DBGridZhushu, {{"Zhsu", kLeft, 997}});
    DBGridZhushu->Columns()[0]->Title().SetCaption(QStringLiteral("主     诉"));

    DBGridbingli = new TDBGrid(this);
    DBGridbingli->setObjectName("DBGridbingli");
    DBGridbingli->SetDataSource(&DataSourceBingli);
    DBGridbingli->SetFont(ClinicFont(kGridFontPixels));
    DBGridbingli->SetHint(QStringLiteral("病历"));
    DBGridbingli->SetShowHint(true);
    AddColumns(DBGridbingli, {{"Id", kCentre},
                              {"Brid", kCentre},
                              {"Lzrq", kCentre, 0, {}, "", TImeMode::imClose},
                              {"Fzyysj", kCentre, 0, {}, "", TImeMode::imClose},
                              {"Jzys", kCentre},
                              {"Jtcy", kLeft, 135, {}, kSmartAbc, TImeMode::imChinese},
                              {"Zhsu", kCentre, 469, {}, kSmartAbc, TImeMode::imChinese}});
    DBGridbingli->OnCellClick = [this](TColumn* column) { DBGridbingliCellClick(column); };
    DBGridbingli->OnDblClick = [this](TDBGrid* grid) { DBGridbingliDblClick(grid); };

    DBNavigatorBingli = new TDBNavigator(this);
    DBNavigatorBingli->setObjectName("DBNavigatorBingli");
    DBNavigatorBingli->setFixedHeight(25);
    DBNavigatorBingli->SetDataSource(&DataSourceBingli);
    DBNavigatorBingli->SetVisibleButtons(kNineButtons);
    DBNavigatorBingli->SetHints(
        NavigatorHints("条病历", "Delete record/删除当前这条病历", "插入一条新病历"));
    DBNavigatorBingli->SetShowHint(true);
}

TDBMemo* TFormQorvynabldjxt::CreateMemo(const char* name, const char* field, const char* hint) {
    TDBMemo* memo = new TDBMemo(this);
    memo->setObjectName(name);
    memo->SetDataSource(&DataSourceBingli);
    memo->SetDataField(field);
    memo->SetFont(ClinicFont(kMemoFontPixels));
    memo->SetScrollBars(TScrollStyle::ssBoth);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo->SetImeMode(TImeMode::imChinese);
    memo->SetImeName(kSmartAbc);
    memo->SetHint(QString::fromUtf8(hint));
    memo->SetShowHint(true);
    memo->setFixedHeight(89);
    return memo;
}

void TFormQorvynabldjxt::CreateMemos() {
    DBMemoXbs = CreateMemo("DBMemoXbs", "Xbs", "现病史");
    DBMemoXbs->OnDblClick = [this](TDBMemo* memo) { DBMemoXbsDblClick(memo); };
    DBMemoJcsj = CreateMemo("DBMemoJcsj", "Jcsj", "检查所见");
    DBMemoJcsj->OnDblClick = [this](TDBMemo* memo) { DBMemoJcsjDblClick(memo); };
    DBMemoZhengduan = CreateMemo("DBMemoZhengduan", "Zhengduan", "诊断");
    DBMemoZhengduan->OnDblClick = [this](TDBMemo* memo) { DBMemoZhengduanDblClick(memo); };
    DBMemoZhiliao = CreateMemo("DBMemoZhiliao", "Zhiliao", "治疗");
    DBMemoZhiliao->setFixedHeight(92);
    DBMemoZhiliao->OnDblClick = [this](TDBMemo* memo) { DBMemoZhiliaoDblClick(memo); };
}

// Stacked from top to bottom; the visit grid takes what is left, its navigator sits below.
void TFormQorvynabldjxt::LayOut() {
    Splitter1 = new TSplitter(DBGridZhushu, DBGridbingli, this);
    Splitter1->setObjectName("Splitter1");
    Splitter2 = new TSplitter(DBMemoXbs, DBGridbingli, this);
    Splitter2->setObjectName("Splitter2");
    Splitter4 = new TSplitter(DBMemoZhengduan, DBGridbingli, this);
    Splitter4->setObjectName("Splitter4");
    Splitter6 = new TSplitter(DBMemoZhiliao, DBGridbingli, this);
    Splitter6->setObjectName("Splitter6");
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    for (QWidget* control : std::initializer_list<QWidget*>{
             GroupBox1, DBGridBingren, DBNavigatorydsj, DBGridZhushu, Splitter1, DBMemoXbs,
             Splitter2, DBMemoJcsj, DBMemoZhengduan, Splitter4, DBMemoZhiliao, Splitter6}) {
        stack->addWidget(control);
    }
    stack->addWidget(DBGridbingli, 1);
    stack->addWidget(DBNavigatorBingli);
    // Patient grid, search box, the two buttons, the memos, visit grid, complaint grid.
    QWidget* order[] = {DBGridBingren, Editblhxm,       BitBtnczxm,    BitBtnTsfz,   DBMemoXbs,
                        DBMemoJcsj,    DBMemoZhengduan, DBMemoZhiliao, DBGridbingli, DBGridZhushu};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
    DBGridBingren->setFocus();
}

void TFormQorvynabldjxt::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    QApplication::quit();
}

// ---- Handlers ----

void TFormQorvynabldjxt::FormCreate() {
    if (!Tablebingren.Active()) Tablebingren.Open();
    if (!TableBingli.Active()) TableBingli.Open();
}

void TFormQorvynabldjxt::DBGridBingrenCellClick(TColumn* Column) {
    ProposePatientFollowUp(Column->FieldName());
}

void TFormQorvynabldjxt::DBGridbingliCellClick(TColumn* Column) {
    ProposeVisitFollowUp(Column->FieldName());
}

std::string TFormQorvynabldjxt::SearchText() const {
    const std::string text = Editblhxm->text().toStdString();
    std::size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
    return text.substr(begin, end - begin);
}

// A record number is located while it is typed.
void TFormQorvynabldjxt::EditblhxmChange() {
    const std::string text = SearchText();
    if (text.empty() || KindOf(text) != SearchKind::RecordNumber) return;
    Tablebingren.Locate("id", {text}, {.loCaseInsensitive = true});
}

void TFormQorvynabldjxt::EditblhxmKeyPress(char Key) {
    const std::string text = SearchText();
    if (Key == '\r' && !text.empty() && KindOf(text) == SearchKind::Name) BitBtnczxm->click();
}

bool TFormQorvynabldjxt::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Editblhxm && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) EditblhxmKeyPress('\r');
    }
    return QWidget::eventFilter(watched, event);
}

// The name search (TRecordRules::FindNames), then the patient found, the not-found text or the
// results window.
void TFormQorvynabldjxt::BitBtnczxmClick() {
    const int found = FindNames(SearchText());
    if (found < 1) {
        // Selected, so that the next name typed replaces the message.
        Editblhxm->setText(QStringLiteral("没找到!请重新输入姓名"));
        Editblhxm->setFocus();
        Editblhxm->selectAll();
    } else if (found == 1) {
        Tablebingren.Locate("xm", {QueryczxmXm->AsString()}, {.loPartialKey = true});
    } else {
        {
            TFormczxmjg results(&DataSourceczxm, this);
            results.exec();
        }
        Editblhxm->setText(QString::number(QueryczxmId->AsInteger()));
        QApplication::beep();
    }
}

// Tomorrow's date goes into the filter as a quoted literal, which the filter language reads as
// a date whatever the short date format's separators.
void TFormQorvynabldjxt::BitBtnTsfzClick() {
    const std::string tomorrow = dates::FormatShortDate(dates::Today() + 1);
    Tablebingren.SetFilter("Fzyysj ='" + tomorrow + "'");
    Tablebingren.SetFiltered(true);
    {
        TFormtsfzbr reminder(&DataSourceBingren, this);
        reminder.setWindowState(Qt::WindowMaximized);
        reminder.exec();
    }
    Tablebingren.SetFiltered(false);
}

// The browse windows: modal, maximized, and gone once closed. Whatever state the record sets
// are left in stays as it is.
void TFormQorvynabldjxt::DBGridBingrenDblClick(TDBGrid*) {
    TFormAllBingren patients(&DataSourceBingren, this);
    patients.setWindowState(Qt::WindowMaximized);
    patients.exec();
}

void TFormQorvynabldjxt::DBGridbingliDblClick(TDBGrid*) {
    TFormjzlc history(&DataSourceBingren, &DataSourceBingli, this);
    history.setWindowState(Qt::WindowMaximized);
    history.exec();
}

// The detail window shows the double-clicked memo's field; its caption names the patient who is
// current now and keeps that name until the next double-click. "xbs" names Xbs, case ignored.
void TFormQorvynabldjxt::DBMemoXbsDblClick(TDBMemo*) {
    Formblxq->ShowField(TablebingrenXm->AsString(), QStringLiteral(":病历详情-现病史"), "xbs");
}

void TFormQorvynabldjxt::DBMemoJcsjDblClick(TDBMemo*) {
    Formblxq->ShowField(TablebingrenXm->AsString(), QStringLiteral(":病历详情-检查所见"), "Jcsj");
}

void TFormQorvynabldjxt::DBMemoZhengduanDblClick(TDBMemo*) {
    Formblxq->ShowField(TablebingrenXm->AsString(), QStringLiteral(":病历详情-诊断"), "Zhengduan");
}

void TFormQorvynabldjxt::DBMemoZhiliaoDblClick(TDBMemo*) {
    Formblxq->ShowField(TablebingrenXm->AsString(), QStringLiteral(":病历详情-治疗"), "Zhiliao");
}

// What is printed is what is stored: a pending edit is posted, or dropped, as a move would (the
// visits' through the patients'). The record sets themselves do not move.
void TFormQorvynabldjxt::PrintPatientRecord() {
    Tablebingren.CheckBrowseMode();
    if (Tablebingren.IsEmpty()) {
        QApplication::beep();
        return;
    }
    ShowPrintPreview(TPatientRecordPrint(*this), this);
}

void TFormQorvynabldjxt::ShowUserGuide() {
    if (UserGuide == nullptr) UserGuide = new TUserGuide(this);
    UserGuide->ShowGuide();
}
