#include "failure_box_user.h"

#include <QApplication>
#include <QTest>

#include "views/failure_reporting.h"

// The watch runs whenever an event loop does, the box's own among them.
FailureBoxUser::FailureBoxUser() {
    TApplication::SetMessageBox(nullptr);
    connect(&watch_, &QTimer::timeout, this, [this] { Look(); });
    watch_.start(0);
}

void FailureBoxUser::Look() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(window);
        if (box && box != seeing_) See(*box);
    }
}

// The window system activates a window in its own time; a box that is not on the screen never.
void FailureBoxUser::See(QMessageBox& box) {
    seeing_ = &box;
    const bool active = box.isVisible() && QTest::qWaitForWindowActive(&box) &&
                        QApplication::activeModalWidget() == &box;
    const bool free = !QApplication::activePopupWidget() && !QWidget::mouseGrabber() &&
                      !QWidget::keyboardGrabber();
    seen_.push_back({box.windowTitle(), box.text(), active, free, box.parentWidget(), box.width()});
    box.done(QMessageBox::Ok);
}
