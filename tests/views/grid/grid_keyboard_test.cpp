// The grid's keys: moves, columns, appending and cancelling new records, deleting.
#include <QTest>

#include "grid_fixture.h"
#include "views/grid/grid_cell_editor.h"

using ::testing::IsEmpty;

class GridKeys : public GridFixture {
  protected:
    void SetUp() override {
        GridFixture::SetUp();
        AddPatients(3);
    }
};

TEST_F(GridKeys, TabAndArrowsIntoAColumnRaiseNothing) {
    ShowPatientGrid();
    Key(Qt::Key_Tab);
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    EXPECT_EQ(grid_->SelectedIndex(), kFzyysj);
    Key(Qt::Key_Down);
    Key(Qt::Key_Up);
    EXPECT_THAT(TakeEvents(), IsEmpty());
}

TEST_F(GridKeys, TabSkipsTheReadOnlyIdColumnAndRightReachesIt) {
    ShowPatientGrid();
    Key(Qt::Key_Tab);
    EXPECT_EQ(grid_->SelectedIndex(), kXm);
    Key(Qt::Key_Tab);
    Key(Qt::Key_Tab);
    Key(Qt::Key_Tab);
    EXPECT_EQ(grid_->SelectedIndex(), kFzyysj);
    // Past the last column Tab acts as Down and goes on from the first tab stop.
    Key(Qt::Key_Tab);
    EXPECT_EQ(grid_->SelectedIndex(), kXm);
    EXPECT_EQ(CurrentId(), "2");
    Key(Qt::Key_Backtab);
    EXPECT_EQ(grid_->SelectedIndex(), kFzyysj);
    EXPECT_EQ(CurrentId(), "1");
    Key(Qt::Key_Home);
    EXPECT_EQ(grid_->SelectedIndex(), kId);
    Key(Qt::Key_Right);
    Key(Qt::Key_Left);
    EXPECT_EQ(grid_->SelectedIndex(), kId);
    EXPECT_TRUE(grid_->Columns()[kId]->ReadOnly());
    // Typing there changes nothing.
    Type("7");
    EXPECT_EQ(State(), TDataSetState::dsBrowse);
    EXPECT_EQ(CurrentId(), "1");
}

TEST_F(GridKeys, DownOnTheLastRowAppendsAndUpCancelsTheUntouchedRecord) {
    ShowPatientGrid();
    data_->Tablebingren.Last();
    Key(Qt::Key_Down);
    EXPECT_EQ(State(), TDataSetState::dsInsert);
    EXPECT_EQ(data_->Tablebingren.ActiveRecord(), 3);
    EXPECT_TRUE(data_->Tablebingren.Eof());
    EXPECT_EQ(grid_->IndicatorMark(3), TIndicatorMark::Asterisk);
    EXPECT_EQ(grid_->IndicatorMark(2), TIndicatorMark::None);
    // The untouched new record stays where it is on Down, and goes on Up.
    Key(Qt::Key_Down);
    EXPECT_EQ(State(), TDataSetState::dsInsert);
    Key(Qt::Key_Up);
    EXPECT_EQ(State(), TDataSetState::dsBrowse);
    EXPECT_EQ(CurrentId(), "3");
    EXPECT_EQ(data_->Tablebingren.RecordCount(), 3);
}

TEST_F(GridKeys, LeavingTheGridCancelsAnUntouchedNewRecord) {
    ShowPatientGrid();
    Key(Qt::Key_Insert);
    EXPECT_EQ(State(), TDataSetState::dsInsert);
    other_->setFocus();
    EXPECT_EQ(State(), TDataSetState::dsBrowse);
    EXPECT_EQ(data_->Tablebingren.RecordCount(), 3);
}

TEST_F(GridKeys, ANewRecordThatAfterInsertFilledIsKeptAndPostedOnLeavingIt) {
    data_->Tablebingren.AfterInsert = [this](TDataSet*) {
        data_->TablebingrenXb->SetAsString("男");
    };
    ShowPatientGrid();
    data_->Tablebingren.Last();
    Key(Qt::Key_Down);
    ASSERT_EQ(State(), TDataSetState::dsInsert);
    other_->setFocus();
    grid_->setFocus();
    EXPECT_EQ(State(), TDataSetState::dsInsert);
    Key(Qt::Key_Down);
    // Down posted it and, at the end again, appended another.
    EXPECT_EQ(State(), TDataSetState::dsInsert);
    Key(Qt::Key_Escape);
    EXPECT_EQ(State(), TDataSetState::dsBrowse);
    EXPECT_EQ(data_->Tablebingren.RecordCount(), 4);
    Key(Qt::Key_Up);
    EXPECT_EQ(CurrentId(), "3");
}

TEST_F(GridKeys, AReadOnlyRecordSetRefusesInsertDeleteAppendAndTyping) {
    ShowGrid(data_->DataSourceczxm, {"Id", "Xm", "Xb"});
    TQuery& query = data_->Queryczxm;
    Key(Qt::Key_Insert);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    query.Last();
    Key(Qt::Key_Down);
    EXPECT_EQ(query.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(query.RecordCount(), 3);
    Key(Qt::Key_Right);
    Type("x");
    EXPECT_EQ(query.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(data_->QueryczxmXm->AsString(), "p3");
    EXPECT_EQ(EditorText(), "p3");
    EXPECT_THAT(messages_, IsEmpty());
}

TEST_F(GridKeys, CtrlDeleteAsksAndDeletesOnOkOnly) {
    ShowPatientGrid();
    confirmDelete_ = false;
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(data_->Tablebingren.RecordCount(), 3);
    confirmDelete_ = true;
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(data_->Tablebingren.RecordCount(), 2);
    EXPECT_EQ(CurrentId(), "2");
}

TEST_F(GridKeys, PageDownMovesByTheRowsShownWithoutCounting) {
    AddPatients(40);
    ShowPatientGrid();
    const int rows = grid_->VisibleRowCount();
    Key(Qt::Key_PageDown);
    EXPECT_EQ(CurrentId(), std::to_string(rows + 1));
    Key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(data_->Tablebingren.ActiveRecord(), rows - 1);
    Key(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(data_->Tablebingren.ActiveRecord(), 0);
    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(CurrentId(), "43");
    EXPECT_EQ(data_->Tablebingren.BufferCount(), rows);
}

TEST_F(GridKeys, HomeAndEndMoveRecordsInASingleColumnGrid) {
    ShowGrid(data_->DataSourceBingren, {"Xm"});
    Key(Qt::Key_End);
    EXPECT_EQ(CurrentId(), "3");
    Key(Qt::Key_Home);
    EXPECT_EQ(CurrentId(), "1");
}
