// The running program: start-up, the lookup, the reminder and failure reporting, driven through
// the main window's controls over a fresh database.
#include <QApplication>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "app/Unitbinglidj.h"
#include "app/common/window_style.h"
#include "app/desktop_locale.h"
#include "app/forms/Unitczxmjg.h"
#include "app/forms/Unittsfzbr.h"
#include "base/short_date_format.h"
#include "clinic_fixture.h"
#include "views/failure_reporting.h"
#include "views/grid/grid_cell_editor.h"
#include "window_test_support.h"

namespace {

// Clicks the button; a modal window that the click opens is closed at once, after `inside` ran
// in it.
void ClickClosingModal(
    QAbstractButton* button, const std::function<void(QWidget*)>& inside = [](QWidget*) {}) {
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            watch.stop();
            inside(modal);
            modal->close();
        }
    });
    watch.start(0);
    QTest::mouseClick(button, Qt::LeftButton);
}

}  // namespace

class MainWindowTest : public ClinicFixture {
  protected:
    void SetUp() override {
        ClinicFixture::SetUp();
        data_.reset();  // the main window owns the record sets
        TApplication::SetMessageBox(
            [this](const QString&, const QString& text) { messages_.push_back(text); });
    }
    void TearDown() override {
        window_.reset();
        TApplication::SetMessageBox(nullptr);
        ClinicFixture::TearDown();
    }
    // Patients are added before the window opens, through a record set of their own.
    void AddPatients(const std::vector<std::pair<std::string, int>>& patients) {
        ClinicRecordSets data;
        data.Open();
        for (const auto& [name, followUpInDays] : patients) {
            data.Tablebingren.Append();
            data.TablebingrenXm->SetAsString(name);
            if (followUpInDays) {
                data.TablebingrenFzyysj->SetAsDateTime(dates::Today() + followUpInDays);
            }
            data.Tablebingren.Post();
        }
    }
    TFormQorvynabldjxt& Open() {
        window_ = std::make_unique<TFormQorvynabldjxt>();
        window_->show();
        QApplication::setActiveWindow(window_.get());
        return *window_;
    }
    int CurrentId() const { return window_->TablebingrenId->AsInteger(); }
    void Type(const QString& text) {
        window_->Editblhxm->clear();
        QTest::keyClicks(window_->Editblhxm, text);
    }
    // Sets the box's text from inside the event loop, as a paste would.
    void Paste(const QString& text) {
        QLineEdit* box = window_->Editblhxm;
        QMetaObject::invokeMethod(
            box, [box, text] { box->setText(text); }, Qt::QueuedConnection);
        QApplication::processEvents();
    }

    std::unique_ptr<TFormQorvynabldjxt> window_;
    std::vector<QString> messages_;
};

TEST_P(MainWindowTest, StartsWithTheFirstPatientAndHisVisits) {
    AddPatients({{"张三", 0}, {"李四", 0}});
    TFormQorvynabldjxt& w = Open();
    EXPECT_TRUE(w.Tablebingren.Active());
    EXPECT_TRUE(w.Queryczxm.Active());
    EXPECT_TRUE(w.TableBingli.Active());
    EXPECT_EQ(CurrentId(), 1);
    EXPECT_EQ(w.DBGridBingren->DataSource(), &w.DataSourceBingren);
    EXPECT_EQ(w.findChild<TDBMemo*>("DBMemoZhiliao")->DataField(), "Zhiliao");
    EXPECT_EQ(w.focusWidget(), w.DBGridBingren);
    EXPECT_TRUE(w.windowTitle().startsWith("Lorvena口腔诊所病历登记系统 V2006.10 "));
}

TEST_F(MainWindowTest, AnEmptyPatientTableStillOpens) {
    TFormQorvynabldjxt& w = Open();
    EXPECT_TRUE(w.Tablebingren.IsEmpty());
    EXPECT_TRUE(w.TableBingli.IsEmpty());
}

// Closing the window ends the program without a question: what is typed and not posted, even a
// text that is no date, is dropped.
TEST_F(MainWindowTest, ClosingTheWindowDropsAPendingTextThatCannotBeWritten) {
    AddPatients(std::vector<std::pair<std::string, int>>(30, {"张三", 0}));
    TFormQorvynabldjxt& w = Open();
    w.Tablebingren.MoveBy(10);
    w.TableBingli.Insert();
    w.TableBingli.Post();
    w.DBGridbingli->setFocus();
    w.DBGridbingli->SetSelectedIndex(2);
    QTest::keyClick(w.DBGridbingli, 'a');
    ASSERT_TRUE(w.DBGridbingli->CellModified());
    window_.reset();
    EXPECT_TRUE(messages_.empty());
}

