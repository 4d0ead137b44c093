// TDBGrid: row heights, column positions, hit testing and the scroll bars.
#include <QResizeEvent>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "views/grid/db_grid.h"
#include "views/grid/grid_cell_editor.h"
#include "views/grid/text_metrics.h"

namespace {

constexpr int kIndicatorWidth = 11;
// Room above and below the text of a data row, and of the title row.
constexpr int kRowRoom = 3;
constexpr int kTitleRoom = 4;
// How near a column boundary in the title row a press starts resizing.
constexpr int kResizeZone = 3;
// The vertical scroll bar places the current record between the first (top) and the last
// (bottom) by the record set's key estimate, so that it never needs to count records; only the
// first and the last record stand at the ends.
constexpr int kScrollTop = 0;
constexpr int kScrollBottom = 1000;
constexpr int kScrollPage = 50;

}  // namespace

// ---- Sizes ----

int TDBGrid::LineWidth(TDBGridOption lines) const {
    return Option(lines) ? 1 : 0;
}

int TDBGrid::RowHeight() const {
    if (paintSizes_) return paintSizes_->rowHeight;
    return TextHeight(font()) + kRowRoom + LineWidth(TDBGridOption::dgRowLines);
}

int TDBGrid::TitleRowHeight() const {
    if (paintSizes_) return paintSizes_->titleRowHeight;
    if (!Option(TDBGridOption::dgTitles)) return 0;
    int text = columns_.Count() == 0 ? TextHeight(titleFont_) : 0;
    for (int i = 0; i < columns_.Count(); ++i) {
        text = std::max(text, TextHeight(columns_[i]->Title().Font()));
    }
    return text + kTitleRoom;
}

int TDBGrid::IndicatorPitch() const {
    if (!Option(TDBGridOption::dgIndicator)) return 0;
    return kIndicatorWidth + LineWidth(TDBGridOption::dgColLines);
}

std::vector<int> TDBGrid::VisibleColumns() const {
    std::vector<int> visible;
    for (int i = 0; i < columns_.Count(); ++i) {
        if (columns_[i]->Visible()) visible.push_back(i);
    }
    return visible;
}

// ---- Positions ----

// The left edge of a column's cells; -1 when the column is hidden or scrolled out at the left.
int TDBGrid::ColumnLeft(int columnIndex) const {
    if (const TPaintSizes* sizes = PaintSizesFor(columnIndex)) return sizes->left[columnIndex];
    const std::vector<int> visible = VisibleColumns();
    int x = IndicatorPitch();
    for (std::size_t i = static_cast<std::size_t>(leftShown_); i < visible.size(); ++i) {
        if (visible[i] == columnIndex) return x;
        x += columns_[visible[i]]->Width() + LineWidth(TDBGridOption::dgColLines);
    }
    return -1;
}

// The shown column whose cells or right line lie at x; -1 when none.
int TDBGrid::ColumnAt(int x) const {
    for (int index : VisibleColumns()) {
        const int left = ColumnLeft(index);
        if (left < 0) continue;
        const int right = left + columns_[index]->Width() + LineWidth(TDBGridOption::dgColLines);
        if (x >= left && x < right) return index;
    }
    return -1;
}

QRect TDBGrid::CellRect(int columnIndex, int row) const {
    const int left = columnIndex >= 0 ? ColumnLeft(columnIndex) : -1;
    if (left < 0) return {};
    const QRect rows = IndicatorRect(row);
    const TPaintSizes* sizes = PaintSizesFor(columnIndex);
    const int width = sizes ? sizes->width[columnIndex] : columns_[columnIndex]->Width();
    return QRect(left, rows.top(), width, rows.height());
}

// The sizes measured for the paint under way, where they cover the column.
const TDBGrid::TPaintSizes* TDBGrid::PaintSizesFor(int columnIndex) const {
    if (!paintSizes_ || columnIndex < 0 ||
        columnIndex >= static_cast<int>(paintSizes_->left.size()))
        return nullptr;
    return &*paintSizes_;
}

