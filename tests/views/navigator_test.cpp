// The navigator: its buttons, hints, enabled states, actions and layout.
#include <QTest>

#include "navigator_memo_support.h"
#include "views/db_navigator.h"
#include "views/db_navigator_glyphs.h"

namespace {

using enum TNavigateBtn;

const TNavigateBtn kAll[] = {nbFirst,  nbPrior, nbNext, nbLast,   nbInsert,
                             nbDelete, nbEdit,  nbPost, nbCancel, nbRefresh};

class NavigatorTest : public ViewWindowTest {
  protected:
    void SetUp() override {
        ViewWindowTest::SetUp();
        navigator_ = new TDBNavigator(window_.get());
        navigator_->setObjectName("DBNavigatorBingren");
        navigator_->setGeometry(0, 0, 250, 25);
        navigator_->SetDataSource(&data_->DataSourceBingren);
    }

    // The enabled buttons, in order.
    std::vector<TNavigateBtn> Enabled() const {
        std::vector<TNavigateBtn> enabled;
        for (TNavigateBtn b : kAll) {
            if (navigator_->Button(b)->isEnabled()) enabled.push_back(b);
        }
        return enabled;
    }

    // A click, and what it set going.
    void Click(TNavigateBtn button) {
        QTest::mouseClick(navigator_->Button(button), Qt::LeftButton);
        QCoreApplication::sendPostedEvents();
    }
    std::string CurrentName() const { return data_->TablebingrenXm->AsString(); }