TEST_F(MainWindowTest, AMissingDatabaseFailsTheStartWithTheEngineMessage) {
    std::filesystem::remove_all(DatabaseDir());
    try {
        TFormQorvynabldjxt w;
        FAIL() << "the window should not be created";
    } catch (...) {
        const std::string text = StartupFailureText(std::current_exception());
        EXPECT_EQ(text.rfind("Exception EDBEngineError in module ", 0), 0u) << text;
        EXPECT_NE(text.find("qorvyna"), std::string::npos) << text;
        EXPECT_EQ(ReportStartupFailure(std::current_exception()), 1);
        EXPECT_EQ(messages_.size(), 1u);
    }
}

TEST_P(MainWindowTest, ARecordNumberIsLocatedWhileItIsTyped) {
    AddPatients({{"甲", 0},
                 {"乙", 0},
                 {"丙", 0},
                 {"丁", 0},
                 {"戊", 0},
                 {"己", 0},
                 {"庚", 0},
                 {"辛", 0},
                 {"壬", 0},
                 {"癸", 0},
                 {"子", 0},
                 {"丑", 0}});
    TFormQorvynabldjxt& w = Open();
    Type("12");
    EXPECT_EQ(CurrentId(), 12);
    QTest::keyClick(w.Editblhxm, Qt::Key_Backspace);
    EXPECT_EQ(CurrentId(), 1);
    w.Editblhxm->setText(" 5 ");
    EXPECT_EQ(CurrentId(), 5);
    w.Editblhxm->setText("");
    EXPECT_EQ(CurrentId(), 5);
    w.Editblhxm->setText("99");
    EXPECT_EQ(CurrentId(), 5) << "no such patient: nothing moves, nothing is said";
    EXPECT_TRUE(messages_.empty());
}

TEST_F(MainWindowTest, ATextThatIsNoNumberShowsTheConversionMessage) {
    AddPatients({{"甲", 0}});
    TFormQorvynabldjxt& w = Open();
    Type("12a");
    ASSERT_EQ(messages_.size(), 1u) << "only the third key leaves a text that is no number";
    EXPECT_EQ(messages_.back(), "Invalid value for field '病历号'") << "no closing period";
    Type("-");
    EXPECT_EQ(messages_.size(), 2u);
    EXPECT_EQ(CurrentId(), 1);
    (void)w;
}

TEST_P(MainWindowTest, TheNameSearchHasThreeOutcomes) {
    AddPatients({{"李四", 0}, {"张三丰", 0}, {"王五", 0}, {"张三", 0}});
    TFormQorvynabldjxt& w = Open();
    w.Editblhxm->setText("王");
    QTest::keyClick(w.Editblhxm, Qt::Key_Return);
    EXPECT_EQ(CurrentId(), 3);
    EXPECT_EQ(w.Editblhxm->text(), "王") << "the box keeps the typed text";

    w.Editblhxm->setText("赵");
    w.BitBtnczxm->click();
    EXPECT_EQ(w.Editblhxm->text(), "没找到!请重新输入姓名");
    EXPECT_EQ(w.Editblhxm->selectedText(), w.Editblhxm->text());
    QTest::keyClicks(w.Editblhxm, "x");
    EXPECT_EQ(w.Editblhxm->text(), "x") << "typing replaces the message";

    w.Editblhxm->setText("张");
    ClickClosingModal(w.BitBtnczxm, [](QWidget* results) {
        EXPECT_TRUE(dynamic_cast<TFormczxmjg*>(results));
        EXPECT_EQ(results->windowTitle(), "查找姓名结果");
    });
    EXPECT_EQ(w.Editblhxm->text(), "4") << "closing at once takes the first name in name order";
    EXPECT_EQ(CurrentId(), 4);
}