TDBGrid::TPaintSizes TDBGrid::MeasureSizes() const {
    TPaintSizes sizes{RowHeight(), TitleRowHeight(), {}, {}};
    for (int i = 0; i < columns_.Count(); ++i) {
        sizes.left.push_back(ColumnLeft(i));
        sizes.width.push_back(columns_[i]->Width());
    }
    return sizes;
}

QRect TDBGrid::IndicatorRect(int row) const {
    const int line = LineWidth(TDBGridOption::dgRowLines);
    if (row < 0) return QRect(0, 0, kIndicatorWidth, TitleRowHeight() - line);
    return QRect(0, TitleRowHeight() + row * RowHeight(), kIndicatorWidth, RowHeight() - line);
}

// Rows painted: the records at hand, or one empty row for an empty or closed record set.
int TDBGrid::RowsShown() const {
    if (!DataSetActive()) return 1;
    return std::clamp(DataSet()->BufferCount(), 1, rowCount_);
}

int TDBGrid::CurrentRow() const {
    return DataSetActive() && !DataSet()->IsEmpty() ? DataSet()->ActiveRecord() : 0;
}

TDBGrid::THit TDBGrid::HitTest(QPoint point) const {
    THit hit;
    hit.column = ColumnAt(point.x());
    const bool indicator = point.x() < IndicatorPitch();
    if (point.y() < TitleRowHeight()) {
        hit.area = hit.column >= 0 ? TGridArea::gaTitle
                   : indicator     ? TGridArea::gaCorner
                                   : TGridArea::gaNone;
        return hit;
    }
    hit.row = (point.y() - TitleRowHeight()) / RowHeight();
    if (hit.row >= RowsShown()) {
        hit.area = TGridArea::gaBelow;
    } else {
        hit.area = hit.column >= 0 ? TGridArea::gaCell
                   : indicator     ? TGridArea::gaIndicator
                                   : TGridArea::gaNone;
    }
    return hit;
}

// The column whose right boundary in the title row lies near the point; -1 when none.
int TDBGrid::BoundaryAt(QPoint point) const {
    if (!Option(TDBGridOption::dgColumnResize) || point.y() >= TitleRowHeight()) return -1;
    for (int index : VisibleColumns()) {
        const int left = ColumnLeft(index);
        if (left >= 0 && std::abs(point.x() - (left + columns_[index]->Width())) <= kResizeZone) {
            return index;
        }
    }
    return -1;
}

// ---- Laying out ----

void TDBGrid::LayoutChanged() {
    ValidateSelected();
    UpdateRowCount();
    UpdateScrollBars();
    if (editorMode_) {
        ConfigureEditor();
        PlaceEditor();
    }
    viewport()->update();
}

void TDBGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateRowCount();
    UpdateScrollBars();
    PlaceEditor();
}

void TDBGrid::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) LayoutChanged();
}

// The record set keeps as many records at hand as the grid shows rows.
void TDBGrid::UpdateRowCount() {
    const int rows = std::max(1, (viewport()->height() - TitleRowHeight()) / RowHeight());
    if (rows == rowCount_) return;
    rowCount_ = rows;
    if (TDataSet* dataSet = DataSet()) dataSet->UpdateBufferCount();
}

void TDBGrid::UpdateScrollBars() {
    verticalScrollBar()->setRange(kScrollTop, kScrollBottom);
    verticalScrollBar()->setPageStep(kScrollPage);
    verticalScrollBar()->setEnabled(DataSetActive());
    UpdateVerticalPosition();
    // Horizontally the grid scrolls by whole columns, as far as the last one fits.
    const std::vector<int> visible = VisibleColumns();
    const int room = viewport()->width() - IndicatorPitch();
    int lastLeft = static_cast<int>(visible.size());
    for (int width = 0; lastLeft > 0; --lastLeft) {
        width += columns_[visible[static_cast<std::size_t>(lastLeft - 1)]]->Width() +
                 LineWidth(TDBGridOption::dgColLines);
        if (width > room) break;
    }
    lastLeft = std::min(lastLeft, std::max(0, static_cast<int>(visible.size()) - 1));
    horizontalScrollBar()->setRange(0, lastLeft);
    horizontalScrollBar()->setPageStep(1);
    leftShown_ = std::min(leftShown_, lastLeft);
    horizontalScrollBar()->setValue(leftShown_);
}

