// The record-detail window and the two browse windows, opened from the main window's memos and
// grids over a fresh database, with the font dialog, the delete confirmation and the message
// box answered by the test.
#include <QApplication>
#include <QComboBox>
#include <QFontDialog>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <map>
#include <optional>
#include <set>

#include "app/Unitbinglidj.h"
#include "app/forms/UnitBinglixq.h"
#include "app/forms/UnitBingren.h"
#include "app/forms/Unitjzlc.h"
#include "base/dates.h"
#include "clinic_fixture.h"
#include "data/table.h"
#include "views/confirm_delete.h"
#include "views/failure_reporting.h"
#include "views/grid/grid_cell_editor.h"
#include "window_test_support.h"

namespace {

using Btn = TNavigateBtn;

// Runs the action; the modal window that it opens runs `inside` and is closed at once. Answers
// whether one opened.
bool WithModal(
    const std::function<void()>& action,
    const std::function<void(QWidget*)>& inside = [](QWidget*) {}) {
    bool opened = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        watch.stop();
        opened = true;
        EXPECT_TRUE(QTest::qWaitForWindowActive(modal));
        inside(modal);
        modal->close();
    });
    watch.start(0);
    action();
    return opened;
}

using ::DoubleClick;

void DoubleClick(TDBMemo* memo) {
    DoubleClick(memo->viewport());
}

// Row -1 is the title row.
void DoubleClickCell(TDBGrid* grid, int column, int row) {
    DoubleClick(grid->viewport(), grid->CellRect(column, row).center());
}

void ClickCell(TDBGrid* grid, int column, int row) {
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(column, row).center());
}

// A navigator button acts just after its release.
void Press(TDBNavigator* navigator, Btn button) {
    QTest::mouseClick(navigator->Button(button), Qt::LeftButton);
    QApplication::processEvents();
}

std::vector<std::string> FieldNames(const TDBGrid* grid) {
    std::vector<std::string> names;
    for (int i = 0; i < grid->Columns().Count(); ++i) {
        names.push_back(grid->Columns()[i]->FieldName());
    }
    return names;
}

QFont Bold16() {
    QFont font = QApplication::font();
    font.setPointSize(16);
    font.setBold(true);
    return font;
}

bool IsBold16(const QFont& font) {
    return font.pointSize() == 16 && font.bold();
}

}  // namespace

class BrowseWindowsTest : public ClinicFixture {
  protected:
    void SetUp() override {
        ClinicFixture::SetUp();
        TApplication::SetMessageBox(
            [this](const QString&, const QString& text) { messages_.push_back(text); });
        SetDeleteConfirmation([this](QWidget*) {
            ++confirmations_;
            return confirmAnswer_;
        });
        TFontDialog::SetChoice([this](TFontDialog& dialog) {
            offered_.push_back(dialog.Font());
            if (chosen_) dialog.SetFont(*chosen_);
            return chosen_.has_value();
        });
    }
    void TearDown() override {
        detail_.reset();
        main_.reset();
        TFontDialog::SetChoice(nullptr);
        SetDeleteConfirmation(nullptr);
        TApplication::SetMessageBox(nullptr);
        ClinicFixture::TearDown();
    }

    // A patient with a visit whose four memos read "<field><tag>"; answers his Id.
    int AddPatientWithVisit(const std::string& name, const std::string& tag) {
        const int id = AddPatient(name);
        data_->TableBingli.Append();
        data_->TableBingliZhsu->SetAsString("主诉" + tag);
        data_->TableBingliXbs->SetAsString("现病史" + tag);
        data_->TableBingliJcsj->SetAsString("检查" + tag);
        data_->TableBingliZhengduan->SetAsString("诊断" + tag);
        data_->TableBingliZhiliao->SetAsString("治疗" + tag);
        data_->TableBingli.Post();
        return id;
    }

    // Start-up as the program does it: the main window, then the detail window over its visits.
    TFormQorvynabldjxt& Open() {
        data_.reset();
        main_ = std::make_unique<TFormQorvynabldjxt>();
        detail_ = std::make_unique<TFormblxq>(&main_->DataSourceBingli);
        main_->Formblxq = detail_.get();
        main_->show();
        QApplication::setActiveWindow(main_.get());
        return *main_;
    }

    int CurrentId() const { return main_->TablebingrenId->AsInteger(); }
    TDataSetState PatientState() const { return main_->Tablebingren.State(); }
    QString MemoText() const { return detail_->DBMemo1->toPlainText(); }

    std::unique_ptr<TFormQorvynabldjxt> main_;
    std::unique_ptr<TFormblxq> detail_;
    std::vector<QString> messages_;
    bool confirmAnswer_ = true;
    int confirmations_ = 0;
    std::optional<QFont> chosen_;  // the font dialog's answer; none cancels it
    std::vector<QFont> offered_;   // the fonts the dialog opened on
};

