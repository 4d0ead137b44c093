// When the grid's mouse raises OnCellClick, OnDblClick and OnTitleClick, and what presses do
// to the current record, the current column and the cell editor.
#include <QDialog>
#include <QTest>
#include <QTimer>

#include "failure_box_user.h"
#include "grid_fixture.h"
#include "views/grid/grid_cell_editor.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class GridMouse : public GridFixture {
  protected:
    void SetUp() override {
        GridFixture::SetUp();
        AddPatients(3);
        ShowPatientGrid();
    }
};

TEST_F(GridMouse, ClickOnAnotherPatientsCellRaisesCellClickOnceWithItsColumn) {
    Click(kFzyysj, 1);
    EXPECT_THAT(TakeEvents(), ElementsAre("cell Fzyysj"));
    EXPECT_EQ(CurrentId(), "2");
    EXPECT_EQ(grid_->SelectedIndex(), kFzyysj);
    EXPECT_FALSE(grid_->EditorMode());
}

TEST_F(GridMouse, ClickOnTheCurrentCellOpensTheEditorAndRaisesNothing) {
    Click(kFzyysj, 1);
    TakeEvents();
    Click(kFzyysj, 1);
    EXPECT_THAT(TakeEvents(), IsEmpty());
    EXPECT_TRUE(EditorOpen());
    EXPECT_EQ(Focused(), Editor());
    EXPECT_EQ(Editor()->geometry(), grid_->CellRect(kFzyysj, 1));
    EXPECT_EQ(Editor()->selectedText(), EditorText());
}

TEST_F(GridMouse, IndicatorClickMovesWithoutEvent) {
    ClickIndicator(2);
    EXPECT_EQ(CurrentId(), "3");
    EXPECT_THAT(TakeEvents(), IsEmpty());
    EXPECT_EQ(grid_->SelectedIndex(), kId);
}

TEST_F(GridMouse, TitleClickNeverMovesTheRecordAndRaisesTitleClick) {
    Click(kXm, 1);
    TakeEvents();
    Click(kNl, -1);
    EXPECT_EQ(CurrentId(), "2");
    EXPECT_EQ(grid_->SelectedIndex(), kXm);
    EXPECT_THAT(TakeEvents(), ElementsAre("title Nl"));
}

TEST_F(GridMouse, DoubleClickOnANonCurrentCellRaisesCellClickThenDblClick) {
    Click(kXm, 2);
    DoubleClick(kXm, 2);
    EXPECT_THAT(TakeEvents(), ElementsAre("cell Xm", "dblclick"));
    // Without a window in between, the second release reaches the grid and clicks again.
    Release(kXm, 2);
    EXPECT_THAT(TakeEvents(), ElementsAre("cell Xm"));
    EXPECT_FALSE(grid_->EditorMode());
}

TEST_F(GridMouse, DoubleClickWhoseHandlerOpensAModalWindowEndsWithoutASecondCellClick) {
    grid_->OnDblClick = [this](TDBGrid*) {
        events_.push_back("dblclick");
        QDialog dialog(window_.get());
        QTimer::singleShot(0, &dialog, &QDialog::accept);
        dialog.exec();
    };
    Click(kXm, 2);
    DoubleClick(kXm, 2);
    Release(kXm, 2);
    EXPECT_THAT(TakeEvents(), ElementsAre("cell Xm", "dblclick"));
}

TEST_F(GridMouse, DoubleClickOnTheTitleRowRaisesOnlyDblClick) {
    QTest::mouseDClick(grid_->viewport(), Qt::LeftButton, {}, CellCentre(kNl, -1));
    EXPECT_THAT(TakeEvents(), ElementsAre("dblclick"));
    EXPECT_EQ(grid_->SelectedIndex(), kId);
}

TEST_F(GridMouse, RightPressMakesTheCellCurrentWithoutEditorOrEvent) {
    Click(kNl, 2, Qt::RightButton);
    EXPECT_EQ(CurrentId(), "3");
    EXPECT_EQ(grid_->SelectedIndex(), kNl);
    Click(kNl, 2, Qt::RightButton);
    EXPECT_FALSE(grid_->EditorMode());
    EXPECT_THAT(TakeEvents(), IsEmpty());
}

