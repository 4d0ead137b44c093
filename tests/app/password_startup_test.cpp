// Start-up over tables protected by a password: the password dialog comes up while the main
// window is being created, before any window shows; Cancel ends the start through the start-up
// box. On the files the engine's password side is played by PasswordEngine; on the server it is
// the server's own login, as the cluster's password user. The user is played by
// PasswordDialogUser.
#include <QApplication>
#include <QTest>
#include <fstream>

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
        if (server_) {
            LogInAsThePasswordUser();
        } else {
            engine_ = std::make_unique<PasswordEngine>();
            engine_->ProtectTables();
            engine_->ProtectQueries();
        }
        TApplication::SetMessageBox([this](const QString& caption, const QString& text) {
            messages_ << caption + ": " + text;
        });
    }
    void TearDown() override {
        TApplication::SetMessageBox(nullptr);
        engine_.reset();
        ClinicFixture::TearDown();
    }
    // The clinic's directory served to the cluster's user whom the server asks for a password,
    // with the rights on the test's schema that the program needs.
    void LogInAsThePasswordUser() {
        const std::string& schema = server_->Name();
        server_->Session().Exec("GRANT USAGE ON SCHEMA " + schema + " TO clinicpw; " +
                                "GRANT ALL ON ALL TABLES IN SCHEMA " + schema + " TO clinicpw");
        std::ofstream(root_ / "dbengine.conf")
            << "SERVER " << kClinicDatabase << " = " << pgkit_test::TestCluster().passwordConninfo
            << " options='-csearch_path=" << schema << "'\n";
    }
    // The password that opens the tables.
    QString Password() const {
        return QString::fromStdString(server_ ? pgkit_test::TestCluster().password
                                              : PasswordEngine::kPassword);
    }

    std::unique_ptr<PasswordEngine> engine_;  // on the files only
    QStringList messages_;
};

// The refusal shown is the one the stand-in words, so this runs on the files.
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

TEST_P(PasswordStartupTest, WrongPasswordsAskAgainAndOnePasswordOpensEveryRecordSet) {
    PasswordDialogUser user({"wrong", "still wrong", Password()});
    TFormQorvynabldjxt w;
    EXPECT_EQ(user.Prompts(), 3);
    EXPECT_EQ(user.OtherWindowsShown().join(", ").toStdString(), "");
    EXPECT_TRUE(w.Tablebingren.Active());
    EXPECT_TRUE(w.Queryczxm.Active());
    EXPECT_TRUE(w.TableBingli.Active());
    EXPECT_TRUE(messages_.isEmpty());
}

// On the files only: a server keeps the sessions it let in when the passwords are dropped.
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

ON_BOTH_STORAGES(PasswordStartupTest);