// ---- The record-detail window ----

TEST_F(BrowseWindowsTest, TheDetailWindowWaitsHiddenOnTheVisitsAsDesigned) {
    AddPatientWithVisit("张三", "一");
    TFormQorvynabldjxt& w = Open();
    TFormblxq& d = *detail_;
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.windowTitle(), "病历详情");
    EXPECT_EQ(d.pos(), QPoint(324, 108));
    EXPECT_EQ(d.size(), QSize(688, 452));
    EXPECT_EQ(d.findChild<TDBMemo*>("DBMemo1"), d.DBMemo1);
    EXPECT_EQ(d.DBMemo1->DataSource(), &w.DataSourceBingli);
    EXPECT_EQ(d.DBMemo1->DataField(), "Xbs");
    EXPECT_EQ(d.DBMemo1->Font().pixelSize(), 11);
    EXPECT_EQ(d.DBMemo1->ScrollBars(), TScrollStyle::ssNone);
    EXPECT_EQ(d.DBMemo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(d.DBMemo1->ImeMode(), TImeMode::imChinese);
    EXPECT_EQ(d.DBMemo1->ImeName(), "中文 (简体) - 智能 ABC");
    EXPECT_EQ(d.findChild<TDBNavigator*>("DBNavigatorblxq"), d.DBNavigatorblxq);
    EXPECT_EQ(d.DBNavigatorblxq->DataSource(), &w.DataSourceBingli);
    EXPECT_EQ(d.DBNavigatorblxq->VisibleButtons(),
              (TNavigateBtns{Btn::nbEdit, Btn::nbPost, Btn::nbCancel, Btn::nbRefresh}));
    EXPECT_EQ(d.DBNavigatorblxq->maximumHeight(), 25);
    EXPECT_FALSE(d.DBNavigatorblxq->ShowHint());
}

TEST_F(BrowseWindowsTest, EachMemoShowsItsFieldInTheOneDetailWindowUnderThePatientsName) {
    AddPatientWithVisit("张三", "一");
    TFormQorvynabldjxt& w = Open();
    DoubleClick(w.DBMemoJcsj);
    EXPECT_TRUE(detail_->isVisible());
    EXPECT_EQ(detail_->windowTitle(), "张三:病历详情-检查所见");
    EXPECT_EQ(MemoText(), "检查一");
    EXPECT_TRUE(QTest::qWaitForWindowActive(detail_.get())) << "in front";
    EXPECT_EQ(detail_->focusWidget(), detail_->DBMemo1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    const std::tuple<TDBMemo*, const char*, const char*, const char*> memos[] = {
        {w.DBMemoXbs, "张三:病历详情-现病史", "xbs", "现病史一"},
        {w.DBMemoZhengduan, "张三:病历详情-诊断", "Zhengduan", "诊断一"},
        {w.DBMemoZhiliao, "张三:病历详情-治疗", "Zhiliao", "治疗一"},
        {w.DBMemoJcsj, "张三:病历详情-检查所见", "Jcsj", "检查一"}};
    for (const auto& [memo, caption, field, text] : memos) {
        DoubleClick(memo);
        EXPECT_EQ(detail_->windowTitle(), caption);
        EXPECT_EQ(detail_->DBMemo1->DataField(), field);
        EXPECT_EQ(MemoText(), text);
    }
    int detailWindows = 0;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        detailWindows += dynamic_cast<TFormblxq*>(window) != nullptr;
    }
    EXPECT_EQ(detailWindows, 1);
}

TEST_F(BrowseWindowsTest, WithoutANameTheCaptionIsTheTitleAlone) {
    TFormQorvynabldjxt& w = Open();
    DoubleClick(w.DBMemoZhengduan);
    EXPECT_EQ(detail_->windowTitle(), ":病历详情-诊断") << "no patient at all";
    EXPECT_EQ(MemoText(), "");
    w.Tablebingren.Append();
    w.Tablebingren.Post();
    DoubleClick(w.DBMemoXbs);
    EXPECT_EQ(detail_->windowTitle(), ":病历详情-现病史") << "a patient without a name";
}

TEST_F(BrowseWindowsTest, TheCaptionKeepsThePatientOfTheLastDoubleClickWhileTheTextFollows) {
    AddPatientWithVisit("张三", "一");
    AddPatientWithVisit("李四", "二");
    TFormQorvynabldjxt& w = Open();
    DoubleClick(w.DBMemoXbs);
    w.Tablebingren.Next();
    EXPECT_EQ(MemoText(), "现病史二");
    EXPECT_EQ(detail_->windowTitle(), "张三:病历详情-现病史");
    DoubleClick(w.DBMemoXbs);
    EXPECT_EQ(detail_->windowTitle(), "李四:病历详情-现病史");
}

