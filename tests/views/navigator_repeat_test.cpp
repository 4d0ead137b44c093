// Holding Prior or Next repeats the move; the repeat timer is driven by hand, never by waiting.
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>

#include "navigator_memo_support.h"
#include "views/db_navigator.h"

namespace {

using enum TNavigateBtn;

class NavigatorRepeatTest : public ViewWindowTest {
  protected:
    void SetUp() override {
        ViewWindowTest::SetUp();
        navigator_ = new TDBNavigator(window_.get());
        navigator_->setGeometry(0, 0, 250, 25);
        navigator_->SetDataSource(&data_->DataSourceBingren);
        AddPatients({"1", "2", "3", "4", "5", "6"});
        Activate(*window_);
        next_ = navigator_->Button(nbNext);
        timer_ = next_->findChild<QTimer*>();
        ASSERT_NE(timer_, nullptr);
    }

    // The timer's time has come.
    void Elapse() {
        ASSERT_TRUE(timer_->isActive());
        QTimerEvent event(timer_->timerId());
        QApplication::sendEvent(timer_, &event);
    }
    void MoveTo(QPoint pos) {
        QMouseEvent move(QEvent::MouseMove, pos, next_->mapToGlobal(pos), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(next_, &move);
    }
    // Lets go of the button, and lets what the release set going run.
    void Release(QWidget* button, QPoint at = {}) {
        QTest::mouseRelease(button, Qt::LeftButton, {}, at.isNull() ? button->rect().center() : at);
        QCoreApplication::sendPostedEvents();
    }
    QPoint Outside() const { return {next_->width() + 5, 5}; }
    std::string Current() const { return data_->TablebingrenXm->AsString(); }

    TDBNavigator* navigator_ = nullptr;
    TNavButton* next_ = nullptr;
    QTimer* timer_ = nullptr;
};

TEST_F(NavigatorRepeatTest, OnlyPriorAndNextRepeat) {
    for (TNavigateBtn b : {nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost,
                           nbCancel, nbRefresh}) {
        const bool repeats = b == nbPrior || b == nbNext;
        EXPECT_EQ(navigator_->Button(b)->Repeats(), repeats) << NavigateBtnName(b);
        EXPECT_EQ(navigator_->Button(b)->findChild<QTimer*>() != nullptr, repeats);
    }
}

TEST_F(NavigatorRepeatTest, AShortClickMovesOnceOnRelease) {
    QTest::mousePress(next_, Qt::LeftButton);
    EXPECT_EQ(Current(), "1");
    Release(next_);
    EXPECT_EQ(Current(), "2");
    EXPECT_FALSE(timer_->isActive());
}

TEST_F(NavigatorRepeatTest, HoldingMovesAfter400MsThenEvery100MsAndOnceMoreOnRelease) {
    QTest::mousePress(next_, Qt::LeftButton);
    EXPECT_TRUE(timer_->isActive());
    EXPECT_EQ(timer_->interval(), 400);
    Elapse();
    EXPECT_EQ(Current(), "2");
    EXPECT_EQ(timer_->interval(), 100);
    Elapse();
    EXPECT_EQ(Current(), "3");
    Elapse();
    EXPECT_EQ(Current(), "4");
    EXPECT_EQ(timer_->interval(), 100);
    Release(next_);
    EXPECT_EQ(Current(), "5");
    EXPECT_FALSE(timer_->isActive());
}

TEST_F(NavigatorRepeatTest, PriorRepeatsBackwards) {
    data_->Tablebingren.Last();
    TNavButton* prior = navigator_->Button(nbPrior);
    timer_ = prior->findChild<QTimer*>();
    QTest::mousePress(prior, Qt::LeftButton);
    Elapse();
    Elapse();
    Release(prior);
    EXPECT_EQ(Current(), "3");
}

TEST_F(NavigatorRepeatTest, RepeatsOnlyWithThePointerOverTheButton) {
    QTest::mousePress(next_, Qt::LeftButton);
    MoveTo(Outside());
    Elapse();
    Elapse();
    EXPECT_EQ(Current(), "1");
    MoveTo({5, 5});
    Elapse();
    EXPECT_EQ(Current(), "2");
    MoveTo(Outside());
    Release(next_, Outside());
    EXPECT_EQ(Current(), "2");  // released off the button: no click
    EXPECT_FALSE(timer_->isActive());
}

TEST_F(NavigatorRepeatTest, AFailingRepeatStopsItAndTheReleaseDoesNothing) {
    QTest::mousePress(next_, Qt::LeftButton);
    Elapse();
    data_->Tablebingren.BeforeScroll = [](TDataSet*) { throw EDatabaseError("No moving now"); };
    Elapse();
    EXPECT_EQ(TakeMessages(), std::vector<QString>{"No moving now."});
    EXPECT_FALSE(timer_->isActive());
    data_->Tablebingren.BeforeScroll = nullptr;
    Release(next_);
    EXPECT_EQ(Current(), "2");
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(NavigatorRepeatTest, ReachingTheEndStopsTheRepeat) {
    data_->Tablebingren.MoveBy(4);
    QTest::mousePress(next_, Qt::LeftButton);
    Elapse();
    EXPECT_EQ(Current(), "6");
    Elapse();  // past the last record: Next becomes disabled and lets go
    EXPECT_FALSE(next_->isEnabled());
    EXPECT_FALSE(timer_->isActive());
}

TEST_F(NavigatorRepeatTest, OtherMouseButtonsDoNothing) {
    QTest::mouseClick(next_, Qt::RightButton);
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(timer_->isActive());
    EXPECT_EQ(Current(), "1");
}

}  // namespace