// Latin letters that no name holds are tried as pinyin, with the same three outcomes; letters
// that a name holds are never.
TEST_P(MainWindowTest, LettersThatNoNameHoldsAreSearchedAsPinyin) {
    AddPatients({{"李四", 0}, {"张三丰", 0}, {"王五", 0}, {"张三", 0}, {"Zhang", 0}});
    TFormQorvynabldjxt& w = Open();
    w.Editblhxm->setText("ls");
    w.BitBtnczxm->click();
    EXPECT_EQ(CurrentId(), 1);
    EXPECT_EQ(w.Editblhxm->text(), "ls");

    w.Editblhxm->setText("zs");
    ClickClosingModal(w.BitBtnczxm, [](QWidget* results) {
        auto* grid = static_cast<TFormczxmjg*>(results)->DBGridDczxm;
        EXPECT_EQ(grid->DataSource()->DataSet()->RecordCount(), 2);
    });
    EXPECT_EQ(w.Editblhxm->text(), "4") << "张三 before 张三丰";

    w.Editblhxm->setText("zhang");
    w.BitBtnczxm->click();
    EXPECT_EQ(CurrentId(), 5) << "the name that holds the letters, not the pinyin";

    w.Editblhxm->setText("qq");
    w.BitBtnczxm->click();
    EXPECT_EQ(w.Editblhxm->text(), "没找到!请重新输入姓名");
}

TEST_F(MainWindowTest, EnterADoubleClickOrEscClosesTheResultsOnTheRowThenCurrent) {
    AddPatients({{"张c", 0}, {"张a", 0}, {"张b", 0}});  // in name order: 2, 3, 1
    TFormQorvynabldjxt& w = Open();
    struct Closing {
        const char* how;
        std::function<void(TFormczxmjg*)> close;
        int taken;
    };
    const Closing closings[] = {{"Enter on the second row",
                                 [](TFormczxmjg* results) {
                                     QTest::keyClick(results->DBGridDczxm, Qt::Key_Down);
                                     QTest::keyClick(results->DBGridDczxm, Qt::Key_Return);
                                 },
                                 3},
                                {"a double-click on the third row",
                                 [](TFormczxmjg* results) {
                                     TDBGrid* grid = results->DBGridDczxm;
                                     DoubleClick(grid->viewport(), grid->CellRect(1, 2).center());
                                 },
                                 1},
                                {"Esc in the cell editor on the second row",
                                 [](TFormczxmjg* results) {
                                     QTest::keyClick(results->DBGridDczxm, Qt::Key_Down);
                                     QTest::keyClick(results->DBGridDczxm, Qt::Key_F2);
                                     QTest::keyClick(results->DBGridDczxm->InplaceEditor(),
                                                     Qt::Key_Escape);
                                 },
                                 3}};
    for (const Closing& closing : closings) {
        w.Tablebingren.First();
        w.Editblhxm->setText("张");
        ClickClosingModal(w.BitBtnczxm, [&](QWidget* modal) {
            auto* results = dynamic_cast<TFormczxmjg*>(modal);
            ASSERT_TRUE(results) << closing.how;
            ASSERT_TRUE(QTest::qWaitForWindowActive(results)) << "a press needs the focus";
            closing.close(results);
            EXPECT_FALSE(results->isVisible()) << closing.how;
        });
        EXPECT_EQ(CurrentId(), closing.taken) << closing.how;
        EXPECT_EQ(w.Editblhxm->text(), QString::number(closing.taken)) << closing.how;
    }
}

TEST_P(MainWindowTest, OneMatchFindsTheFirstPatientInTableOrderWhoseNameBeginsWithIt) {
    AddPatients({{"张三丰", 0}, {"张三", 0}, {"李四", 0}});
    TFormQorvynabldjxt& w = Open();
    w.Editblhxm->setText("三丰");
    w.BitBtnczxm->click();
    EXPECT_EQ(CurrentId(), 1);
    w.Tablebingren.Last();
    w.Editblhxm->setText("张三");
    ClickClosingModal(w.BitBtnczxm);
    EXPECT_EQ(CurrentId(), 2) << "张三 sorts before 张三丰";
}

TEST_P(MainWindowTest, TypedNamesNeverBecomePartOfTheStatement) {
    AddPatients({{"张三", 0}, {"O_%\\", 0}});
    TFormQorvynabldjxt& w = Open();
    w.Editblhxm->setText("O'Brien");
    QTest::mouseClick(w.BitBtnczxm, Qt::LeftButton);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_FALSE(w.Queryczxm.Active()) << "the query stays closed until the next search";
    EXPECT_EQ(w.Tablebingren.RecordCount(), 2);
    for (const char* text : {"%", "_", "\\", "x' OR '1'='1", "张三%' --"}) {
        Paste(QString::fromUtf8(text));
        ClickClosingModal(w.BitBtnczxm);
    }
    w.Editblhxm->setText(QString(5000, QChar(u'张')));
    QTest::mouseClick(w.BitBtnczxm, Qt::LeftButton);
    EXPECT_EQ(w.Editblhxm->text(), "没找到!请重新输入姓名");
    EXPECT_EQ(w.Tablebingren.RecordCount(), 2);
}

