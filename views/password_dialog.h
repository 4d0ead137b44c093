// TPasswordDialog: asks the user for the passwords of protected tables when the engine refuses
// an open for want of one (the session's password dialog, installed by TApplication).
//
// The user adds passwords to the session's list, drops one or all of them, and closes the
// dialog with OK, which also adds the typed text, or with Cancel, Esc or the close box, which
// add nothing. Every character typed shows as "*". Its captions are in the program's language.
//
// Contracts:
// - Add and Remove are enabled exactly while the edit box holds text; OK while it holds text or
//   once a password was added through this dialog; Remove all always.
// - OK sets the result to Accepted before it adds the text: when the engine refuses the
//   password, the failure reaches the application failure handler and the dialog still closes
//   with OK, so that the open is tried again.
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

class TPasswordDialog : public QDialog {
    Q_OBJECT

  public:
    explicit TPasswordDialog(QWidget* parent = nullptr);

    // ---- Controls ----
    QGroupBox* GroupBox1;
    QLineEdit* Edit;
    QPushButton* AddButton;
    QPushButton* RemoveButton;
    QPushButton* RemoveAllButton;
    QPushButton* OKButton;
    QPushButton* CancelButton;

    // Whether a password was added since the dialog opened.
    bool PasswordAdded() const { return passwordAdded_; }

    // ---- Handlers ----
    void EditChange();
    void AddButtonClick();
    void RemoveButtonClick();
    void RemoveAllButtonClick();
    void OKButtonClick();

  private:
    void CreatePasswordGroup();
    void CreateButtons();
    void CenterOnScreen();

    bool passwordAdded_ = false;
};

// The password request's answer: a new dialog, owned by the application, shown modally and
// gone when it closes; true when it was closed with OK.
bool ExecutePasswordDialog();
