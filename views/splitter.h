// A splitter bar in a stack of controls: dragging it with the left button moves the bottom edge
// of the control directly above it. While it is dragged a dotted line shows the new edge; on
// release the control takes the new height. The height stays between MinSize and the most that
// still leaves MinSize for the control that fills the rest of the window, so a drag never makes
// the window grow; a drag that would leave the control MinSize or less collapses it to nothing,
// and the bar can pull it open again.
#pragma once

#include <QFrame>
#include <QPointer>
#include <memory>

class TSplitter : public QFrame {
  public:
    // `above` is resized; `filler` takes whatever height the stack leaves, and may shrink to
    // MinSize.
    TSplitter(QWidget* above, QWidget* filler, QWidget* parent = nullptr);

    int MinSize() const { return minSize_; }
    // The height `above` takes for a drag to `proposed` pixels.
    int ClampedHeight(int proposed) const;
    // The dotted line that shows the new edge while a drag is under way; nullptr otherwise.
    QWidget* DragLine() const { return line_.get(); }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    int ProposedHeight(const QPoint& globalPos) const;
    void SettleLayout();
    void EndDrag();

    QPointer<QWidget> above_;
    QPointer<QWidget> filler_;
    int minSize_ = 30;
    int pressY_ = 0;
    int startHeight_ = 0;
    std::unique_ptr<QWidget> line_;
};
