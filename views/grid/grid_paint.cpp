// TDBGrid: painting the title row, the indicator column and the cells.
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QScopeGuard>

#include "views/grid/db_grid.h"
#include "views/grid/grid_cell_editor.h"

namespace {

// Space between a cell's edges and its text.
constexpr int kTextMargin = 2;
// The indicator marks are 6 × 11 pixels.
constexpr int kMarkWidth = 6;
constexpr int kMarkHeight = 11;

// Field reads go to one buffered row while it lives.
class TDisplayRecord {
  public:
    TDisplayRecord(TDataSet& dataSet, int row)
        : dataSet_(dataSet), previous_(dataSet.SetDisplayRecord(row)) {}
    ~TDisplayRecord() { dataSet_.SetDisplayRecord(previous_); }
    TDisplayRecord(const TDisplayRecord&) = delete;
    TDisplayRecord& operator=(const TDisplayRecord&) = delete;

  private:
    TDataSet& dataSet_;
    int previous_;
};

// How a text fits the room of a cell: whole; narrowed by up to a tenth where it is only a little
// too wide (a ten-character date at 13 pixels in a 64-pixel column), since a cut digit would
// change what is read; else cut with an ellipsis, which shows that more follows.
struct TFittedText {
    QString text;
    qreal width;  // as drawn, after the scale
    qreal scale = 1;
};
constexpr qreal kNarrowest = 0.9;

TFittedText Fit(const QString& text, const QFontMetricsF& metrics, qreal room) {
    const qreal natural = metrics.horizontalAdvance(text);
    if (natural <= room) return {text, natural};
    if (natural * kNarrowest <= room) return {text, room, room / natural};
    const QString cut = metrics.elidedText(text, Qt::ElideRight, room);
    return {cut, metrics.horizontalAdvance(cut)};
}

qreal TextRoom(const QRect& cell) {
    return cell.width() - 2 * kTextMargin;
}

// The text stands on the baseline of the font's own face: Chinese characters drawn from a
// fallback face with a taller ascent would otherwise push the line below the row.
void DrawText(QPainter& painter, const QRect& cell, const QFont& font, TAlignment alignment,
              const QString& text) {
    const QFontMetricsF metrics(font);
    const TFittedText fitted = Fit(text, metrics, TextRoom(cell));
    const qreal width = fitted.width;
    const qreal left = cell.left() + kTextMargin;
    qreal x = left;
    if (alignment == TAlignment::taRightJustify) x = left + TextRoom(cell) - width;
    if (alignment == TAlignment::taCenter) x = left + (TextRoom(cell) - width) / 2;
    painter.save();
    painter.setClipRect(cell);
    painter.setFont(font);
    painter.translate(x, cell.top() + kTextMargin + metrics.ascent());
    painter.scale(fitted.scale, 1);
    painter.drawText(QPointF(0, 0), fitted.text);
    painter.restore();
}

// A triangle pointing right: browsing.
void DrawArrow(QPainter& painter, const QRect& mark) {
    QPainterPath arrow;
    arrow.moveTo(mark.left(), mark.top() + 2);
    arrow.lineTo(mark.left() + 4, mark.center().y() + 0.5);
    arrow.lineTo(mark.left(), mark.bottom() - 1);
    arrow.closeSubpath();
    painter.fillPath(arrow, painter.pen().color());
}

// An I-beam: editing.
void DrawIBeam(QPainter& painter, const QRect& mark) {
    const int x = mark.left() + 2;
    painter.drawLine(x, mark.top() + 1, x, mark.bottom() - 1);
    painter.drawLine(mark.left(), mark.top(), mark.left() + 1, mark.top());
    painter.drawLine(x + 1, mark.top(), x + 2, mark.top());
    painter.drawLine(mark.left(), mark.bottom(), mark.left() + 1, mark.bottom());
    painter.drawLine(x + 1, mark.bottom(), x + 2, mark.bottom());
}

// An asterisk: inserting.
void DrawAsterisk(QPainter& painter, const QRect& mark) {
    const QPoint centre(mark.left() + 2, mark.center().y());
    painter.drawLine(centre.x(), centre.y() - 3, centre.x(), centre.y() + 3);
    painter.drawLine(centre.x() - 2, centre.y() - 2, centre.x() + 2, centre.y() + 2);
    painter.drawLine(centre.x() - 2, centre.y() + 2, centre.x() + 2, centre.y() - 2);
}

}  // namespace

void TDBGrid::paintEvent(QPaintEvent*) {
    paintSizes_ = MeasureSizes();
    const auto measureAgain = qScopeGuard([this] { paintSizes_.reset(); });
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().color(QPalette::Base));
    PaintTitleRow(painter);
    PaintDataRows(painter);
    PaintLines(painter);
    PaintTrackLine(painter);
}