TEST_F(BrowseWindowsTest, TypedTextStaysForTheSameMemoAndIsDroppedForAnother) {
    AddPatientWithVisit("张三", "一");
    TFormQorvynabldjxt& w = Open();
    DoubleClick(w.DBMemoXbs);
    detail_->DBMemo1->moveCursor(QTextCursor::End);
    QTest::keyClicks(detail_->DBMemo1, "abc");
    EXPECT_EQ(w.TableBingli.State(), TDataSetState::dsEdit);
    QApplication::setActiveWindow(main_.get());
    DoubleClick(w.DBMemoXbs);
    EXPECT_EQ(MemoText(), "现病史一abc");
    EXPECT_TRUE(detail_->DBMemo1->MemoModified());

    DoubleClick(w.DBMemoJcsj);
    EXPECT_EQ(MemoText(), "检查一");
    EXPECT_EQ(w.TableBingli.State(), TDataSetState::dsEdit) << "the record stays in edit";
    EXPECT_EQ(w.TableBingliXbs->AsString(), "现病史一");
}

TEST_P(BrowseWindowsTest, TypedTextIsStoredByThePostOfTheMainWindowsVisitNavigator) {
    AddPatientWithVisit("张三", "一");
    TFormQorvynabldjxt& w = Open();
    DoubleClick(w.DBMemoZhiliao);
    detail_->DBMemo1->moveCursor(QTextCursor::End);
    QTest::keyClicks(detail_->DBMemo1, "xyz");
    QApplication::setActiveWindow(main_.get());
    Press(w.DBNavigatorBingli, Btn::nbPost);
    EXPECT_EQ(w.TableBingli.State(), TDataSetState::dsBrowse);
    w.TableBingli.Refresh();
    EXPECT_EQ(w.TableBingliZhiliao->AsString(), "治疗一xyz");
    EXPECT_TRUE(messages_.empty());
}

TEST_F(BrowseWindowsTest, TypingForAPatientWithoutVisitsStartsANewVisitWithTheHeadings) {
    const int id = AddPatient("王五");
    TFormQorvynabldjxt& w = Open();
    DoubleClick(w.DBMemoXbs);
    EXPECT_EQ(MemoText(), "");
    QTest::keyClicks(detail_->DBMemo1, "x");
    EXPECT_EQ(w.TableBingli.State(), TDataSetState::dsInsert);
    EXPECT_EQ(w.TableBingliBrid->AsInteger(), id);
    EXPECT_EQ(w.TableBingliJcsj->AsString(), "检查所见：");
    EXPECT_TRUE(MemoText().contains("x"));
}

TEST_F(BrowseWindowsTest, ClosingOnlyHidesAndTheNextShowingKeepsPlaceSizeAndFont) {
    AddPatientWithVisit("张三", "一");
    TFormQorvynabldjxt& w = Open();
    DoubleClick(w.DBMemoXbs);
    detail_->move(400, 200);
    detail_->resize(500, 300);
    chosen_ = Bold16();
    DoubleClick(detail_->DBMemo1);
    const QPointer<TFormblxq> same(detail_.get());
    EXPECT_TRUE(detail_->close());
    EXPECT_FALSE(detail_->isVisible());
    EXPECT_TRUE(w.isVisible());
    DoubleClick(w.DBMemoJcsj);
    ASSERT_TRUE(same);
    EXPECT_TRUE(detail_->isVisible());
    EXPECT_EQ(detail_->pos(), QPoint(400, 200));
    EXPECT_EQ(detail_->size(), QSize(500, 300));
    EXPECT_TRUE(IsBold16(detail_->DBMemo1->Font()));
}

TEST_F(BrowseWindowsTest, TheFontDialogChangesOnlyTheDetailMemoAndOnlyOnOk) {
    AddPatientWithVisit("张三", "一");
    TFormQorvynabldjxt& w = Open();
    DoubleClick(w.DBMemoXbs);
    const QFont before = detail_->DBMemo1->Font();
    DoubleClick(detail_->DBMemo1);
    ASSERT_EQ(offered_.size(), 1u);
    EXPECT_EQ(offered_[0], before) << "the dialog opens on the font in use";
    EXPECT_EQ(detail_->DBMemo1->Font(), before) << "cancelled";

    chosen_ = Bold16();
    DoubleClick(detail_->DBMemo1);
    EXPECT_TRUE(IsBold16(detail_->DBMemo1->Font()));
    EXPECT_EQ(detail_->font().pixelSize(), 11);
    EXPECT_EQ(w.DBMemoXbs->Font().pixelSize(), 16);
    EXPECT_FALSE(w.DBMemoXbs->Font().bold());
    DoubleClick(w.DBMemoZhiliao);
    EXPECT_TRUE(IsBold16(detail_->DBMemo1->Font())) << "whichever field it shows";
}

