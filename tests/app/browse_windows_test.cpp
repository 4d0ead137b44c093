// The record-detail window and the two browse windows, opened from the main window's memos and
// grids over a fresh database, with the font dialog, the delete confirmation and the message
// box answered by the test.
#include <QApplication>
#include <QComboBox>
#include <QFontDialog>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <optional>

#include "app/Unitbinglidj.h"
#include "app/forms/UnitBinglixq.h"
#include "clinic_fixture.h"
#include "data/dates.h"
#include "views/confirm_delete.h"
#include "views/failure_reporting.h"

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

// A double-click as the user makes it: a click, then the second press and its release.
void DoubleClick(QWidget* widget, QPoint at = {}) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

void DoubleClick(TDBMemo* memo) {
    DoubleClick(memo->viewport());
}

// A navigator button acts just after its release.
void Press(TDBNavigator* navigator, Btn button) {
    QTest::mouseClick(navigator->Button(button), Qt::LeftButton);
    QApplication::processEvents();
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

TEST_F(BrowseWindowsTest, TypedTextIsStoredByThePostOfTheMainWindowsVisitNavigator) {
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