void TDBGrid::PaintTitleRow(QPainter& painter) const {
    if (!Option(TDBGridOption::dgTitles)) return;
    const QColor face = palette().color(QPalette::Button);
    painter.setPen(palette().color(QPalette::ButtonText));
    if (Option(TDBGridOption::dgIndicator)) painter.fillRect(IndicatorRect(-1), face);
    for (int index : VisibleColumns()) {
        const QRect cell = CellRect(index, -1);
        if (cell.isNull()) continue;
        painter.fillRect(cell, face);
        const TColumnTitle& title = columns_[index]->Title();
        DrawText(painter, cell, title.Font(), title.Alignment(), title.Caption());
    }
}

void TDBGrid::PaintDataRows(QPainter& painter) const {
    for (int row = 0; row < RowsShown(); ++row) {
        if (Option(TDBGridOption::dgIndicator)) PaintIndicator(painter, row);
        for (int index : VisibleColumns()) PaintCell(painter, index, row);
    }
}

void TDBGrid::PaintCell(QPainter& painter, int columnIndex, int row) const {
    const QRect cell = CellRect(columnIndex, row);
    if (cell.isNull()) return;
    const bool showSelection = HasFocusWithin() || Option(TDBGridOption::dgAlwaysShowSelection);
    const bool current =
        row == CurrentRow() && (columnIndex == selected_ || Option(TDBGridOption::dgRowSelect));
    const bool highlighted = showSelection && current && DataSetActive();
    painter.fillRect(cell, palette().color(highlighted ? QPalette::Highlight : QPalette::Base));
    const TColumn& column = *columns_[columnIndex];
    painter.setPen(palette().color(highlighted ? QPalette::HighlightedText : QPalette::Text));
    DrawText(painter, cell, column.Font(), column.Alignment(), FieldText(columnIndex, row));
}

QString TDBGrid::FieldText(int columnIndex, int row) const {
    const TField* field = columns_[columnIndex]->Field();
    if (!field || !DataSetActive() || DataSet()->IsEmpty()) return {};
    TDisplayRecord display(*DataSet(), row);
    return QString::fromStdString(field->AsString());
}

QString TDBGrid::CellText(int columnIndex, int row) const {
    const QRect cell = CellRect(columnIndex, row);
    const QFontMetricsF metrics(columns_[columnIndex]->Font());
    return Fit(FieldText(columnIndex, row), metrics, TextRoom(cell)).text;
}

void TDBGrid::PaintIndicator(QPainter& painter, int row) const {
    const QRect cell = IndicatorRect(row);
    painter.fillRect(cell, palette().color(QPalette::Button));
    const TIndicatorMark shown = IndicatorMark(row);
    if (shown == TIndicatorMark::None) return;
    const QRect mark(cell.left() + (cell.width() - kMarkWidth) / 2,
                     cell.top() + (cell.height() - kMarkHeight) / 2, kMarkWidth, kMarkHeight);
    painter.save();
    painter.setPen(palette().color(QPalette::ButtonText));
    switch (shown) {
        case TIndicatorMark::IBeam:
            DrawIBeam(painter, mark);
            break;
        case TIndicatorMark::Asterisk:
            DrawAsterisk(painter, mark);
            break;
        default:
            DrawArrow(painter, mark);
            break;
    }
    painter.restore();
}

TIndicatorMark TDBGrid::IndicatorMark(int row) const {
    if (!DataSetActive() || DataSet()->IsEmpty() || row != CurrentRow())
        return TIndicatorMark::None;
    switch (DataSet()->State()) {
        case TDataSetState::dsEdit:
            return TIndicatorMark::IBeam;
        case TDataSetState::dsInsert:
            return TIndicatorMark::Asterisk;
        default:
            return TIndicatorMark::Arrow;
    }
}

void TDBGrid::PaintLines(QPainter& painter) const {
    painter.setPen(palette().color(QPalette::Mid));
    const int bottom = TitleRowHeight() + RowsShown() * RowHeight() - 1;
    int right = IndicatorPitch() - 1;
    for (int index : VisibleColumns()) {
        const QRect cell = CellRect(index, -1);
        if (!cell.isNull()) right = cell.right() + 1;
    }
    if (Option(TDBGridOption::dgColLines)) {
        if (Option(TDBGridOption::dgIndicator))
            painter.drawLine(IndicatorPitch() - 1, 0, IndicatorPitch() - 1, bottom);
        for (int index : VisibleColumns()) {
            const QRect cell = CellRect(index, -1);
            if (!cell.isNull()) painter.drawLine(cell.right() + 1, 0, cell.right() + 1, bottom);
        }
    }
    if (!Option(TDBGridOption::dgRowLines)) return;
    for (int row = -1; row < RowsShown(); ++row) {
        const int y = IndicatorRect(row).bottom() + 1;
        painter.drawLine(0, y, right, y);
    }
}

// Where a resized column's boundary or a dragged title would go.
void TDBGrid::PaintTrackLine(QPainter& painter) const {
    if (track_.kind == TTitleTrack::TKind::tkNone || !track_.dragged) return;
    painter.setPen(QPen(palette().color(QPalette::Text), 2));
    int x = track_.x;
    if (track_.kind == TTitleTrack::TKind::tkMove) {
        const int target = ColumnAt(track_.x);
        if (target < 0) return;
        x = ColumnLeft(target);
    }
    painter.drawLine(x, 0, x, viewport()->height());
}
