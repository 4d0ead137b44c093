// Start-up over tables protected by a password: the password dialog comes up while the main
// window is being created, before any window shows; Cancel ends the start through the start-up
// box. The engine's password side is played by PasswordEngine, the user by PasswordDialogUser.
#include <QApplication>
#include <QTest>

#include "app/Unitbinglidj.h"
#include "clinic_fixture.h"
#include "data/session.h"
#include "password_dialog_user.h"
#include "password_engine.h"
#include "views/failure_reporting.h"

class PasswordStartupTest : public ClinicFixture {
  protected:
    void SetUp() override {
        ClinicFixture::SetUp();
        data_.reset();  // the main window owns the record sets
        engine_ = std::make_unique<PasswordEngine>();
        engine_->ProtectTables();
        engine_->ProtectQueries();
        TApplication::SetMessageBox([this](const QString& caption, const QString& text) {
            messages_ << caption + ": " + text;
        });
    }
    void TearDown() override {
        TApplication::SetMessageBox(nullptr);
        engine_.reset();
        ClinicFixture::TearDown();
    }

    std::unique_ptr<PasswordEngine> engine_;
    QStringList messages_;
};

TEST_F(PasswordStartupTest, CancelEndsTheStartThroughTheStartupBoxWithExitCodeOne) {
    PasswordDialogUser user({});
    try {
        TFormQorvynabldjxt w;
        FAIL() << "the window should not be created";
    } catch (...) {
        EXPECT_EQ(ReportStartupFailure(std::current_exception()), 1);
    }
    EXPECT_EQ(user.Prompts(), 1);
    EXPECT_EQ(user.OtherWindowsShown().join(", ").toStdString(), "");
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].startsWith("Application Error: Exception EDBEngineError in module "))
        << messages_[0].toStdString();
    EXPECT_TRUE(
        messages_[0].endsWith(".\r\nInsufficient rights: a password is required\r\n"
                              "Table: bingren.DB.\r\n"))
        << messages_[0].toStdString();
    EXPECT_TRUE(engine_->handed.empty());
}

TEST_F(PasswordStartupTest, WrongPasswordsAskAgainAndOnePasswordOpensEveryRecordSet) {
    PasswordDialogUser user({"wrong", "still wrong", PasswordEngine::kPassword});
    TFormQorvynabldjxt w;
    EXPECT_EQ(user.Prompts(), 3);
    EXPECT_EQ(user.OtherWindowsShown().join(", ").toStdString(), "");
    EXPECT_TRUE(w.Tablebingren.Active());
    EXPECT_TRUE(w.Queryczxm.Active());
    EXPECT_TRUE(w.TableBingli.Active());
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(PasswordStartupTest, ANameSearchAfterThePasswordsWereDroppedAsksAgain) {
    engine_->passwords.insert(PasswordEngine::kPassword);
    TFormQorvynabldjxt w;
    w.show();
    Session().RemoveAllPasswords();
    PasswordDialogUser user({PasswordEngine::kPassword});
    w.Editblhxm->setText("王");
    QTest::mouseClick(w.BitBtnczxm, Qt::LeftButton);
    EXPECT_EQ(user.Prompts(), 1);
    EXPECT_EQ(user.OtherWindowsShown().join(", ").toStdString(), "FormQorvynabldjxt");
    EXPECT_TRUE(w.Queryczxm.Active());
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
}