TEST_P(MainWindowTest, EveryDesktopsDatesAreShownTypedAndRemindedInItsOwnFormat) {
    AddPatients({{"明天甲", 1}, {"今天", 0}, {"明天乙", 1}, {"后天", 2}});
    for (const char* locale : {"zh_CN", "zh_TW", "en_US", "de_DE", "C"}) {
        SCOPED_TRACE(locale);
        dates::SetShortDateFormat(DesktopShortDateFormat(QLocale(locale)));
        TFormQorvynabldjxt& w = Open();
        w.Tablebingren.Last();
        std::vector<std::string> listed;
        ClickClosingModal(w.BitBtnTsfz, [&](QWidget* reminder) {
            EXPECT_EQ(reminder->windowTitle(), "提示复诊病人");
            for (w.Tablebingren.First(); !w.Tablebingren.Eof(); w.Tablebingren.Next()) {
                listed.push_back(w.TablebingrenXm->AsString());
            }
        });
        EXPECT_EQ(listed, (std::vector<std::string>{"明天甲", "明天乙"}));
        EXPECT_FALSE(w.Tablebingren.Filtered());
        EXPECT_FALSE(w.Tablebingren.Filter().empty()) << "the text stays, inactive";
        EXPECT_EQ(CurrentId(), 1) << "the first patient of the whole table";
        EXPECT_EQ(w.Tablebingren.RecordCount(), 4);
        EXPECT_EQ(w.BitBtnTsfz->shortcut(), QKeySequence(Qt::ALT | Qt::Key_T));

        // A date typed into the grid as the grid shows dates is that day, shown the same.
        const int day = dates::FromCivil(2027, 1, 17);
        const QString shown = QString::fromStdString(dates::FormatShortDate(day));
        EXPECT_TRUE(shown.contains("2027")) << "four-digit years";
        w.DBGridBingren->setFocus();
        w.DBGridBingren->SetSelectedIndex(6);
        QTest::keyClick(w.DBGridBingren, shown[0].toLatin1());  // opens the cell editor
        QTest::keyClicks(w.DBGridBingren->InplaceEditor(), shown.mid(1));
        QTest::keyClick(w.DBGridBingren->InplaceEditor(), Qt::Key_Return);
        EXPECT_EQ(w.TablebingrenFzyysj->AsDateTime(), day);
        EXPECT_EQ(QString::fromStdString(w.TablebingrenFzyysj->AsString()), shown);
        w.Tablebingren.Cancel();
        for (const QString& m : messages_) ADD_FAILURE() << m.toStdString();
        messages_.clear();
    }
}

TEST_F(MainWindowTest, CellClicksOnTheFollowUpColumnsProposeADate) {
    AddPatients({{"张三", 0}});
    TFormQorvynabldjxt& w = Open();
    w.DBGridBingren->OnCellClick(w.DBGridBingren->Columns()[6]);
    EXPECT_EQ(w.Tablebingren.State(), TDataSetState::dsEdit);
    EXPECT_EQ(w.TablebingrenFzyysj->AsDateTime(), dates::Today() + 7);
    w.DBGridbingli->OnCellClick(w.DBGridbingli->Columns()[3]);
    EXPECT_EQ(w.TableBingli.State(), TDataSetState::dsInsert);
    EXPECT_EQ(w.TableBingliFzyysj->AsDateTime(), dates::Today() + 7);
    EXPECT_EQ(w.TableBingliXbs->AsString(), "现病史：");
}

TEST_F(MainWindowTest, SplitterBarsHoldThirtyPixelsAndCollapseBelow) {
    TFormQorvynabldjxt& w = Open();
    w.resize(716, 900);
    QApplication::processEvents();
    const int grid = w.DBGridZhushu->height();
    const int room = grid + w.DBGridbingli->height() - 30;
    EXPECT_EQ(w.Splitter1->ClampedHeight(grid + 20), grid + 20);
    EXPECT_EQ(w.Splitter1->ClampedHeight(room + 500), room) << "30 pixels stay for the visits";
    EXPECT_EQ(w.Splitter1->ClampedHeight(30), 0) << "30 pixels or less collapse";
    EXPECT_EQ(w.Splitter1->ClampedHeight(31), 31);
    const QPoint bar = w.Splitter1->rect().center();
    QTest::mousePress(w.Splitter1, Qt::LeftButton, {}, bar);
    QTest::mouseMove(w.Splitter1, bar + QPoint(0, 40));
    QTest::mouseRelease(w.Splitter1, Qt::LeftButton, {}, bar + QPoint(0, 40));
    EXPECT_EQ(w.DBGridZhushu->height(), grid + 40);
}

