// TDBGrid: presses, releases, double-clicks, title tracking and the wheel.
#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <utility>

#include "views/grid/db_grid.h"
#include "views/grid/grid_cell_editor.h"

namespace {

// One notch of an ordinary mouse wheel.
constexpr int kWheelNotch = 120;

}  // namespace

// A press first brings the focus into the grid; if the control that has it keeps it, the press
// does nothing more. Qt moves the focus for a press from the window system before delivering it;
// asking again after a refusal would only make the control refuse, and report it, once more, or,
// while the failure box leaves the window inactive, make this grid the focus it gets back.
bool TDBGrid::TakeFocusForPress(const QMouseEvent& event) {
    if (!event.spontaneous() && !HasFocusWithin()) setFocus(Qt::MouseFocusReason);
    return HasFocusWithin();
}

void TDBGrid::mousePressEvent(QMouseEvent* event) {
    clickPending_ = false;
    if (!TakeFocusForPress(*event)) return;
    const Qt::MouseButton button = event->button();
    if (button == Qt::LeftButton) {
        lastLeftPress_ = event->timestamp();
        leftPressSeen_ = true;
    }
    const QPoint point = event->position().toPoint();
    const THit hit = HitTest(point);
    if (hit.area == TGridArea::gaTitle || hit.area == TGridArea::gaCorner) {
        PressTitle(point, hit, button);
    } else if (hit.area == TGridArea::gaCell || hit.area == TGridArea::gaIndicator) {
        PressDataRow(hit, button);
    }
    // Only a press that went through may end in a click.
    clickPending_ = button == Qt::LeftButton;
}

// The second press of a double-click raises OnDblClick and nothing else. Its release still
// clicks, unless the handler opened a window that took the focus (and so the mouse) away.
void TDBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return mousePressEvent(event);
    clickPending_ = false;
    leftPressSeen_ = false;
    if (!TakeFocusForPress(*event)) return;
    const int losses = focusLosses_;
    RaiseDblClick();
    clickPending_ = focusLosses_ == losses;
}

void TDBGrid::RaiseDblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TDBGrid::PressTitle(QPoint point, const THit& hit, Qt::MouseButton button) {
    WritePendingText();
    if (button != Qt::LeftButton) return;
    const int boundary = BoundaryAt(point);
    if (boundary >= 0) {
        track_ = {TTitleTrack::TKind::tkResize, boundary, point.x(), point.x(), false};
    } else if (hit.area == TGridArea::gaTitle && Option(TDBGridOption::dgColumnResize)) {
        track_ = {TTitleTrack::TKind::tkMove, hit.column, point.x(), point.x(), false};
    }
}

void TDBGrid::PressDataRow(const THit& hit, Qt::MouseButton button) {
    if (!DataSetActive()) return;
    const bool onCell = hit.area == TGridArea::gaCell;
    const bool wasCurrentCell = onCell && hit.row == CurrentRow() && hit.column == selected_;
    WritePendingText();
    HideEditor();
    if (hit.row != CurrentRow()) DataSet()->MoveBy(hit.row - CurrentRow());
    if (onCell) ChangeColumn(hit.column);
    if (button == Qt::LeftButton && wasCurrentCell) ShowEditor(true);
}

void TDBGrid::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (track_.kind == TTitleTrack::TKind::tkNone) {
        if (BoundaryAt(point) >= 0) {
            viewport()->setCursor(Qt::SplitHCursor);
        } else {
            viewport()->unsetCursor();
        }
        return;
    }
    track_.x = point.x();
    if (std::abs(track_.x - track_.pressX) >= QApplication::startDragDistance())
        track_.dragged = true;
    viewport()->update();
}

void TDBGrid::mouseReleaseEvent(QMouseEvent* event) {
    const TTitleTrack track = std::exchange(track_, TTitleTrack{});
    const bool click = std::exchange(clickPending_, false);
    if (event->button() != Qt::LeftButton) return;
    const QPoint point = event->position().toPoint();
    if (track.kind == TTitleTrack::TKind::tkResize) {
        const int width = columns_[track.column]->Width() + point.x() - track.pressX;
        if (track.dragged && width > 1) columns_[track.column]->SetWidth(width);
        viewport()->update();
        return;
    }
    if (track.kind == TTitleTrack::TKind::tkMove && track.dragged) {
        const int target = ColumnAt(point.x());
        if (target >= 0) columns_.Move(track.column, target);
        viewport()->update();
        return;
    }
    if (click) ReleaseClick(point);
}

void TDBGrid::ReleaseClick(QPoint point) {
    const THit hit = HitTest(point);
    if (hit.area == TGridArea::gaTitle) {
        if (OnTitleClick) OnTitleClick(columns_[hit.column]);
        return;
    }
    if (hit.area != TGridArea::gaCell) return;
    if (editor_->isVisible() && editor_->geometry().contains(point)) return;
    if (OnCellClick) OnCellClick(SelectedColumn());
}

// One record per notch of the wheel; finer wheels add up to notches.
void TDBGrid::wheelEvent(QWheelEvent* event) {
    if (!DataSetActive()) return;
    wheelRemainder_ += event->angleDelta().y();
    const int notches = wheelRemainder_ / kWheelNotch;
    wheelRemainder_ %= kWheelNotch;
    if (notches != 0) DataSet()->MoveBy(-notches);
}
