// Sizes from the fonts' metrics, column defaults, and how many records the grid keeps at hand.
#include <QApplication>
#include <QFontMetrics>
#include <QScrollBar>
#include <QTest>

#include "grid_fixture.h"
#include "views/grid/grid_cell_editor.h"

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

TEST_F(GridLayout, TextALittleTooWideIsNarrowedAndTextMuchTooWideEndsInAnEllipsis) {
    AddPatients(1);
    data_->Tablebingren.Edit();
    data_->TablebingrenFzyysj->SetAsString("2026-12-19");
    data_->Tablebingren.Post();
    ShowPatientGrid();
    EXPECT_EQ(grid_->CellText(kFzyysj, 0), "2026-12-19");
    const qreal natural =
        QFontMetricsF(grid_->Columns()[kFzyysj]->Font()).horizontalAdvance("2026-12-19");
    grid_->Columns()[kFzyysj]->SetWidth(static_cast<int>(natural) + 4 - 3);
    EXPECT_EQ(grid_->CellText(kFzyysj, 0), "2026-12-19") << "three pixels short: narrowed";
    grid_->Columns()[kFzyysj]->SetWidth(40);
    const QString shown = grid_->CellText(kFzyysj, 0);
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(QString("2026-12-19").startsWith(shown.chopped(1))) << shown.toStdString();
    EXPECT_LE(QFontMetrics(grid_->Font()).horizontalAdvance(shown), 40 - 4);
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

// The thumb places the current record by its key, without a count; dragged, it moves the record
// set; the top is the first record and the bottom the last.
TEST_F(GridLayout, TheScrollBarsThumbIsDraggedThroughTheRecords) {
    AddPatients(100);
    ShowPatientGrid();
    QScrollBar* bar = grid_->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->minimum());
    const auto drag = [&](int value) {
        bar->setSliderDown(true);
        bar->setSliderPosition(value);  // as a drag does: the bar triggers a slider move
        QApplication::processEvents();
        bar->setSliderDown(false);
        QApplication::processEvents();
    };
    drag((bar->minimum() + bar->maximum()) / 2);
    EXPECT_EQ(CurrentId(), "50") << "halfway from Id 1 to Id 100";
    EXPECT_EQ(bar->value(), 495) << "where Id 50 stands";
    drag(bar->maximum());
    EXPECT_EQ(CurrentId(), "100");
    EXPECT_EQ(bar->value(), bar->maximum());
    Key(Qt::Key_Up);
    EXPECT_LT(bar->value(), bar->maximum()) << "only the last record stands at the bottom";
    EXPECT_GT(bar->value(), bar->maximum() * 9 / 10);
    drag(bar->minimum());
    EXPECT_EQ(CurrentId(), "1");
    EXPECT_EQ(bar->value(), bar->minimum());
    drag(bar->maximum() / 10);
    EXPECT_EQ(CurrentId(), "10");
}
