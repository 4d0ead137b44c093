#include "views/password_dialog.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <iterator>

#include "data/session.h"
#include "views/caption_on_frame.h"

namespace {

// The platform's style may mask a password with a dot; this dialog shows "*".
constexpr const char* kLook = "QLineEdit { lineedit-password-character: 42; }";

}  // namespace

TPasswordDialog::TPasswordDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("PasswordDialog");
    setWindowTitle(tr("Enter password"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(273, 132);
    setStyleSheet(kLook);
    CreatePasswordGroup();
    CreateButtons();
    // The group box's controls, then OK and Cancel.
    QWidget* order[] = {Edit, AddButton, RemoveButton, RemoveAllButton, OKButton, CancelButton};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
    Edit->setFocus();
    CenterOnScreen();
}

// ---- The controls, one block each ----

void TPasswordDialog::CreatePasswordGroup() {
    GroupBox1 = new QGroupBox(tr("Password"), this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(8, 8, 257, 81);

    Edit = new QLineEdit(GroupBox1);
    Edit->setObjectName("Edit");
    Edit->setGeometry(16, 18, 225, 20);
    Edit->setEchoMode(QLineEdit::Password);
    connect(Edit, &QLineEdit::textChanged, this, [this] { EditChange(); });

    AddButton = new QPushButton(tr("&Add"), GroupBox1);
    AddButton->setObjectName("AddButton");
    AddButton->setGeometry(16, 46, 65, 25);
    AddButton->setEnabled(false);
    connect(AddButton, &QPushButton::clicked, this, [this] { AddButtonClick(); });

    RemoveButton = new QPushButton(tr("&Remove"), GroupBox1);
    RemoveButton->setObjectName("RemoveButton");
    RemoveButton->setGeometry(88, 46, 65, 25);
    RemoveButton->setEnabled(false);
    connect(RemoveButton, &QPushButton::clicked, this, [this] { RemoveButtonClick(); });

    RemoveAllButton = new QPushButton(tr("Re&move all"), GroupBox1);
    RemoveAllButton->setObjectName("RemoveAllButton");
    RemoveAllButton->setGeometry(160, 46, 81, 25);
    connect(RemoveAllButton, &QPushButton::clicked, this, [this] { RemoveAllButtonClick(); });
    PutCaptionOnFrame(*GroupBox1);
}

void TPasswordDialog::CreateButtons() {
    OKButton = new QPushButton(tr("&OK"), this);
    OKButton->setObjectName("OKButton");
    OKButton->setGeometry(109, 98, 75, 25);
    OKButton->setDefault(true);
    OKButton->setEnabled(false);
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });

    // Esc and the close box reject the dialog as this button does.
    CancelButton = new QPushButton(tr("Cancel"), this);
    CancelButton->setObjectName("CancelButton");
    CancelButton->setGeometry(190, 98, 75, 25);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

// The client area is placed: the frame's size is not known before the window is shown.
void TPasswordDialog::CenterOnScreen() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        setGeometry(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->geometry()));
    }
}

// ---- Handlers ----

void TPasswordDialog::EditChange() {
    const bool typed = !Edit->text().isEmpty();
    AddButton->setEnabled(typed);
    RemoveButton->setEnabled(typed);
    OKButton->setEnabled(typed || passwordAdded_);
}

void TPasswordDialog::AddButtonClick() {
    Session().AddPassword(Edit->text().toStdString());
    passwordAdded_ = true;
    Edit->clear();
    Edit->setFocus();
}

void TPasswordDialog::RemoveButtonClick() {
    Session().RemovePassword(Edit->text().toStdString());
    Edit->clear();
    Edit->setFocus();
}

void TPasswordDialog::RemoveAllButtonClick() {
    Session().RemoveAllPasswords();
    Edit->setFocus();
}

// The result comes first: a refused password still closes the dialog with OK.
void TPasswordDialog::OKButtonClick() {
    accept();
    Session().AddPassword(Edit->text().toStdString());
}

bool ExecutePasswordDialog() {
    TPasswordDialog PasswordDialog;
    return PasswordDialog.exec() == QDialog::Accepted;
}
