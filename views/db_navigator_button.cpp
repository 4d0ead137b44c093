#include "views/db_navigator_button.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

#include "views/db_navigator_glyphs.h"

const char* NavigateBtnName(TNavigateBtn button) {
    static constexpr const char* kNames[kNavigateBtnCount] = {
        "nbFirst",  "nbPrior", "nbNext", "nbLast",   "nbInsert",
        "nbDelete", "nbEdit",  "nbPost", "nbCancel", "nbRefresh"};
    return kNames[static_cast<int>(button)];
}

TNavButton::TNavButton(TNavigateBtn kind, QWidget* parent)
    : QWidget(parent), kind_(kind), glyphs_(NavigatorGlyphs(kind)) {
    setObjectName(NavigateBtnName(kind));
    setFocusPolicy(Qt::NoFocus);
    if (kind == TNavigateBtn::nbPrior || kind == TNavigateBtn::nbNext) {
        repeatTimer_ = new QTimer(this);
        connect(repeatTimer_, &QTimer::timeout, this, &TNavButton::Repeat);
    }
}

void TNavButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionButton face;
    face.initFrom(this);
    const bool down = pressed_ && over_;
    face.state |= down ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &face, &painter, this);
    const int look = isEnabled() ? 0 : kGlyphWidth;
    const QPoint at((width() - kGlyphWidth) / 2 + (down ? 1 : 0),
                    (height() - kGlyphHeight) / 2 + (down ? 1 : 0));
    painter.drawImage(at, glyphs_, QRect(look, 0, kGlyphWidth, kGlyphHeight));
}

void TNavButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    pressed_ = over_ = true;
    if (repeatTimer_) repeatTimer_->start(kFirstRepeatMs);
    update();
}

void TNavButton::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed_) return;
    const bool over = rect().contains(event->position().toPoint());
    if (over == over_) return;
    over_ = over;
    update();
}

void TNavButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) return;
    const bool click = rect().contains(event->position().toPoint());
    Abandon();
    // The click acts just after the release: a failure thrown through Qt's delivery of mouse
    // events would skip the cleanup of Qt's own copies of the event.
    if (click) QMetaObject::invokeMethod(this, &TNavButton::Act, Qt::QueuedConnection);
}

void TNavButton::changeEvent(QEvent* event) {
    // A button disabled while held (Next reaching the end) gets no release.
    if (event->type() == QEvent::EnabledChange && !isEnabled()) Abandon();
    QWidget::changeEvent(event);
}

void TNavButton::hideEvent(QHideEvent* event) {
    Abandon();
    QWidget::hideEvent(event);
}

void TNavButton::Repeat() {
    repeatTimer_->stop();
    if (over_) {
        // Until the action comes back the press counts as abandoned, so that a failure leaves
        // the button up with its timer stopped and the release after the message does nothing.
        pressed_ = false;
        Act();
        if (!isEnabled() || !isVisible()) return;  // abandoned by the action's outcome
        pressed_ = true;
    }
    repeatTimer_->start(kRepeatMs);
}

void TNavButton::Abandon() {
    if (repeatTimer_) repeatTimer_->stop();
    if (!pressed_) return;
    pressed_ = over_ = false;
    update();
}

void TNavButton::Act() {
    if (OnClick && isEnabled()) OnClick();
}
