// The user at the password dialog, for tests: whenever a password dialog comes up modally, the
// next answer in turn is typed into it and confirmed with OK; with no answer left, Cancel is
// clicked. It also notes which other windows of the program were showing at that moment.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "views/password_dialog.h"

class PasswordDialogUser : public QObject {
  public:
    explicit PasswordDialogUser(QStringList answers);

    // How often a password dialog came up.
    int Prompts() const { return prompts_; }
    // The object names of the program's other visible windows whenever a dialog came up.
    const QStringList& OtherWindowsShown() const { return otherWindows_; }

  private:
    void Look();
    void Answer(TPasswordDialog& dialog);

    QStringList answers_;
    QTimer watch_;
    QPointer<TPasswordDialog> answered_;
    int prompts_ = 0;
    QStringList otherWindows_;
};
