// The input-method settings of a grid and its columns, as the focus and the current column move.
#include "grid_fixture.h"
#include "recording_input_methods.h"
#include "views/grid/grid_cell_editor.h"

using ::testing::ElementsAre;

class GridIme : public GridFixture {
  protected:
    void SetUp() override {
        GridFixture::SetUp();
        AddPatients(1);
        ShowPatientGrid();
        grid_->setObjectName("grid");
        grid_->Columns()[kXm]->SetImeMode(TImeMode::imClose);
        grid_->Columns()[kXb]->SetImeMode(TImeMode::imChinese);
        ime_.Take();
    }
    RecordingInputMethods ime_;
};

TEST_F(GridIme, EnteringAColumnAppliesItsModeAtOnce) {
    // Without a name of its own the column has the default keyboard layout.
    Key(Qt::Key_Tab);
    EXPECT_THAT(ime_.Take(), ElementsAre("ActivateDefaultLayout", "Enable grid", "Close grid"));
    Key(Qt::Key_Tab);
    EXPECT_THAT(ime_.Take(), ElementsAre("ActivateDefaultLayout", "Enable grid",
                                         "SetConversionMode grid native fullShape"));
    // A column with neither mode leaves the input method open or closed as it was.
    Key(Qt::Key_Tab);
    EXPECT_THAT(ime_.Take(), ElementsAre("ActivateDefaultLayout"));
}

TEST_F(GridIme, TheGridsOwnSettingsAreTheColumnsDefaultsAndApplyOnFocus) {
    grid_->SetImeMode(TImeMode::imClose);
    EXPECT_EQ(grid_->Columns()[kNl]->ImeMode(), TImeMode::imClose);
    EXPECT_EQ(grid_->Columns()[kXb]->ImeMode(), TImeMode::imChinese);
    other_->setFocus();
    ime_.Take();
    grid_->setFocus();
    EXPECT_THAT(ime_.Take(), ElementsAre("Enable grid", "Close grid"));
}