TEST_F(GridMouse, PressElsewhereWritesThePendingTextAndClosesTheEditor) {
    Click(kXm, 0);
    Click(kXm, 0);
    Type("ab");
    Click(kNl, 0);
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "ab");
    EXPECT_EQ(State(), TDataSetState::dsEdit);
    EXPECT_FALSE(grid_->EditorMode());
    // Another row: the edited record is posted as it is left.
    Click(kNl, 1);
    EXPECT_EQ(CurrentId(), "2");
    data_->Tablebingren.First();
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "ab");
}

// The visit grid refuses the focus while its date cell holds no date: a press on the patient
// grid finds it refused and does nothing there; the text stays for the user to correct.
TEST_F(GridMouse, APressOnAnotherGridThatTheFocusCannotReachDoesNothing) {
    AddVisit("toothache");
    data_->TableBingli.Edit();
    data_->TableBingliLzrq->SetAsString("2026-12-1");
    data_->TableBingli.Post();
    auto* visits = new TDBGrid(window_.get());
    visits->setGeometry(210, 300, 490, 100);
    visits->Columns().Add()->SetFieldName("Lzrq");
    visits->SetDataSource(&data_->DataSourceBingli);
    visits->show();
    visits->setFocus();
    Type("abc");
    FailureBoxUser user;
    Click(kXm, 1);
    ASSERT_EQ(user.Seen().size(), 1u);
    EXPECT_EQ(user.Seen()[0].text, "'abc' is not a valid date.");
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    EXPECT_EQ(Focused(), visits->InplaceEditor());
    EXPECT_TRUE(visits->InplaceEditor()->isVisible());
    EXPECT_EQ(visits->InplaceEditor()->text(), "abc");
    EXPECT_EQ(CurrentId(), "1");
    EXPECT_EQ(grid_->SelectedIndex(), kId);
    EXPECT_THAT(TakeEvents(), IsEmpty());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(visits->CellModified());
    EXPECT_EQ(visits->CellText(0, 0), "2026-12-1");
}

TEST_F(GridMouse, DoubleClickOnTheEditorRaisesDblClick) {
    Click(kXm, 0);
    Click(kXm, 0);
    ASSERT_TRUE(EditorOpen());
    TakeEvents();
    QTest::mouseDClick(Editor(), Qt::LeftButton);
    EXPECT_THAT(TakeEvents(), ElementsAre("dblclick"));
}

TEST_F(GridMouse, DraggingATitleBoundaryResizesTheColumn) {
    const QRect title = grid_->CellRect(kXm, -1);
    const QPoint boundary(title.right() + 1, title.center().y());
    QTest::mousePress(grid_->viewport(), Qt::LeftButton, {}, boundary);
    QTest::mouseMove(grid_->viewport(), boundary + QPoint(30, 0));
    QTest::mouseRelease(grid_->viewport(), Qt::LeftButton, {}, boundary + QPoint(30, 0));
    EXPECT_EQ(grid_->Columns()[kXm]->Width(), title.width() + 30);
    EXPECT_THAT(TakeEvents(), IsEmpty());
}

TEST_F(GridMouse, DraggingATitleOntoAnotherMovesTheColumn) {
    Click(kNl, 0);
    QTest::mousePress(grid_->viewport(), Qt::LeftButton, {}, CellCentre(kXm, -1));
    QTest::mouseMove(grid_->viewport(), CellCentre(kNl, -1));
    QTest::mouseRelease(grid_->viewport(), Qt::LeftButton, {}, CellCentre(kNl, -1));
    EXPECT_EQ(grid_->Columns()[kNl]->FieldName(), "Xm");
    EXPECT_EQ(grid_->Columns()[kXb]->FieldName(), "Nl");
    EXPECT_EQ(grid_->SelectedColumn()->FieldName(), "Nl");
}

TEST_F(GridMouse, WheelMovesOneRecordPerNotch) {
    QWheelEvent down(CellCentre(kXm, 0), grid_->viewport()->mapToGlobal(CellCentre(kXm, 0)), {},
                     {0, -240}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid_->viewport(), &down);
    EXPECT_EQ(CurrentId(), "3");
}
