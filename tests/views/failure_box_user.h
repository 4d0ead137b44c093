// The user at the program's failure boxes, for tests: while it lives, failures are shown in the
// program's own message box, and every box that the program waits in is looked at and closed
// with OK. A box that is not on the screen is closed too, so that a test fails instead of waiting.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <vector>

// What the user saw of a box while the program waited in it.
struct TSeenBox {
    QString caption;
    QString text;
    bool shown = false;       // visible, active, and the modal window that input goes to
    bool takesInput = false;  // no pop-up open and nothing grabbing the mouse or the keyboard
    const QWidget* owner = nullptr;
    int width = 0;
};

class FailureBoxUser : public QObject {
  public:
    FailureBoxUser();
    const std::vector<TSeenBox>& Seen() const { return seen_; }

  private:
    void Look();
    void See(QMessageBox& box);

    QTimer watch_;
    QPointer<QMessageBox> seeing_;
    std::vector<TSeenBox> seen_;
};
