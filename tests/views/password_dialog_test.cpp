// The password dialog: its layout, its enable rules, what its buttons hand to the session's
// password list (the engine's side played by PasswordEngine), and its answer to the session's
// password request.
#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QScreen>
#include <QTest>

#include "data/session.h"
#include "password_dialog_user.h"
#include "password_engine.h"
#include "views/failure_reporting.h"

namespace {

using Handed = std::vector<std::string>;

// The widgets that take the focus, in tab order from the edit box.
std::vector<QWidget*> TabOrder(TPasswordDialog& dialog) {
    std::vector<QWidget*> order{dialog.Edit};
    for (QWidget* w = dialog.Edit->nextInFocusChain(); w != dialog.Edit;
         w = w->nextInFocusChain()) {
        if (w->focusPolicy() & Qt::TabFocus) order.push_back(w);
    }
    return order;
}

}  // namespace

class PasswordDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TApplication::SetMessageBox([this](const QString& caption, const QString& text) {
            messages_ << caption + ": " + text;
        });
        dialog_.show();
        QApplication::setActiveWindow(&dialog_);
    }
    void TearDown() override { TApplication::SetMessageBox(nullptr); }

    // Keys for ASCII; other characters come committed, as an input method delivers them.
    void Type(const QString& text) {
        for (const QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(dialog_.Edit, c.toLatin1());
                continue;
            }
            QInputMethodEvent commit;
            commit.setCommitString(c);
            QApplication::sendEvent(dialog_.Edit, &commit);
        }
    }
    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    // Add, Remove and OK enabled, in that order.
    std::vector<bool> Enabled() const {
        return {dialog_.AddButton->isEnabled(), dialog_.RemoveButton->isEnabled(),
                dialog_.OKButton->isEnabled()};
    }
    // Still open, having handed the engine `handed`; the edit box holds `text` and has the
    // focus; Add, Remove and OK enabled as `enabled`.
    void ExpectOpenWith(const Handed& handed, const QString& text, std::vector<bool> enabled) {
        EXPECT_TRUE(dialog_.isVisible());
        EXPECT_EQ(engine_.handed, handed);
        EXPECT_EQ(dialog_.Edit->text(), text);
        EXPECT_EQ(QApplication::focusWidget(), dialog_.Edit);
        EXPECT_EQ(Enabled(), enabled);
    }
    // Closed with OK, having handed the engine `handed`.
    void ExpectClosedWithOk(const Handed& handed) {
        EXPECT_FALSE(dialog_.isVisible());
        EXPECT_EQ(dialog_.result(), QDialog::Accepted);
        EXPECT_EQ(engine_.handed, handed);
    }

    PasswordEngine engine_;
    TPasswordDialog dialog_;
    QStringList messages_;
};

TEST_F(PasswordDialogTest, LayoutCaptionsAndTabOrder) {
    TPasswordDialog& d = dialog_;
    EXPECT_EQ(d.objectName(), "PasswordDialog");
    EXPECT_EQ(d.windowTitle(), "Enter password");
    EXPECT_EQ(d.size(), QSize(273, 132));
    EXPECT_EQ(d.minimumSize(), d.maximumSize()) << "a fixed border";
    EXPECT_FALSE(d.windowFlags() & Qt::WindowMaximizeButtonHint);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QPoint offCentre = d.geometry().center() - screen.center();
    EXPECT_LE(offCentre.manhattanLength(), 1) << "centred on the screen, to the odd pixel";

    EXPECT_EQ(d.GroupBox1->title(), "Password");
    EXPECT_EQ(d.GroupBox1->geometry(), QRect(8, 8, 257, 81));
    const std::vector<std::tuple<QWidget*, QWidget*, QRect, QString, const char*>> controls{
        {d.Edit, d.GroupBox1, {16, 18, 225, 20}, "", "Edit"},
        {d.AddButton, d.GroupBox1, {16, 46, 65, 25}, "&Add", "AddButton"},
        {d.RemoveButton, d.GroupBox1, {88, 46, 65, 25}, "&Remove", "RemoveButton"},
        {d.RemoveAllButton, d.GroupBox1, {160, 46, 81, 25}, "Re&move all", "RemoveAllButton"},
        {d.OKButton, &d, {109, 98, 75, 25}, "&OK", "OKButton"},
        {d.CancelButton, &d, {190, 98, 75, 25}, "Cancel", "CancelButton"}};
    for (const auto& [control, parent, geometry, caption, name] : controls) {
        EXPECT_EQ(d.findChild<QWidget*>(name), control) << name;
        EXPECT_EQ(control->parentWidget(), parent) << name;
        EXPECT_EQ(control->geometry(), geometry) << name;
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            EXPECT_EQ(button->text(), caption) << name;
        }
    }
    EXPECT_EQ(TabOrder(d), (std::vector<QWidget*>{d.Edit, d.AddButton, d.RemoveButton,
                                                  d.RemoveAllButton, d.OKButton, d.CancelButton}));
    EXPECT_TRUE(d.OKButton->isDefault());
    EXPECT_EQ(QApplication::focusWidget(), d.Edit);
    EXPECT_EQ(Enabled(), (std::vector<bool>{false, false, false}));
    EXPECT_TRUE(d.RemoveAllButton->isEnabled());
}

