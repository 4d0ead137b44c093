#include "password_dialog_user.h"

#include <QApplication>
#include <QTest>

// The watch runs whenever an event loop does, the dialog's own among them.
PasswordDialogUser::PasswordDialogUser(QStringList answers) : answers_(std::move(answers)) {
    connect(&watch_, &QTimer::timeout, this, [this] { Look(); });
    watch_.start(0);
}

void PasswordDialogUser::Look() {
    auto* dialog = qobject_cast<TPasswordDialog*>(QApplication::activeModalWidget());
    if (!dialog || dialog == answered_) return;
    answered_ = dialog;
    ++prompts_;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != dialog && window->isVisible()) otherWindows_ << window->objectName();
    }
    Answer(*dialog);
}

void PasswordDialogUser::Answer(TPasswordDialog& dialog) {
    if (answers_.isEmpty()) return QTest::mouseClick(dialog.CancelButton, Qt::LeftButton);
    QTest::keyClicks(dialog.Edit, answers_.takeFirst());
    QTest::mouseClick(dialog.OKButton, Qt::LeftButton);
}
