#include "views/splitter.h"

#include <QMouseEvent>
#include <algorithm>

#include "views/failure_reporting.h"

TSplitter::TSplitter(QWidget* above, QWidget* filler, QWidget* parent)
    : QFrame(parent), above_(above), filler_(filler) {
    setFixedHeight(3);
    setCursor(Qt::SplitVCursor);
    setFocusPolicy(Qt::NoFocus);
}

int TSplitter::ClampedHeight(int proposed) const {
    if (!above_) return 0;
    const int room = above_->height() + (filler_ ? filler_->height() - minSize_ : 0);
    if (proposed <= minSize_) return 0;
    return std::clamp(proposed, minSize_, std::max(minSize_, room));
}

int TSplitter::ProposedHeight(const QPoint& globalPos) const {
    return startHeight_ + globalPos.y() - pressY_;
}

void TSplitter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !above_) return;
    pressY_ = event->globalPosition().toPoint().y();
    startHeight_ = above_->height();
    QWidget* window = this->window();
    line_ = std::make_unique<QRubberBand>(QRubberBand::Line, window);
    line_->setGeometry(0, mapTo(window, QPoint(0, 0)).y(), window->width(), 2);
    line_->show();
}

void TSplitter::mouseMoveEvent(QMouseEvent* event) {
    if (!line_) return;
    const int height = ClampedHeight(ProposedHeight(event->globalPosition().toPoint()));
    QWidget* window = this->window();
    const int edge = above_->mapTo(window, QPoint(0, 0)).y() + height;
    line_->setGeometry(0, edge, window->width(), 2);
}

void TSplitter::mouseReleaseEvent(QMouseEvent* event) {
    if (!line_ || event->button() != Qt::LeftButton) return;
    const int height = ClampedHeight(ProposedHeight(event->globalPosition().toPoint()));
    EndDrag();
    above_->setFixedHeight(height);
    above_->setVisible(height > 0);
}

// A failure elsewhere abandons the drag.
bool TSplitter::event(QEvent* event) {
    if (event->type() == kCancelModeEvent) EndDrag();
    return QFrame::event(event);
}

void TSplitter::EndDrag() { line_.reset(); }