TEST_F(MainWindowTest, DraggingABarToTheBottomLeavesTheVisitsThirtyPixelsAndTheWindowItsHeight) {
    TFormQorvynabldjxt& w = Open();
    w.resize(716, 900);
    for (TSplitter* bar : {w.Splitter1, w.Splitter2, w.Splitter4, w.Splitter6}) {
        ExpectDragsToTheBottomKeepTheWindow(bar, w.DBGridbingli, w.DBNavigatorBingli);
    }
}

TEST_F(MainWindowTest, ADraggedBarShowsTheNewEdgeAsADottedLine) {
    TFormQorvynabldjxt& w = Open();
    w.resize(716, 900);
    QApplication::processEvents();
    DragBar(w.Splitter1, 40, [&] {
        QWidget* line = w.Splitter1->DragLine();
        ASSERT_TRUE(line);
        EXPECT_TRUE(line->isVisible());
        EXPECT_EQ(line->geometry().top(), w.Splitter1->geometry().top() + 40);
        const QImage image = line->grab().toImage();
        ASSERT_GE(image.width(), 4);
        for (int x = 0; x < 3; ++x) {
            EXPECT_NE(image.pixel(x, 0), image.pixel(x + 1, 0)) << "dots along the line";
            EXPECT_NE(image.pixel(x, 0), image.pixel(x, 1)) << "and across it";
        }
    });
    EXPECT_FALSE(w.Splitter1->DragLine());
}

TEST_F(MainWindowTest, TheVisitGridTheMemosTheNavigatorsAndTheSearchBoxShowTheirHints) {
    TFormQorvynabldjxt& w = Open();
    EXPECT_TRUE(w.DBGridbingli->ShowHint());
    EXPECT_EQ(w.DBGridbingli->toolTip(), "病历");
    const std::pair<TDBMemo*, const char*> memos[] = {{w.DBMemoXbs, "现病史"},
                                                      {w.DBMemoJcsj, "检查所见"},
                                                      {w.DBMemoZhengduan, "诊断"},
                                                      {w.DBMemoZhiliao, "治疗"}};
    for (const auto& [memo, hint] : memos) EXPECT_EQ(memo->toolTip(), hint);
    EXPECT_TRUE(w.DBNavigatorydsj->ShowHint());
    EXPECT_TRUE(w.DBNavigatorBingli->ShowHint());
    EXPECT_EQ(w.Editblhxm->toolTip(), "请输入病历号或姓名");
    for (const QWidget* silent :
         std::initializer_list<const QWidget*>{&w, w.DBGridBingren, w.DBGridZhushu}) {
        EXPECT_TRUE(silent->toolTip().isEmpty()) << silent->objectName().toStdString();
    }
}

// The guide is the README's, built in: a missing or cut section would show an empty window.
TEST_F(MainWindowTest, F1ShowsTheUsersGuideInOneWindow) {
    TFormQorvynabldjxt& w = Open();
    w.show();
    QTest::keyClick(w.DBGridBingren, Qt::Key_F1);
    auto* guide = w.findChild<QTextBrowser*>("UserGuide");
    ASSERT_NE(guide, nullptr);
    EXPECT_TRUE(guide->isVisible());
    const QString text = guide->toPlainText();
    for (const char* part : {"使用指南", "日期怎样输入", "Ctrl+Delete", "Alt+T", "密码"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part;
    EXPECT_FALSE(text.contains("A guide to the code")) << "only the guide's section";
    guide->close();
    QTest::keyClick(w.Editblhxm, Qt::Key_F1);
    EXPECT_EQ(w.findChildren<QTextBrowser*>("UserGuide").size(), 1);
    EXPECT_TRUE(guide->isVisible());
}

TEST_F(MainWindowTest, TheLookupGroupKeepsTheWindowsFont) {
    TFormQorvynabldjxt& w = Open();
    for (QWidget* control : std::initializer_list<QWidget*>{w.GroupBox1, w.Label1, w.Editblhxm,
                                                            w.BitBtnczxm, w.BitBtnTsfz}) {
        EXPECT_EQ(control->font().pixelSize(), kWindowFontPixels)
            << control->objectName().toStdString();
    }
}

ON_BOTH_STORAGES(MainWindowTest);