    TDBNavigator* navigator_ = nullptr;
};

TEST_F(NavigatorTest, HasTenButtonsInTheFixedOrderFoundByName) {
    int x = -1;
    for (TNavigateBtn b : kAll) {
        auto* button = navigator_->findChild<TNavButton*>(NavigateBtnName(b));
        ASSERT_NE(button, nullptr) << NavigateBtnName(b);
        EXPECT_EQ(button, navigator_->Button(b));
        EXPECT_GT(button->x(), x);
        x = button->x();
    }
    EXPECT_EQ(navigator_->findChild<TNavButton*>("nbRefresh"), navigator_->Button(nbRefresh));
}

TEST_F(NavigatorTest, ShowsTheEnglishDefaultHintsOnlyWithShowHint) {
    EXPECT_TRUE(navigator_->Hints().isEmpty());
    EXPECT_TRUE(navigator_->ConfirmDelete());
    EXPECT_EQ(navigator_->Button(nbFirst)->toolTip(), "");
    navigator_->SetShowHint(true);
    const QStringList expected{"First record",  "Prior record",  "Next record", "Last record",
                               "Insert record", "Delete record", "Edit record", "Post edit",
                               "Cancel edit",   "Refresh data"};
    for (int i = 0; i < kNavigateBtnCount; ++i) {
        EXPECT_EQ(navigator_->Button(kAll[i])->toolTip(), expected[i]);
        EXPECT_EQ(navigator_->ButtonHint(kAll[i]), expected[i]);
    }
}

TEST_F(NavigatorTest, TenHintsReplaceAllTenIncludingAHiddenButtons) {
    navigator_->SetVisibleButtons({nbPrior, nbNext, nbInsert, nbPost});
    const QStringList hints{"第一条", "上一条", "下一条", "最后一条", "插入",
                            "删除",   "修改",   "保存",   "取消",     "刷新"};
    navigator_->SetHints(hints);
    navigator_->SetShowHint(true);
    EXPECT_EQ(navigator_->Hints(), hints);
    for (int i = 0; i < kNavigateBtnCount; ++i) {
        EXPECT_EQ(navigator_->ButtonHint(kAll[i]), hints[i]);
        EXPECT_EQ(navigator_->Button(kAll[i])->toolTip(), hints[i]);
    }
    EXPECT_FALSE(navigator_->Button(nbFirst)->isVisibleTo(window_.get()));
}

TEST_F(NavigatorTest, EmptyAndMissingHintsKeepTheDefaultAndTextsAfterTheTenthAreIgnored) {
    QStringList hints{"", "往前"};
    navigator_->SetHints(hints);
    EXPECT_EQ(navigator_->ButtonHint(nbFirst), "First record");
    EXPECT_EQ(navigator_->ButtonHint(nbPrior), "往前");
    EXPECT_EQ(navigator_->ButtonHint(nbRefresh), "Refresh data");
    hints = TDBNavigator::DefaultHints();
    hints.append("an eleventh");
    navigator_->SetHints(hints);
    EXPECT_EQ(navigator_->ButtonHint(nbRefresh), "Refresh data");
    EXPECT_EQ(navigator_->Hints().size(), 11);
}

TEST_F(NavigatorTest, AListEqualToTheDefaultsCountsAsEmpty) {
    navigator_->SetHints(TDBNavigator::DefaultHints());
    EXPECT_TRUE(navigator_->Hints().isEmpty());
}

TEST_F(NavigatorTest, AHintIsShownWhole) {
    navigator_->SetHints({"前/后", "<b>上</b>"});
    navigator_->SetShowHint(true);
    EXPECT_EQ(navigator_->Button(nbFirst)->toolTip(), "前/后");
    EXPECT_EQ(navigator_->ButtonHint(nbPrior), "<b>上</b>");
    EXPECT_EQ(navigator_->Button(nbPrior)->toolTip(), "&lt;b&gt;上&lt;/b&gt;");
}

TEST_F(NavigatorTest, EnablesByPositionAndStateWhileBrowsingAndEditing) {
    AddPatients({"甲", "乙", "丙"});
    EXPECT_EQ(Enabled(), (std::vector{nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbRefresh}));
    data_->Tablebingren.Next();
    EXPECT_EQ(Enabled(), (std::vector{nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit,
                                      nbRefresh}));
    data_->Tablebingren.Edit();
    EXPECT_EQ(Enabled(), (std::vector{nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbPost,
                                      nbCancel, nbRefresh}));
    data_->Tablebingren.Cancel();
    data_->Tablebingren.Last();
    data_->Tablebingren.Next();  // now at the end
    EXPECT_EQ(Enabled(), (std::vector{nbFirst, nbPrior, nbInsert, nbDelete, nbEdit, nbRefresh}));
}

TEST_F(NavigatorTest, OnAnEmptyRecordSetOnlyInsertEditAndRefreshAreEnabled) {
    EXPECT_EQ(Enabled(), (std::vector{nbInsert, nbEdit, nbRefresh}));
}

TEST_F(NavigatorTest, DisablesEveryButtonWhileClosedOrDisabled) {
    AddPatients({"甲", "乙"});
    navigator_->setEnabled(false);
    EXPECT_TRUE(Enabled().empty());
    navigator_->setEnabled(true);
    EXPECT_EQ(Enabled().size(), 6u);
    data_->Tablebingren.Close();
    EXPECT_TRUE(Enabled().empty());
    data_->Tablebingren.Open();
    EXPECT_EQ(Enabled().size(), 6u);
    data_->DataSourceBingren.SetEnabled(false);
    EXPECT_TRUE(Enabled().empty());
    data_->DataSourceBingren.SetEnabled(true);
    navigator_->SetDataSource(nullptr);
    EXPECT_TRUE(Enabled().empty());
}

TEST_F(NavigatorTest, MovingButtonsMoveTheRecordSet) {
    AddPatients({"甲", "乙", "丙"});
    Activate(*window_);
    Click(nbLast);
    EXPECT_EQ(CurrentName(), "丙");
    Click(nbPrior);
    EXPECT_EQ(CurrentName(), "乙");
    Click(nbFirst);
    EXPECT_EQ(CurrentName(), "甲");
    Click(nbNext);
    EXPECT_EQ(CurrentName(), "乙");
}

TEST_F(NavigatorTest, EditPostCancelInsertAndRefreshAct) {
    AddPatients({"甲"});
    Activate(*window_);
    TTable& patients = data_->Tablebingren;
    Click(nbEdit);
    EXPECT_EQ(patients.State(), TDataSetState::dsEdit);
    data_->TablebingrenXm->SetAsString("乙");
    Click(nbCancel);
    EXPECT_EQ(patients.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(CurrentName(), "甲");
    Click(nbEdit);
    data_->TablebingrenXm->SetAsString("丁");
    Click(nbPost);
    EXPECT_EQ(patients.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(CurrentName(), "丁");
    Click(nbInsert);
    EXPECT_EQ(patients.State(), TDataSetState::dsInsert);
    data_->TablebingrenXm->SetAsString("戊");
    Click(nbRefresh);  // leaves insert state as a move does: the written record is posted
    EXPECT_EQ(patients.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(patients.RecordCount(), 2);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(NavigatorTest, DeleteAsksFirstAndCancelLeavesTheRecord) {
    AddPatients({"甲", "乙"});
    Activate(*window_);
    confirmAnswer_ = false;
    Click(nbDelete);
    EXPECT_EQ(confirmations_, 1);
    EXPECT_EQ(data_->Tablebingren.RecordCount(), 2);
    confirmAnswer_ = true;
    Click(nbDelete);
    EXPECT_EQ(confirmations_, 2);
    EXPECT_EQ(data_->Tablebingren.RecordCount(), 1);
    EXPECT_EQ(CurrentName(), "乙");
    navigator_->SetConfirmDelete(false);
    Click(nbDelete);
    EXPECT_EQ(confirmations_, 2);
    EXPECT_TRUE(data_->Tablebingren.IsEmpty());
}

TEST_F(NavigatorTest, AFailingActionReachesTheUserAndTheRecordSetKeepsItsState) {
    AddPatients({"甲"});
    Activate(*window_);
    data_->Tablebingren.BeforePost = [](TDataSet*) { throw EDatabaseError("Post refused"); };
    Click(nbEdit);
    Click(nbPost);
    EXPECT_EQ(TakeMessages(), std::vector<QString>{"Post refused."});
    EXPECT_EQ(data_->Tablebingren.State(), TDataSetState::dsEdit);
    data_->Tablebingren.BeforePost = nullptr;
}

TEST_F(NavigatorTest, VisibleButtonsShareTheWidthEquallyAndHiddenOnesTakeNoRoom) {
    Activate(*window_);
    EXPECT_EQ(navigator_->VisibleButtons().size(), 10u);
    for (TNavigateBtn b : kAll)
        EXPECT_EQ(navigator_->Button(b)->geometry(), QRect(25 * static_cast<int>(b), 0, 25, 25));
    navigator_->SetVisibleButtons({nbFirst, nbPrior, nbNext, nbLast});
    navigator_->resize(102, 30);
    EXPECT_EQ(navigator_->Button(nbFirst)->geometry(), QRect(0, 0, 26, 30));
    EXPECT_EQ(navigator_->Button(nbPrior)->geometry(), QRect(26, 0, 26, 30));
    EXPECT_EQ(navigator_->Button(nbNext)->geometry(), QRect(52, 0, 25, 30));
    EXPECT_EQ(navigator_->Button(nbLast)->geometry(), QRect(77, 0, 25, 30));
    EXPECT_EQ(navigator_->minimumSizeHint(), QSize(80, 18));
}

TEST_F(NavigatorTest, AButtonIsNeverSmallerThanTwentyByEighteen) {
    Activate(*window_);
    navigator_->resize(100, 10);
    for (TNavigateBtn b : kAll) EXPECT_EQ(navigator_->Button(b)->size(), QSize(20, 18));
}

TEST_F(NavigatorTest, IsNoTabStop) {
    EXPECT_EQ(navigator_->focusPolicy(), Qt::NoFocus);
    for (TNavigateBtn b : kAll) EXPECT_EQ(navigator_->Button(b)->focusPolicy(), Qt::NoFocus);
}

TEST(NavigatorGlyphs, EachHoldsAnEnabledAndADisabledLookOfFourteenByThirteen) {
    std::vector<QImage> seen;
    for (TNavigateBtn b : kAll) {
        const QImage glyphs = NavigatorGlyphs(b);
        EXPECT_EQ(glyphs.size(), QSize(28, 13));
        const QImage enabled = glyphs.copy(0, 0, 14, 13);
        const QImage disabled = glyphs.copy(14, 0, 14, 13);
        EXPECT_NE(enabled, disabled);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), enabled), 0) << NavigateBtnName(b);
        EXPECT_NE(enabled.pixelColor(0, 0).alpha(), 255);  // transparent around the shape
        seen.push_back(enabled);
    }
}

TEST_F(NavigatorTest, ADisabledButtonShowsItsDisabledLook) {
    AddPatients({"甲", "乙"});
    Activate(*window_);
    const QImage enabled = navigator_->Button(nbNext)->grab().toImage();
    data_->Tablebingren.Last();
    data_->Tablebingren.Next();
    const QImage disabled = navigator_->Button(nbNext)->grab().toImage();
    EXPECT_NE(enabled, disabled);
}

}  // namespace