// While the thumb is dragged it stays under the pointer.
void TDBGrid::UpdateVerticalPosition() {
    if (verticalScrollBar()->isSliderDown()) return;
    verticalScrollBar()->setValue(VerticalPosition());
}

int TDBGrid::VerticalPosition() const {
    if (!DataSetActive() || DataSet()->Bof()) return kScrollTop;
    if (DataSet()->Eof()) return kScrollBottom;
    const std::optional<double> at = DataSet()->KeyFraction();
    if (!at) return (kScrollTop + kScrollBottom) / 2;
    return std::clamp(static_cast<int>(std::lround(*at * kScrollBottom)), kScrollTop + 1,
                      kScrollBottom - 1);
}

void TDBGrid::MakeSelectedVisible() {
    const std::vector<int> visible = VisibleColumns();
    const auto found = std::find(visible.begin(), visible.end(), selected_);
    if (found == visible.end()) return;
    const int position = static_cast<int>(found - visible.begin());
    int shown = std::min(leftShown_, position);
    auto rightEdge = [&] {
        int x = IndicatorPitch();
        for (int i = shown; i <= position; ++i) {
            x += columns_[visible[static_cast<std::size_t>(i)]]->Width() +
                 LineWidth(TDBGridOption::dgColLines);
        }
        return x;
    };
    while (shown < position && rightEdge() > viewport()->width()) ++shown;
    horizontalScrollBar()->setValue(shown);
    HorizontalScrolled(shown);
}

void TDBGrid::HorizontalScrolled(int value) {
    leftShown_ = value;
    PlaceEditor();
    viewport()->update();
}

// Moves run after the scroll bar has finished its own event, so that a failing move is reported
// like any other. A dragged thumb moves the record set as it goes; when it is let go, the bar
// shows where the record set came to stand.
void TDBGrid::ConnectScrollBars() {
    QScrollBar* vertical = verticalScrollBar();
    connect(
        vertical, &QAbstractSlider::actionTriggered, this,
        [this](int action) { ScrollAction(action); }, Qt::QueuedConnection);
    connect(
        vertical, &QAbstractSlider::sliderReleased, this, [this] { UpdateVerticalPosition(); },
        Qt::QueuedConnection);
    connect(horizontalScrollBar(), &QAbstractSlider::valueChanged, this,
            [this](int value) { HorizontalScrolled(value); });
}

// A drag reads the thumb's latest position when it runs, so the record set never lags behind
// the pointer.
void TDBGrid::MoveToThumb(int position) {
    TDataSet& dataSet = *DataSet();
    if (position <= kScrollTop) return dataSet.First();
    if (position >= kScrollBottom) return dataSet.Last();
    dataSet.MoveToKeyFraction(static_cast<double>(position) / kScrollBottom);
}

// A click on the vertical scroll bar moves the record set; the bar then shows where it stands.
void TDBGrid::ScrollAction(int action) {
    if (!DataSetActive()) return;
    TDataSet& dataSet = *DataSet();
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            dataSet.Next();
            break;
        case QAbstractSlider::SliderSingleStepSub:
            dataSet.Prior();
            break;
        case QAbstractSlider::SliderPageStepAdd:
            dataSet.MoveBy(rowCount_);
            break;
        case QAbstractSlider::SliderPageStepSub:
            dataSet.MoveBy(-rowCount_);
            break;
        case QAbstractSlider::SliderToMinimum:
            dataSet.First();
            break;
        case QAbstractSlider::SliderToMaximum:
            dataSet.Last();
            break;
        case QAbstractSlider::SliderMove:
            MoveToThumb(verticalScrollBar()->sliderPosition());
            break;
        default:
            break;
    }
    UpdateVerticalPosition();
}
