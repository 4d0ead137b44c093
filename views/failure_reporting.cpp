#include "views/failure_reporting.h"

#include <dlfcn.h>
#include <unistd.h>

#include <QFontMetrics>
#include <QMessageBox>
#include <QPointer>
#include <QStyle>
#include <QWidget>
#include <cstdio>

#include "data/exceptions.h"
#include "data/session.h"
#include "views/password_dialog.h"

namespace {

constexpr std::size_t kStartupTextLimit = 1023;
// Beside its caption a title bar holds the window's icon and its buttons, each about a square of
// the bar's height.
constexpr int kTitleBarSquares = 4;

TApplication::MessageBox& Box() {
    static TApplication::MessageBox box;
    return box;
}

QString& TitleText() {
    static QString title;
    return title;
}

// The last character's first byte: ASCII, or the lead of a multi-byte character (which, in GBK
// as in UTF-8, is 0x80 or above and so sorts after ".").
unsigned char LastCharacterLead(const std::string& text) {
    std::size_t i = text.size() - 1;
    while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
    return static_cast<unsigned char>(text[i]);
}

std::string ProgramFileName() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    const std::string full = n > 0 ? std::string(path, static_cast<std::size_t>(n)) : "clinic";
    return full.substr(full.rfind('/') + 1);
}

// The boxes' own words are in the program's language, as the translation installed at start-up
// gives them.
QString StartupCaption() {
    return QCoreApplication::translate("TApplication", "Application Error");
}

std::string ClosingPeriod() {
    //: The full stop that closes a failure message; never added after itself.
    return QCoreApplication::translate("TApplication", ".").toStdString();
}

struct FailureFacts {
    std::string className = "Exception";
    std::string message;
    const void* address = nullptr;
};

FailureFacts FactsOf(const std::exception_ptr& failure) {
    FailureFacts facts;
    try {
        std::rethrow_exception(failure);
    } catch (const Exception& e) {
        facts = {e.ClassName(), e.Message(), e.RaiseAddress()};
    } catch (const std::exception& e) {
        facts = {"Exception", e.what(), nullptr};
    } catch (...) {
        facts.message.clear();
    }
    return facts;
}

// "Exception <class> in module <module> at <offset>.": the module and the offset within it at
// which the failure was raised, or the program's file for a failure that does not know.
std::string WhereRaised(const FailureFacts& facts) {
    Dl_info info{};
    const bool inModule = facts.address && dladdr(facts.address, &info) && info.dli_fname;
    std::string module = ProgramFileName();
    std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(facts.address) - 0x1000;
    if (inModule) {
        const std::string path = info.dli_fname;
        module = path.substr(path.rfind('/') + 1);
        offset = reinterpret_cast<std::uintptr_t>(facts.address) -
                 reinterpret_cast<std::uintptr_t>(info.dli_fbase);
    }
    char address[32];
    std::snprintf(address, sizeof address, "%08lX",
                  static_cast<unsigned long>(offset & 0xFFFFFFFF));
    return QCoreApplication::translate("TApplication", "Exception %1 in module %2 at %3.")
        .arg(QString::fromStdString(facts.className), QString::fromStdString(module),
             QString::fromLatin1(address))
        .toStdString();
}

// A message box never narrower than its whole caption. By itself it fits its text, as it shows
// and again whenever it lays itself out, and leaves the title bar to shorten the caption.
class TFailureBox : public QMessageBox {
  public:
    TFailureBox(const QString& caption, const QString& text, QWidget* owner)
        : QMessageBox(QMessageBox::Critical, caption, text, QMessageBox::Ok, owner) {}

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QMessageBox::resizeEvent(event);
        const int caption = TitleBarWidth(windowTitle());
        if (width() < caption) setFixedWidth(caption);
    }
};

// An open pop-up takes every key and press, and so does a keyboard grab: a modal box shown over
// them would wait for input that never reaches it.
void ReleaseInput() {
    while (QWidget* popup = QApplication::activePopupWidget()) popup->hide();
    if (QWidget* grabber = QWidget::keyboardGrabber()) grabber->releaseKeyboard();
}

// The active window owns the box. A pop-up or a hidden window cannot: a window whose owner is not
// on the screen may never be shown itself. Their own visible window owns it instead.
QWidget* BoxOwner() {
    QWidget* window = QApplication::activeWindow();
    while (window && (window->windowType() == Qt::Popup || !window->isVisible())) {
        QWidget* parent = window->parentWidget();
        window = parent ? parent->window() : nullptr;
    }
    return window;
}

}  // namespace

int TitleBarWidth(const QString& caption) {
    const QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
    const int square = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    return metrics.horizontalAdvance(caption) + kTitleBarSquares * square;
}

std::string WithClosingPeriod(const std::string& message, const std::string& period) {
    if (message.empty() || LastCharacterLead(message) <= '.' || message.ends_with(period)) {
        return message;
    }
    return message + period;
}

std::string StartupFailureText(const std::exception_ptr& failure) {
    const FailureFacts facts = FactsOf(failure);
    const std::string period = ClosingPeriod();
    const bool closed =
        facts.message.empty() || facts.message.ends_with(".") || facts.message.ends_with(period);
    std::string text =
        WhereRaised(facts) + "\r\n" + facts.message + (closed ? "" : period) + "\r\n";
    if (text.size() > kStartupTextLimit) text.resize(kStartupTextLimit);
    return text;
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    TSession::SetPasswordDialog(ExecutePasswordDialog);
}

TApplication::~TApplication() {
    TSession::SetPasswordDialog(nullptr);
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException(std::current_exception());
        return true;
    }
}

void TApplication::HandleException(const std::exception_ptr& failure) {
    if (QWidget* grabber = QWidget::mouseGrabber()) {
        grabber->releaseMouse();
        QEvent cancel(kCancelModeEvent);
        QApplication::sendEvent(grabber, &cancel);
    }
    try {
        std::rethrow_exception(failure);
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        ShowMessage(Title(),
                    QString::fromStdString(WithClosingPeriod(e.Message(), ClosingPeriod())));
    } catch (...) {
        ShowMessage(StartupCaption(), QString::fromStdString(StartupFailureText(failure)));
    }
}

void TApplication::SetTitle(const QString& title) {
    TitleText() = title.left(255);
}

QString TApplication::Title() {
    return TitleText();
}

void TApplication::SetMessageBox(MessageBox box) {
    Box() = std::move(box);
}

// The box comes up shown and active before the program waits in it; the window that was active
// is active again when it closes.
void TApplication::ShowMessage(const QString& caption, const QString& text) {
    if (Box()) return Box()(caption, text);
    ReleaseInput();
    const QPointer<QWidget> owner = BoxOwner();
    TFailureBox box(caption, text, owner);
    box.show();
    box.activateWindow();
    box.exec();
    if (owner) owner->activateWindow();
}

int ReportStartupFailure(const std::exception_ptr& failure) {
    TApplication::ShowMessage(StartupCaption(),
                              QString::fromStdString(StartupFailureText(failure)));
    return 1;
}
