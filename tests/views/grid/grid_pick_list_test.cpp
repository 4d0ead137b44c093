// The drop-down list of a pick-list column.
#include "views/grid/grid_pick_list.h"

#include <QListWidget>
#include <QScrollBar>
#include <QStyle>
#include <QTest>

#include "data/exceptions.h"
#include "failure_box_user.h"
#include "grid_fixture.h"
#include "views/failure_reporting.h"
#include "views/grid/grid_cell_editor.h"

class GridPickList : public GridFixture {
  protected:
    void SetUp() override {
        GridFixture::SetUp();
        AddPatients(2);
        ShowPatientGrid();
        grid_->SetSelectedIndex(kXb);
        Key(Qt::Key_Return);
    }
    TGridPickList* List() const { return grid_->DropDownList(); }
};

TEST_F(GridPickList, TheEditorOfAPickListColumnHasADropDownButton) {
    EXPECT_TRUE(Editor()->PickListStyle());
    EXPECT_FALSE(grid_->Columns()[kXm]->OffersPickList());
    QTest::mouseClick(Editor(), Qt::LeftButton, {}, Editor()->ButtonRect().center());
    EXPECT_TRUE(List()->isVisible());
    EXPECT_EQ(List()->Count(), 2);
}

TEST_F(GridPickList, AnEmptyCellHighlightsNothingAndEnterClosesWithoutChange) {
    Key(Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(List()->isVisible());
    EXPECT_EQ(List()->Highlighted(), -1);
    Key(Qt::Key_Return);
    EXPECT_FALSE(List()->isVisible());
    EXPECT_FALSE(grid_->EditorMode());
    EXPECT_EQ(State(), TDataSetState::dsBrowse);
    EXPECT_EQ(data_->TablebingrenXb->AsString(), "");
}

// Every entry shows whole: its text and the style's item margins fit the rows, which fill the
// list exactly; a scroll bar only when entries are hidden.
TEST_F(GridPickList, TheListShowsItsEntriesWholeBelowTheEditor) {
    const QStringList lists[] = {
        {"男", "女"},
        {"按时复诊", "改时再约", "放弃治疗", "无人应答", "电话换号"},
        {"一", "二", "三", "四", "五", "六", "七", "八", "九十百千万亿兆京垓"}};
    QListWidget* list = List()->List();
    for (const QStringList& entries : lists) {
        grid_->Columns()[kXb]->SetPickList(entries);
        Key(Qt::Key_Down, Qt::AltModifier);
        ASSERT_TRUE(List()->isVisible());
        const int shown = std::min<int>(entries.size(), 7);
        EXPECT_EQ(List()->height(), list->sizeHintForRow(0) * shown + 4);
        EXPECT_EQ(list->verticalScrollBar()->isVisible(), entries.size() > 7);
        EXPECT_LE(list->visualItemRect(list->item(shown - 1)).bottom(),
                  list->viewport()->height() - 1);
        const int margins = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
        for (const QString& entry : entries) {
            EXPECT_GE(list->viewport()->width(),
                      QFontMetrics(list->font()).horizontalAdvance(entry) + margins)
                << entry.toStdString();
        }
        EXPECT_GE(List()->width(), Editor()->width());
        EXPECT_EQ(List()->geometry().top(),
                  Editor()->mapToGlobal(QPoint(0, Editor()->height())).y());
        Key(Qt::Key_Escape);
    }
}

// The list's pop-up holds the mouse and the keyboard: it closes before the box comes up, and the
// window is the active one again once the box is closed.
TEST_F(GridPickList, AFailureWhileTheListIsOpenComesUpInABoxThatTakesInput) {
    Key(Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(List()->isVisible());
    FailureBoxUser user;
    static_cast<TApplication*>(QApplication::instance())
        ->HandleException(std::make_exception_ptr(EDatabaseError("Record locked")));
    ASSERT_EQ(user.Seen().size(), 1u);
    EXPECT_TRUE(user.Seen()[0].shown);
    EXPECT_TRUE(user.Seen()[0].takesInput);
    EXPECT_EQ(user.Seen()[0].owner, window_.get());
    EXPECT_FALSE(List()->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    EXPECT_EQ(Focused(), Editor());
}

TEST_F(GridPickList, ChoosingWritesTheFieldAtOnceAndOtherTextIsStillAccepted) {
    Key(Qt::Key_Down, Qt::AltModifier);
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    EXPECT_EQ(List()->Highlighted(), 1);
    Key(Qt::Key_Down, Qt::AltModifier);
    EXPECT_FALSE(List()->isVisible());
    EXPECT_EQ(State(), TDataSetState::dsEdit);
    EXPECT_EQ(data_->TablebingrenXb->AsString(), "女");
    EXPECT_EQ(EditorText(), "女");
    // The list only offers values.
    Type("x");
    Key(Qt::Key_Return);
    EXPECT_EQ(data_->TablebingrenXb->AsString(), "x");
}

TEST_F(GridPickList, TheEntryEqualToTheTextIsHighlightedAndEscClosesOnly) {
    Type("女");
    Key(Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(List()->Highlighted(), 1);
    Key(Qt::Key_Escape);
    EXPECT_FALSE(List()->isVisible());
    EXPECT_TRUE(EditorOpen());
    EXPECT_TRUE(grid_->CellModified());
}

TEST_F(GridPickList, ReleasingOverAnEntryChoosesIt) {
    Key(Qt::Key_Down, Qt::AltModifier);
    QListWidget* list = List()->List();
    const QRect entry = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry.center());
    EXPECT_FALSE(List()->isVisible());
    EXPECT_EQ(data_->TablebingrenXb->AsString(), "男");
}

TEST_F(GridPickList, IncrementalSearchStartsAgainAfterTwoSeconds) {
    grid_->Columns()[kXb]->SetPickList({"Alpha", "Beta", "Bravo", "Charlie"});
    Key(Qt::Key_Down, Qt::AltModifier);
    Type("b");
    EXPECT_EQ(List()->Highlighted(), 1);
    now_ += 2000;
    Type("r");
    EXPECT_EQ(List()->Highlighted(), 2);
    now_ += 2001;
    Type("c");
    EXPECT_EQ(List()->Highlighted(), 3);
    Key(Qt::Key_Backspace);
    Type("a");
    EXPECT_EQ(List()->Highlighted(), 0);
    EXPECT_EQ(EditorText(), "");
}

TEST_F(GridPickList, SearchTextHoldsAtMost32Characters) {
    const QString prefix(32, QChar(u'a'));
    grid_->Columns()[kXb]->SetPickList({prefix + "z", prefix, "b"});
    Key(Qt::Key_Down, Qt::AltModifier);
    Type(prefix);
    EXPECT_EQ(List()->Highlighted(), 0);
    Type("b");
    EXPECT_EQ(List()->Highlighted(), 0);
}

TEST_F(GridPickList, DoubleClickWithoutHandlerStepsToTheNextEntryAsLastFilled) {
    grid_->OnDblClick = nullptr;
    QTest::mouseDClick(Editor(), Qt::LeftButton);
    EXPECT_EQ(EditorText(), "");  // never dropped down in this grid: the list is empty
    Key(Qt::Key_Down, Qt::AltModifier);
    Key(Qt::Key_Escape);
    QTest::mouseDClick(Editor(), Qt::LeftButton);
    EXPECT_EQ(EditorText(), "男");
    QTest::mouseDClick(Editor(), Qt::LeftButton);
    EXPECT_EQ(EditorText(), "女");
    QTest::mouseDClick(Editor(), Qt::LeftButton);
    EXPECT_EQ(EditorText(), "男");
    EXPECT_TRUE(TakeEvents().empty());
    // Not a change of the cell: nothing reaches the field.
    EXPECT_EQ(State(), TDataSetState::dsBrowse);
    Key(Qt::Key_Return);
    EXPECT_EQ(data_->TablebingrenXb->AsString(), "");
}
