#include "views/splitter.h"

#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "views/failure_reporting.h"

namespace {

// The line across the window that shows where the edge will go: dark dots over what lies below.
class TDragLine : public QWidget {
  public:
    explicit TDragLine(QWidget* window) : QWidget(window) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QBrush(palette().color(QPalette::WindowText), Qt::Dense4Pattern));
    }
};

}  // namespace

TSplitter::TSplitter(QWidget* above, QWidget* filler, QWidget* parent)
    : QFrame(parent), above_(above), filler_(filler) {
    setFixedHeight(3);
    setCursor(Qt::SplitVCursor);
    setFocusPolicy(Qt::NoFocus);
    if (filler_) filler_->setMinimumHeight(minSize_);
}

// Never more than the filler can give up, so that the window keeps its height.
int TSplitter::ClampedHeight(int proposed) const {
    if (!above_) return 0;
    const int room = above_->height() + (filler_ ? filler_->height() - minSize_ : 0);
    const int height = std::min(proposed, room);
    return height <= minSize_ ? 0 : height;
}

int TSplitter::ProposedHeight(const QPoint& globalPos) const {
    return startHeight_ + globalPos.y() - pressY_;
}

// The heights of the last drag reach the stack only when its layout runs; a drag reads them.
void TSplitter::SettleLayout() {
    if (parentWidget() && parentWidget()->layout()) parentWidget()->layout()->activate();
}

void TSplitter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !above_) return;
    SettleLayout();
    pressY_ = event->globalPosition().toPoint().y();
    startHeight_ = above_->height();
    QWidget* window = this->window();
    line_ = std::make_unique<TDragLine>(window);
    line_->setGeometry(0, mapTo(window, QPoint(0, 0)).y(), window->width(), height());
    line_->raise();
    line_->show();
}

void TSplitter::mouseMoveEvent(QMouseEvent* event) {
    if (!line_) return;
    const int height = ClampedHeight(ProposedHeight(event->globalPosition().toPoint()));
    line_->move(0, mapTo(window(), QPoint(0, 0)).y() - startHeight_ + height);
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

void TSplitter::EndDrag() {
    line_.reset();
}
