// Sizes from the fonts' metrics, column defaults, and how many records the grid keeps at hand.
#include <QFontMetrics>
#include <QTest>

#include "grid_fixture.h"
#include "views/grid_cell_editor.h"

namespace {

int TextHeight(const QFont& font) {
    return QFontMetrics(font).size(0, "Wg").height();
}
int Zero(const QFont& font) {
    return QFontMetrics(font).horizontalAdvance('0');
}
int Caption(const QFont& font, const QString& text) {
    return QFontMetrics(font).horizontalAdvance(text);
}

}  // namespace

class GridLayout : public GridFixture {};

TEST_F(GridLayout, DefaultColumnWidthsComeFromTheFontsMetrics) {
    ShowPatientGrid();
    grid_->Columns().Add()->SetFieldName("Nosuch");
    const QFont font = grid_->Font();
    const QFont title = grid_->TitleFont();
    EXPECT_EQ(grid_->Columns()[kXm]->Width(),
              std::max(8 * Zero(font) + 4, Caption(title, "姓名") + 4));
    EXPECT_EQ(grid_->Columns()[kId]->Width(),
              std::max(10 * Zero(font) + 4, Caption(title, "病历号") + 4));
    EXPECT_EQ(grid_->Columns()[kFzyysj]->Width(),
              std::max(10 * Zero(font) + 4, Caption(title, "复诊预约时间") + 4));
    EXPECT_EQ(grid_->Columns()[5]->Width(), 64);
    EXPECT_EQ(grid_->Columns()[5]->Title().Caption(), "Nosuch");
    EXPECT_EQ(grid_->Columns()[kNl]->Alignment(), TAlignment::taRightJustify);
    EXPECT_EQ(grid_->Columns()[kXm]->Alignment(), TAlignment::taLeftJustify);
}

TEST_F(GridLayout, AssignedPropertiesKeepTheirValues) {
    ShowPatientGrid();
    TColumn& name = *grid_->Columns()[kXm];
    name.SetWidth(120);
    name.Title().SetCaption("Name");
    QFont big = grid_->Font();
    big.setPointSize(big.pointSize() + 6);
    grid_->SetFont(big);
    EXPECT_EQ(name.Width(), 120);
    EXPECT_EQ(name.Title().Caption(), "Name");
    EXPECT_EQ(name.Font(), big);
    EXPECT_EQ(grid_->Columns()[kNl]->Width(),
              std::max(10 * Zero(big) + 4, Caption(grid_->TitleFont(), "年龄") + 4));
}

TEST_F(GridLayout, RowHeightsFollowTheGridFontAndTheLargestTitleFont) {
    ShowPatientGrid();
    const QFont font = grid_->Font();
    EXPECT_EQ(grid_->RowHeight(), TextHeight(font) + 3 + 1);
    EXPECT_EQ(grid_->TitleRowHeight(), TextHeight(grid_->TitleFont()) + 4);
    QFont large = font;
    large.setPointSize(font.pointSize() * 2);
    grid_->Columns()[kNl]->Title().SetFont(large);
    grid_->Columns()[kXm]->SetFont(large);
    EXPECT_EQ(grid_->TitleRowHeight(), TextHeight(large) + 4);
    EXPECT_EQ(grid_->RowHeight(), TextHeight(font) + 4);
    // A new grid font lays the rows out again; the titles keep theirs.
    grid_->SetFont(large);
    EXPECT_EQ(grid_->RowHeight(), TextHeight(large) + 4);
    EXPECT_EQ(grid_->Columns()[kXb]->Title().Font(), grid_->TitleFont());
    EXPECT_NE(grid_->TitleFont(), large);
}

TEST_F(GridLayout, TheRecordSetKeepsAsManyRecordsAsTheGridShowsRows) {
    AddPatients(30);
    ShowPatientGrid();
    const int rows = (grid_->viewport()->height() - grid_->TitleRowHeight()) / grid_->RowHeight();
    EXPECT_EQ(grid_->VisibleRowCount(), rows);
    EXPECT_EQ(data_->Tablebingren.BufferCount(), rows);
    grid_->resize(grid_->width(), grid_->height() / 2);
    EXPECT_LT(grid_->VisibleRowCount(), rows);
    EXPECT_EQ(data_->Tablebingren.BufferCount(), grid_->VisibleRowCount());
}

TEST_F(GridLayout, TheEditorTakesTheColumnFontAndLiesOverTheCell) {
    AddPatients(1);
    ShowPatientGrid();
    QFont large = grid_->Font();
    large.setPointSize(large.pointSize() + 4);
    grid_->Columns()[kXm]->SetFont(large);
    grid_->SetSelectedIndex(kXm);
    Key(Qt::Key_Return);
    EXPECT_EQ(Editor()->font(), large);
    EXPECT_EQ(Editor()->geometry(), grid_->CellRect(kXm, 0));
}

TEST_F(GridLayout, AnEmptyRecordSetShowsOneEmptyRow) {
    ShowPatientGrid();
    EXPECT_TRUE(data_->Tablebingren.IsEmpty());
    Click(kXm, 0);
    EXPECT_EQ(grid_->SelectedIndex(), kXm);
    Click(kXm, 1);
    EXPECT_EQ(grid_->SelectedIndex(), kXm);
    EXPECT_EQ(State(), TDataSetState::dsBrowse);
}