TEST_F(BrowseWindowsTest, TheRealFontDialogOpensOnTheMemosFontAndOffersAColour) {
    AddPatientWithVisit("张三", "一");
    TFormQorvynabldjxt& w = Open();
    DoubleClick(w.DBMemoXbs);
    TFontDialog::SetChoice(nullptr);
    const QFont before = detail_->DBMemo1->Font();
    WithModal([&] { DoubleClick(detail_->DBMemo1); },
              [](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    EXPECT_EQ(detail_->DBMemo1->Font(), before);

    QPointer<QWidget> dialog;
    WithModal([&] { DoubleClick(detail_->DBMemo1); },
              [&](QWidget* modal) {
                  dialog = modal;
                  auto* fonts = qobject_cast<QFontDialog*>(modal);
                  ASSERT_TRUE(fonts);
                  EXPECT_EQ(fonts->currentFont().family(), QFontInfo(before).family());
                  EXPECT_EQ(fonts->currentFont().pointSize(), QFontInfo(before).pointSize());
                  auto* colors = fonts->findChild<QComboBox*>("Color");
                  ASSERT_TRUE(colors);
                  EXPECT_EQ(colors->currentText(), "Black");
                  colors->setCurrentIndex(colors->findText("Red"));
                  QFont larger = fonts->currentFont();
                  larger.setPointSize(20);
                  fonts->setCurrentFont(larger);
                  fonts->accept();
              });
    EXPECT_TRUE(dialog.isNull()) << "the dialog lives for one showing";
    EXPECT_EQ(detail_->DBMemo1->Font().pointSize(), 20);
    EXPECT_EQ(detail_->DBMemo1->palette().color(QPalette::Text), QColor(Qt::red));
    EXPECT_NE(w.DBMemoXbs->palette().color(QPalette::Text), QColor(Qt::red));
}

TEST_F(BrowseWindowsTest, ARefusedPostFromTheDetailNavigatorIsShownAndTheWindowStays) {
    AddPatientWithVisit("张三", "一");
    TFormQorvynabldjxt& w = Open();
    DoubleClick(w.DBMemoXbs);
    QTest::keyClicks(detail_->DBMemo1, "x");
    w.TableBingli.BeforePost = [](TDataSet*) { throw EDatabaseError("Post refused"); };
    Press(detail_->DBNavigatorblxq, Btn::nbPost);
    EXPECT_EQ(messages_, std::vector<QString>{"Post refused."});
    EXPECT_TRUE(detail_->isVisible());
    EXPECT_EQ(w.TableBingli.State(), TDataSetState::dsEdit);
    EXPECT_EQ(detail_->windowTitle(), "张三:病历详情-现病史");
}

// ---- The all-patients window ----

TEST_F(BrowseWindowsTest, APatientRowDoubleClickOpensAllPatientsModalMaximizedOnThatPatient) {
    AddPatientWithVisit("张三", "一");
    AddPatientWithVisit("李四", "二");
    TFormQorvynabldjxt& w = Open();
    QPointer<QWidget> opened;
    WithModal([&] { DoubleClickCell(w.DBGridBingren, 2, 1); },
              [&](QWidget* modal) {
                  opened = modal;
                  auto* all = dynamic_cast<TFormAllBingren*>(modal);
                  ASSERT_TRUE(all);
                  EXPECT_EQ(all->objectName(), "FormAllBingren");
                  EXPECT_EQ(all->windowTitle(), "所有病人档案");
                  EXPECT_TRUE(all->windowState() & Qt::WindowMaximized);
                  EXPECT_EQ(all->parent(), &w);
                  EXPECT_EQ(all->DBGrid1->DataSource(), &w.DataSourceBingren);
                  EXPECT_EQ(all->DBNavigator1->DataSource(), &w.DataSourceBingren);
                  EXPECT_EQ(CurrentId(), 2);
                  EXPECT_EQ(all->focusWidget(), all->DBGrid1);
              });
    EXPECT_TRUE(opened.isNull()) << "destroyed once closed";
    EXPECT_EQ(CurrentId(), 2);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(BrowseWindowsTest, TheAllPatientsGridHasItsColumnsFontsAndAllTenButtons) {
    AddPatient("张三");
    TFormQorvynabldjxt& w = Open();
    WithModal(
        [&] { DoubleClickCell(w.DBGridBingren, 0, -1); },
        [&](QWidget* modal) {
            auto* all = static_cast<TFormAllBingren*>(modal);
            const TDBGrid* grid = all->DBGrid1;
            EXPECT_EQ(FieldNames(grid), (std::vector<std::string>{
                                            "Czrq", "Id", "Xm", "Xb", "Nl", "Lxdh", "Fzyysj",
                                            "Sfylxfz", "Dfhf", "Jtcy", "Gzdw", "Txdz", "Dzyx"}));
            const std::set<std::string> leftTitles = {"Sfylxfz", "Dfhf", "Jtcy"};
            const std::map<std::string, std::string> imeNames = {
                {"Xm", "中文 (简体) - 智能 ABC"},
                {"Xb", "中文 (简体) - 智能 ABC"},
                {"Jtcy", "中文 (简体) - 智能 ABC"},
                {"Gzdw", "王码五笔型输入法86版"},
                {"Txdz", "中文 (简体) - 智能 ABC"}};
            for (int i = 0; i < grid->Columns().Count(); ++i) {
                const TColumn* column = grid->Columns()[i];
                const std::string& field = column->FieldName();
                const bool firstOrLast = i == 0 || i == grid->Columns().Count() - 1;
                EXPECT_EQ(column->Width(), firstOrLast ? column->DefaultWidth() : 64) << field;
                EXPECT_EQ(column->Title().Alignment(), leftTitles.count(field)
                                                           ? TAlignment::taLeftJustify
                                                           : TAlignment::taCenter)
                    << field;
                EXPECT_EQ(column->ImeName(), imeNames.count(field) ? imeNames.at(field) : "")
                    << field;
                EXPECT_EQ(column->ImeMode(), TImeMode::imDontCare) << field;
            }
            EXPECT_EQ(grid->Columns()[3]->PickList(), QStringList({"男", "女"}));
            EXPECT_EQ(grid->Columns()[7]->PickList(), QStringList({"是", "否"}));
            EXPECT_EQ(grid->Columns()[8]->PickList(),
                      QStringList({"按时复诊", "改时再约", "放弃治疗", "无人应答", "电话换号"}));
            EXPECT_EQ(grid->Font().pixelSize(), 13);
            EXPECT_EQ(grid->TitleFont().pixelSize(), 11);
            EXPECT_EQ(all->DBNavigator1->VisibleButtons().size(), 10u);
            EXPECT_TRUE(all->DBNavigator1->ConfirmDelete());
            EXPECT_FALSE(all->DBNavigator1->ShowHint());
            EXPECT_EQ(all->DBNavigator1->maximumHeight(), 25);
        });
}

TEST_F(BrowseWindowsTest, DoubleClickingAFollowUpCellProposesTheDateThenShowsThePendingEdit) {
    AddPatient("张三");
    AddPatient("李四");
    TFormQorvynabldjxt& w = Open();
    WithModal([&] { DoubleClickCell(w.DBGridBingren, 6, 1); },
              [&](QWidget* modal) {
                  EXPECT_TRUE(dynamic_cast<TFormAllBingren*>(modal));
                  EXPECT_EQ(CurrentId(), 2);
                  EXPECT_EQ(PatientState(), TDataSetState::dsEdit);
                  EXPECT_EQ(w.TablebingrenFzyysj->AsDateTime(), dates::Today() + 7);
              });
    EXPECT_EQ(PatientState(), TDataSetState::dsEdit) << "neither posted nor cancelled";
}

TEST_P(BrowseWindowsTest, MovingToTheLastPatientThereLeavesHimAndHisVisitsCurrent) {
    AddPatientWithVisit("张三", "一");
    AddPatientWithVisit("李四", "二");
    const int last = AddPatientWithVisit("王五", "三");
    TFormQorvynabldjxt& w = Open();
    WithModal([&] { DoubleClickCell(w.DBGridBingren, 2, 0); },
              [&](QWidget* modal) {
                  Press(static_cast<TFormAllBingren*>(modal)->DBNavigator1, Btn::nbLast);
              });
    EXPECT_EQ(CurrentId(), last);
    EXPECT_EQ(w.TableBingliBrid->AsInteger(), last);
    EXPECT_EQ(w.TableBingliZhsu->AsString(), "主诉三");
}

TEST_P(BrowseWindowsTest, DeletingAPatientThereAsksFirstAndKeepsHisVisits) {
    AddPatientWithVisit("张三", "一");
    AddPatientWithVisit("李四", "二");
    TFormQorvynabldjxt& w = Open();
    WithModal([&] { DoubleClickCell(w.DBGridBingren, 2, 0); },
              [&](QWidget* modal) {
                  TDBNavigator* navigator = static_cast<TFormAllBingren*>(modal)->DBNavigator1;
                  confirmAnswer_ = false;
                  Press(navigator, Btn::nbDelete);
                  EXPECT_EQ(w.Tablebingren.RecordCount(), 2) << "cancelled";
                  confirmAnswer_ = true;
                  Press(navigator, Btn::nbDelete);
              });
    EXPECT_EQ(confirmations_, 2);
    EXPECT_EQ(w.Tablebingren.RecordCount(), 1);
    EXPECT_EQ(w.TablebingrenXm->AsString(), "李四");
    TTable visits("visits");
    visits.SetDatabaseName(kClinicDatabase);
    visits.SetTableName("bingli.DB");
    visits.Open();
    EXPECT_EQ(visits.RecordCount(), 2);
}

TEST_F(BrowseWindowsTest, OnlyTheAllPatientsNavigatorHasADeleteButton) {
    AddPatientWithVisit("张三", "一");
    TFormQorvynabldjxt& w = Open();
    QList<TDBNavigator*> navigators = w.findChildren<TDBNavigator*>();
    navigators.push_back(detail_->DBNavigatorblxq);
    WithModal([&] { DoubleClickCell(w.DBGridbingli, 0, -1); },
              [&](QWidget* modal) {
                  navigators.push_back(static_cast<TFormjzlc*>(modal)->DBNavigatorBingLi);
                  for (const TDBNavigator* navigator : navigators) {
                      EXPECT_FALSE(navigator->VisibleButtons().count(Btn::nbDelete))
                          << navigator->objectName().toStdString();
                  }
              });
    WithModal(
        [&] { DoubleClickCell(w.DBGridBingren, 0, -1); },
        [&](QWidget* modal) {
            EXPECT_TRUE(static_cast<TFormAllBingren*>(modal)->DBNavigator1->VisibleButtons().count(
                Btn::nbDelete));
        });
    EXPECT_EQ(navigators.size(), 4u);
}

TEST_F(BrowseWindowsTest, InsertingThereGivesTheNewPatientTodayAndLeavesTheInsertPending) {
    AddPatient("张三");
    TFormQorvynabldjxt& w = Open();
    WithModal([&] { DoubleClickCell(w.DBGridBingren, 0, -1); },
              [&](QWidget* modal) {
                  Press(static_cast<TFormAllBingren*>(modal)->DBNavigator1, Btn::nbInsert);
                  EXPECT_EQ(PatientState(), TDataSetState::dsInsert);
                  EXPECT_EQ(w.TablebingrenCzrq->AsDateTime(), dates::Today());
              });
    EXPECT_EQ(PatientState(), TDataSetState::dsInsert);
}

TEST_F(BrowseWindowsTest, ARefusedPostInsideABrowseWindowIsShownOverItAndItStaysOpen) {
    AddPatient("张三");
    TFormQorvynabldjxt& w = Open();
    w.TablebingrenXm->SetRequired(true);
    WithModal([&] { DoubleClickCell(w.DBGridBingren, 0, -1); },
              [&](QWidget* modal) {
                  TDBNavigator* navigator = static_cast<TFormAllBingren*>(modal)->DBNavigator1;
                  Press(navigator, Btn::nbInsert);
                  Press(navigator, Btn::nbPost);
                  ASSERT_EQ(messages_.size(), 1u);
                  EXPECT_TRUE(messages_[0].startsWith("Field '姓名' must have a value"))
                      << messages_[0].toStdString();
                  EXPECT_TRUE(modal->isVisible());
                  EXPECT_EQ(QApplication::activeModalWidget(), modal);
                  Press(navigator, Btn::nbCancel);
              });
    EXPECT_EQ(w.Tablebingren.RecordCount(), 1);
}

TEST_F(BrowseWindowsTest, AGridFontChosenThereEnlargesOnlyItsCellsAndIsGoneNextTime) {
    AddPatient("张三");
    TFormQorvynabldjxt& w = Open();
    const QFont mainCells = w.DBGridBingren->Columns()[0]->Font();
    WithModal([&] { DoubleClickCell(w.DBGridBingren, 0, -1); },
              [&](QWidget* modal) {
                  TDBGrid* grid = static_cast<TFormAllBingren*>(modal)->DBGrid1;
                  const QFont before = grid->Font();
                  const int rowHeight = grid->RowHeight(), titleHeight = grid->TitleRowHeight();
                  DoubleClickCell(grid, 1, -1);
                  EXPECT_EQ(grid->Font(), before) << "cancelled";
                  chosen_ = Bold16();
                  DoubleClickCell(grid, 1, 0);
                  EXPECT_TRUE(IsBold16(grid->Font()));
                  EXPECT_TRUE(IsBold16(grid->Columns()[4]->Font()))
                      << "every column follows the grid";
                  EXPECT_GT(grid->RowHeight(), rowHeight);
                  EXPECT_EQ(grid->TitleRowHeight(), titleHeight);
                  EXPECT_EQ(grid->TitleFont().pixelSize(), 11);
              });
    ASSERT_EQ(offered_.size(), 2u);
    EXPECT_EQ(offered_[0].pixelSize(), 13) << "the dialog opens on the font in use";
    EXPECT_EQ(w.DBGridBingren->Columns()[0]->Font(), mainCells);
    WithModal([&] { DoubleClickCell(w.DBGridBingren, 0, -1); },
              [&](QWidget* modal) {
                  EXPECT_EQ(static_cast<TFormAllBingren*>(modal)->DBGrid1->Font().pixelSize(), 13);
              });
}

TEST_F(BrowseWindowsTest, DoubleClickingTheSexEditorOpensAllPatientsWithoutSteppingItsPickList) {
    AddPatient("张三");
    TFormQorvynabldjxt& w = Open();
    w.Tablebingren.Edit();
    w.TablebingrenXb->SetAsString("男");
    w.Tablebingren.Post();
    ClickCell(w.DBGridBingren, 3, 0);
    ClickCell(w.DBGridBingren, 3, 0);
    ASSERT_TRUE(w.DBGridBingren->EditorMode());
    bool allPatients = false;
    // Left of the drop-down button, which takes most of this narrow column.
    QWidget* editor = w.DBGridBingren->InplaceEditor();
    WithModal([&] { DoubleClick(editor, QPoint(2, editor->height() / 2)); },
              [&](QWidget* modal) { allPatients = dynamic_cast<TFormAllBingren*>(modal); });
    EXPECT_TRUE(allPatients);
    EXPECT_EQ(w.TablebingrenXb->AsString(), "男");
    EXPECT_FALSE(w.DBGridBingren->CellModified());
    EXPECT_EQ(PatientState(), TDataSetState::dsBrowse);
}

TEST_F(BrowseWindowsTest, ClicksOnFollowUpCellsOfTheBrowseGridsProposeNothing) {
    AddPatientWithVisit("张三", "一");
    TFormQorvynabldjxt& w = Open();
    WithModal(
        [&] { DoubleClickCell(w.DBGridBingren, 0, -1); },
        [&](QWidget* modal) { ClickCell(static_cast<TFormAllBingren*>(modal)->DBGrid1, 6, 0); });
    WithModal([&] { DoubleClickCell(w.DBGridbingli, 0, -1); },
              [&](QWidget* modal) {
                  auto* history = static_cast<TFormjzlc*>(modal);
                  ClickCell(history->DBGridBingren, 6, 0);
                  ClickCell(history->DBGridBingLi, 4, 0);
              });
    EXPECT_EQ(PatientState(), TDataSetState::dsBrowse);
    EXPECT_EQ(w.TableBingli.State(), TDataSetState::dsBrowse);
    EXPECT_TRUE(w.TablebingrenFzyysj->IsNull());
    EXPECT_TRUE(w.TableBingliFzyysj->IsNull());
}

// ---- The visit-history window ----

TEST_F(BrowseWindowsTest, TheVisitTitleRowOpensTheHistoryWithoutMovingAsDesigned) {
    AddPatientWithVisit("张三", "一");
    AddVisit("第二次");
    TFormQorvynabldjxt& w = Open();
    w.TableBingli.Last();
    const int visit = w.TableBingliId->AsInteger();
    WithModal(
        [&] { DoubleClickCell(w.DBGridbingli, 2, -1); },
        [&](QWidget* modal) {
            auto* history = dynamic_cast<TFormjzlc*>(modal);
            ASSERT_TRUE(history);
            EXPECT_EQ(history->windowTitle(), "就诊历程");
            EXPECT_TRUE(history->windowState() & Qt::WindowMaximized);
            EXPECT_EQ(history->parent(), &w);
            EXPECT_EQ(w.TableBingliId->AsInteger(), visit);
            EXPECT_EQ(history->DBGridBingren->DataSource(), &w.DataSourceBingren);
            EXPECT_EQ(history->DBGridBingLi->DataSource(), &w.DataSourceBingli);
            EXPECT_EQ(history->DBNavigatorBingLi->DataSource(), &w.DataSourceBingli);
            EXPECT_EQ(history->DBNavigatorBingLi->VisibleButtons(),
                      (TNavigateBtns{Btn::nbFirst, Btn::nbPrior, Btn::nbNext, Btn::nbLast,
                                     Btn::nbEdit, Btn::nbPost, Btn::nbCancel, Btn::nbRefresh}));
            EXPECT_EQ(history->DBGridBingren->height(), 97);
            EXPECT_EQ(history->Splitter1->height(), 3);
            EXPECT_EQ(history->Splitter1->geometry().top(),
                      history->DBGridBingren->geometry().bottom() + 1);
            EXPECT_EQ(history->focusWidget(), history->DBGridBingren);
            EXPECT_EQ(FieldNames(history->DBGridBingren),
                      (std::vector<std::string>{"Id", "Xm", "Xb", "Nl", "Lxdh", "Czrq", "Fzyysj",
                                                "Gzdw"}));
            EXPECT_EQ(
                FieldNames(history->DBGridBingLi),
                (std::vector<std::string>{"Id", "Brid", "Lzrq", "Zhsu", "Fzyysj", "Jzys", "Jtcy"}));
            EXPECT_EQ(history->DBGridBingren->Columns()[4]->Title().Alignment(),
                      TAlignment::taLeftJustify);
            EXPECT_EQ(history->DBGridBingren->Columns()[5]->Title().Alignment(),
                      TAlignment::taCenter);
            EXPECT_EQ(history->DBGridBingLi->Columns()[6]->Title().Alignment(),
                      TAlignment::taLeftJustify);
            EXPECT_EQ(history->DBGridBingLi->Columns()[3]->ImeMode(), TImeMode::imChinese);
            EXPECT_EQ(history->DBGridBingLi->Columns()[6]->ImeName(), "中文 (简体) - 智能 ABC");
            EXPECT_EQ(history->DBGridBingLi->Columns()[2]->ImeMode(), TImeMode::imDontCare);
            EXPECT_EQ(history->DBGridBingLi->Font().pixelSize(), 11);
            EXPECT_EQ(history->DBGridBingren->TitleFont().pixelSize(), 11);
        });
    EXPECT_EQ(w.TableBingliId->AsInteger(), visit);
}

TEST_F(BrowseWindowsTest, DraggingTheHistorysBarToTheBottomLeavesTheVisitsThirtyPixels) {
    AddPatientWithVisit("张三", "一");
    TFormQorvynabldjxt& w = Open();
    WithModal([&] { DoubleClickCell(w.DBGridbingli, 0, -1); },
              [&](QWidget* modal) {
                  auto* history = static_cast<TFormjzlc*>(modal);
                  ExpectDragsToTheBottomKeepTheWindow(history->Splitter1, history->DBGridBingLi,
                                                      history->DBNavigatorBingLi);
              });
}

TEST_F(BrowseWindowsTest, MovingInTheHistorysPatientGridChangesTheCurrentPatientAndHisVisits) {
    AddPatientWithVisit("张三", "一");
    const int second = AddPatientWithVisit("李四", "二");
    TFormQorvynabldjxt& w = Open();
    WithModal([&] { DoubleClickCell(w.DBGridbingli, 0, -1); },
              [&](QWidget* modal) {
                  auto* history = static_cast<TFormjzlc*>(modal);
                  ClickCell(history->DBGridBingren, 1, 1);
                  EXPECT_EQ(CurrentId(), second);
                  EXPECT_EQ(history->DBGridBingLi->DataSet()->FieldByName("Zhsu")->AsString(),
                            "主诉二");
              });
    EXPECT_EQ(CurrentId(), second);
    EXPECT_EQ(w.TableBingliZhsu->AsString(), "主诉二");
}

TEST_F(BrowseWindowsTest, OnlyTheHistorysVisitGridOffersTheFontDialog) {
    AddPatientWithVisit("张三", "一");
    AddPatientWithVisit("李四", "二");
    TFormQorvynabldjxt& w = Open();
    chosen_ = Bold16();
    WithModal([&] { DoubleClickCell(w.DBGridbingli, 0, -1); },
              [&](QWidget* modal) {
                  auto* history = static_cast<TFormjzlc*>(modal);
                  const QFont patients = history->DBGridBingren->Font();
                  DoubleClickCell(history->DBGridBingren, 1, 1);
                  EXPECT_TRUE(offered_.empty());
                  EXPECT_EQ(CurrentId(), 2) << "only the click's move";
                  DoubleClickCell(history->DBGridBingLi, 1, 0);
                  ASSERT_EQ(offered_.size(), 1u);
                  EXPECT_EQ(offered_[0].pixelSize(), 11);
                  EXPECT_TRUE(IsBold16(history->DBGridBingLi->Font()));
                  EXPECT_EQ(history->DBGridBingren->Font(), patients);
              });
    EXPECT_EQ(w.DBGridbingli->Font().pixelSize(), 13);
    EXPECT_FALSE(w.DBGridbingli->Font().bold());
}

ON_BOTH_STORAGES(BrowseWindowsTest);
