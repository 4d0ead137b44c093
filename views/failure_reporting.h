// How failures reach the user.
//
// Qt's event loop must not be unwound by an exception, so TApplication::notify runs every event
// under the application failure handler: it abandons any mouse capture, stays silent for EAbort,
// and otherwise shows the failure's message in a box captioned with the application title; the
// program then goes on with the next event. A failure before the event loop runs goes to the
// start-up failure handler instead, which shows the "Application Error" box and ends the
// program with exit code 1.
#pragma once

#include <QApplication>
#include <QEvent>
#include <QString>
#include <exception>
#include <functional>
#include <string>

// Sent to the widget that holds the mouse capture when a failure arrives, so that a pressed
// button, a column drag or a scroll in progress is abandoned.
inline const QEvent::Type kCancelModeEvent = static_cast<QEvent::Type>(QEvent::User + 31);

// The run-time box's rule: a period is added after a last character that sorts after "." as
// GBK bytes (letters, digits, ':', '/', every Chinese character), never after "." itself nor
// after a character below it (blank, '!', quotes, '(' ')' ',' '-', control characters).
// `period` is the program's language's own: "." in English, never added after itself either.
std::string WithClosingPeriod(const std::string& message, const std::string& period = ".");

// The start-up box's text: "Exception %s in module %s at %p.\r\n%s%s\r\n" with the failure's
// class, the module and offset where it was raised, its message and a period unless the message
// is empty or ends in one; at most 1,023 characters. The words and the period are the program's
// language's (English as written here); the class, module, offset and message go in as they are.
std::string StartupFailureText(const std::exception_ptr& failure);

// The width that a window needs for its title bar to show `caption` whole: the caption in the
// title bar's font, with room for the window's icon and buttons.
int TitleBarWidth(const QString& caption);

class TApplication : public QApplication {
  public:
    // The session's password requests are answered by the password dialog while the
    // application lives: from its start, so that a protected table opens before any window.
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;

    // The application failure handler: what escaped an event handler.
    void HandleException(const std::exception_ptr& failure);

    // The application title: the task-bar text and the caption of the run-time box.
    static void SetTitle(const QString& title);
    static QString Title();

    // Shows a message box and waits until the user closes it. Any pop-up is closed and a keyboard
    // grab released first; the active window (or, for a pop-up or a hidden one, its visible
    // window) owns the box, which comes up shown, active and wide enough for its whole caption;
    // that window is active again afterwards. Tests replace it to see what the user would read.
    using MessageBox = std::function<void(const QString& caption, const QString& text)>;
    static void SetMessageBox(MessageBox box);
    static void ShowMessage(const QString& caption, const QString& text);
};

// The start-up failure handler: shows the "Application Error" box; answers exit code 1.
int ReportStartupFailure(const std::exception_ptr& failure);