TEST_F(PasswordDialogTest, EveryCharacterShowsAsAStar) {
    Type("ab密");
    EXPECT_EQ(dialog_.Edit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog_.Edit->displayText(), "***");
    EXPECT_EQ(dialog_.Edit->text(), "ab密");
}

TEST_F(PasswordDialogTest, TypingEnablesAddRemoveAndOkAndClearingDisablesThem) {
    Type("a");
    EXPECT_EQ(Enabled(), (std::vector<bool>{true, true, true}));
    QTest::keyClick(dialog_.Edit, Qt::Key_Backspace);
    EXPECT_EQ(Enabled(), (std::vector<bool>{false, false, false}));
}

TEST_F(PasswordDialogTest, AddClearsTheEditKeepsOkAndAnEmptyOkAddsNothingMore) {
    Type("密码");
    Click(dialog_.AddButton);
    ExpectOpenWith({"add \xC3\xDC\xC2\xEB"}, "", {false, false, true});
    EXPECT_TRUE(dialog_.PasswordAdded());

    Click(dialog_.RemoveAllButton);
    EXPECT_TRUE(dialog_.OKButton->isEnabled()) << "Remove all does not disable OK";
    Click(dialog_.OKButton);
    ExpectClosedWithOk({"add \xC3\xDC\xC2\xEB", "drop all"});
}

TEST_F(PasswordDialogTest, RemoveDropsAndClearsTheText) {
    Type("old");
    Click(dialog_.RemoveButton);
    ExpectOpenWith({"drop old"}, "", {false, false, false});
}

TEST_F(PasswordDialogTest, RemoveAllKeepsTheTypedText) {
    Type("abc");
    Click(dialog_.RemoveAllButton);
    ExpectOpenWith({"drop all"}, "abc", {true, true, true});
}

TEST_F(PasswordDialogTest, OkAddsTheTypedTextByClickOrEnter) {
    Type("abc");
    QTest::keyClick(dialog_.Edit, Qt::Key_Return);
    ExpectClosedWithOk({"add abc"});
}

TEST_F(PasswordDialogTest, ARefusedPasswordIsShownAndOkStillCloses) {
    TApplication::SetTitle("Clinic");
    engine_.addAnswer = DBIERR_INVALIDPARAM;
    Type("abc");
    Click(dialog_.OKButton);
    ExpectClosedWithOk({"add abc"});
    EXPECT_EQ(messages_, QStringList{"Clinic: Invalid parameter."});
}

TEST_F(PasswordDialogTest, CancelEscAndTheCloseBoxAddNothing) {
    for (const auto& cancel : std::vector<std::function<void()>>{
             [&] { Click(dialog_.CancelButton); },
             [&] { QTest::keyClick(dialog_.Edit, Qt::Key_Escape); }, [&] { dialog_.close(); }}) {
        dialog_.show();
        dialog_.Edit->setText("abc");
        cancel();
        EXPECT_FALSE(dialog_.isVisible());
        EXPECT_EQ(dialog_.result(), QDialog::Rejected);
    }
    EXPECT_TRUE(engine_.handed.empty());
}

TEST(PasswordRequest, TheApplicationsDialogAnswersYesExactlyForOk) {
    PasswordEngine engine;
    {
        PasswordDialogUser user({"secret"});
        EXPECT_TRUE(Session().GetPassword());
        EXPECT_EQ(user.Prompts(), 1);
    }
    {
        PasswordDialogUser user({});
        EXPECT_FALSE(Session().GetPassword());
        EXPECT_EQ(user.Prompts(), 1);
    }
    EXPECT_EQ(engine.handed, Handed{"add secret"});
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty()) << "each dialog is gone after it closed";
}
