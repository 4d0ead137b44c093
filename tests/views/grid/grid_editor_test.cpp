// The cell editor: what typing may change, when the pending text reaches the field, Esc, and
// conversion errors.
#include <QTest>

#include "failure_box_user.h"
#include "grid_fixture.h"
#include "views/grid/grid_cell_editor.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class GridEditor : public GridFixture {
  protected:
    void SetUp() override {
        GridFixture::SetUp();
        AddPatients(2);
        ShowPatientGrid();
    }
};

TEST_F(GridEditor, TypingStopsAtTheFieldsSizeInGbkBytes) {
    grid_->SetSelectedIndex(kXm);
    Type("张三李四王");
    EXPECT_EQ(EditorText(), "张三李四");
    EXPECT_EQ(Editor()->MaxBytes(), 8);
    Type("x");
    EXPECT_EQ(EditorText(), "张三李四");
    Key(Qt::Key_Backspace);
    Type("abc");
    EXPECT_EQ(EditorText(), "张三李ab");
}

TEST_F(GridEditor, ALetterInAnIntegerCellBeepsAndChangesNothing) {
    grid_->SetSelectedIndex(kNl);
    Type("a");
    EXPECT_EQ(beeps_, 1);
    EXPECT_EQ(State(), TDataSetState::dsBrowse);
    EXPECT_FALSE(grid_->CellModified());
    Type("-4");
    EXPECT_EQ(beeps_, 1);
    EXPECT_EQ(EditorText(), "-4");
}

TEST_F(GridEditor, EnterWritesTheFieldWithoutPosting) {
    grid_->SetSelectedIndex(kNl);
    Type("42");
    EXPECT_EQ(State(), TDataSetState::dsEdit);
    EXPECT_TRUE(grid_->CellModified());
    EXPECT_EQ(data_->TablebingrenNl->AsString(), "");
    Key(Qt::Key_Return);
    EXPECT_EQ(data_->TablebingrenNl->AsString(), "42");
    EXPECT_EQ(State(), TDataSetState::dsEdit);
    EXPECT_EQ(grid_->IndicatorMark(0), TIndicatorMark::IBeam);
    EXPECT_FALSE(grid_->EditorMode());
    EXPECT_EQ(grid_->SelectedIndex(), kNl);
    // Enter again opens the editor with all of its text selected.
    Key(Qt::Key_Return);
    EXPECT_TRUE(EditorOpen());
    EXPECT_EQ(Editor()->selectedText(), "42");
}

TEST_F(GridEditor, EscOnceRestoresTheCellAndEscTwiceCancelsTheRecord) {
    grid_->SetSelectedIndex(kXm);
    Type("new");
    Key(Qt::Key_Tab);
    Type("9");
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "new");
    Key(Qt::Key_Escape);
    EXPECT_FALSE(grid_->EditorMode());
    EXPECT_EQ(data_->TablebingrenXb->AsString(), "");
    EXPECT_EQ(State(), TDataSetState::dsEdit);
    Key(Qt::Key_Escape);
    EXPECT_EQ(State(), TDataSetState::dsBrowse);
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "p1");
}

TEST_F(GridEditor, ABadDateWithEnterIsReportedAndTheEditorKeepsTheText) {
    grid_->SetSelectedIndex(kFzyysj);
    Type("2026-13-45");
    Key(Qt::Key_Return);
    EXPECT_THAT(messages_, ElementsAre("'2026-13-45' is not a valid date."));
    EXPECT_TRUE(EditorOpen());
    EXPECT_EQ(EditorText(), "2026-13-45");
    EXPECT_TRUE(grid_->CellModified());
    // Nor may the user move off the record with it.
    Key(Qt::Key_Down);
    EXPECT_EQ(CurrentId(), "1");
    EXPECT_EQ(messages_.size(), 2u);
    Key(Qt::Key_Escape);
    EXPECT_EQ(data_->TablebingrenFzyysj->AsString(), "");
    Type("2026-12-9");
    Key(Qt::Key_Return);
    EXPECT_EQ(data_->TablebingrenFzyysj->AsString(), "2026-12-9");
}

TEST_F(GridEditor, LeavingTheGridWritesAndABadTextBringsTheFocusBack) {
    grid_->SetSelectedIndex(kXm);
    Type("ok");
    other_->setFocus();
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "ok");
    EXPECT_FALSE(Editor()->isVisible());
    EXPECT_TRUE(grid_->EditorMode());
    grid_->setFocus();
    EXPECT_TRUE(EditorOpen());
    EXPECT_EQ(Focused(), Editor());
    Key(Qt::Key_Tab);
    Key(Qt::Key_Tab);
    Type("x1");
    EXPECT_EQ(beeps_, 1);
    Key(Qt::Key_Tab);
    Type("20x");
    // An input method is still composing as the focus leaves; the box must come up all the same.
    QInputMethodEvent composing("zhong", {});
    QApplication::sendEvent(Editor(), &composing);
    FailureBoxUser user;
    other_->setFocus();
    ASSERT_EQ(user.Seen().size(), 1u);
    EXPECT_EQ(user.Seen()[0].text, "'20x' is not a valid date.");
    EXPECT_TRUE(user.Seen()[0].shown);
    EXPECT_TRUE(user.Seen()[0].takesInput);
    EXPECT_EQ(user.Seen()[0].owner, window_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    EXPECT_EQ(Focused(), Editor());
    EXPECT_EQ(EditorText(), "20x");
}

TEST_F(GridEditor, F2PutsTheCaretAtTheEndWithNothingSelected) {
    grid_->SetSelectedIndex(kXm);
    Key(Qt::Key_F2);
    EXPECT_TRUE(EditorOpen());
    EXPECT_FALSE(Editor()->hasSelectedText());
    Type("x");
    EXPECT_EQ(EditorText(), "p1x");
}

TEST_F(GridEditor, TypingIntoAnEmptyRecordSetStartsANewRecord) {
    data_->Tablebingren.Delete();
    data_->Tablebingren.Delete();
    ASSERT_TRUE(data_->Tablebingren.IsEmpty());
    grid_->SetSelectedIndex(kXm);
    Type("z");
    EXPECT_EQ(State(), TDataSetState::dsInsert);
    EXPECT_EQ(EditorText(), "z");
    Key(Qt::Key_Return);
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "z");
}

TEST_F(GridEditor, ARuleAssigningTheEditedFieldReloadsTheEditor) {
    grid_->SetSelectedIndex(kXm);
    Key(Qt::Key_Return);
    data_->Tablebingren.Edit();
    data_->TablebingrenXm->SetAsString("rule");
    EXPECT_EQ(EditorText(), "rule");
    EXPECT_THAT(messages_, IsEmpty());
}
