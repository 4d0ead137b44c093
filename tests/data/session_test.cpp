// The session's password list and the password request, and record sets that open tables and
// prepare queries protected by a password (the engine's side played by PasswordEngine).
#include "data/session.h"

#include <sys/wait.h>
#include <unistd.h>

#include "base/gbk_text.h"
#include "clinic_fixture.h"
#include "engine/tablecrypt/table_protection.h"
#include "password_engine.h"

namespace {

const std::string kRefusal =
    std::string(PasswordEngine::kRefusedText) + "\r\n" + PasswordEngine::kRefusalEntry;

}  // namespace

class SessionTest : public ClinicFixture {
  protected:
    void SetUp() override {
        ClinicFixture::SetUp();
        data_.reset();  // each test opens its own record sets over the protected tables
        engine_ = std::make_unique<PasswordEngine>();
    }
    void TearDown() override {
        Session().OnPassword = nullptr;
        TSession::SetPasswordDialog(nullptr);
        engine_.reset();
        ClinicFixture::TearDown();
    }

    // The user: types each answer in turn and confirms it; with no answer left, cancels.
    void Answer(std::vector<std::string> answers) {
        answers_ = std::move(answers);
        Session().OnPassword = [this](TSession* sender) {
            EXPECT_EQ(sender, &Session());
            if (prompts_ == answers_.size()) return false;
            sender->AddPassword(answers_[prompts_++]);
            return true;
        };
    }

    static void OpenPatients(TTable& table) {
        table.SetDatabaseName(kClinicDatabase);
        table.SetTableName("bingren.DB");
        table.Open();
    }

    std::unique_ptr<PasswordEngine> engine_;
    std::vector<std::string> answers_;
    std::size_t prompts_ = 0;
};

TEST_F(SessionTest, PasswordsReachTheEngineInGbkAndAnEmptyTextDoesNothing) {
    Session().AddPassword("");
    Session().RemovePassword("");
    EXPECT_TRUE(engine_->handed.empty());

    Session().AddPassword("密码");
    EXPECT_EQ(engine_->handed.back(), "add \xC3\xDC\xC2\xEB");
    Session().RemovePassword("密码");
    EXPECT_EQ(engine_->handed.back(), "drop \xC3\xDC\xC2\xEB");

    // 252 bytes and one character fit; the next character would need 256: never half of it.
    std::string longest(252, 'a');
    for (int i = 0; i < 3; ++i) longest += "中";
    Session().AddPassword(longest);
    EXPECT_EQ(engine_->handed.back(), "add " + std::string(252, 'a') + "\xD6\xD0");
    Session().AddPassword(std::string(300, 'b'));
    EXPECT_EQ(engine_->handed.back(), "add " + std::string(255, 'b'));
}

TEST_F(SessionTest, TheEngineRefusingAPasswordRaisesItsFailureButDropsAreNotChecked) {
    engine_->addAnswer = DBIERR_INVALIDPARAM;
    try {
        Session().AddPassword("x");
        FAIL() << "the refusal should be raised";
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), DBIERR_INVALIDPARAM);
        EXPECT_EQ(e.Message(), "Invalid parameter");
    }
    EXPECT_NO_THROW(Session().RemovePassword("x"));
    EXPECT_NO_THROW(Session().RemoveAllPasswords());
    EXPECT_EQ(engine_->handed, (std::vector<std::string>{"add x", "drop x", "drop all"}));
}

TEST_F(SessionTest, OnPasswordAnswersBeforeTheDialogAndWithoutEitherTheAnswerIsNo) {
    EXPECT_FALSE(Session().GetPassword());
    int dialogs = 0;
    TSession::SetPasswordDialog([&] { return ++dialogs == 1; });
    EXPECT_TRUE(Session().GetPassword());
    EXPECT_FALSE(Session().GetPassword());
    Session().OnPassword = [](TSession*) { return true; };
    EXPECT_TRUE(Session().GetPassword());
    EXPECT_EQ(dialogs, 2) << "the dialog is not asked while OnPassword is assigned";
}

TEST_F(SessionTest, AProtectedTableOpensAfterThePasswordAndWrongOnesAskAgain) {
    engine_->ProtectTables();
    Answer({"wrong", "wrong again", "密码", "still wrong", PasswordEngine::kPassword});
    TTable patients("Tablebingren");
    OpenPatients(patients);
    EXPECT_TRUE(patients.Active());
    EXPECT_TRUE(patients.CanModify());
    EXPECT_EQ(prompts_, 5u) << "every refusal asks again, without a limit";
}

TEST_F(SessionTest, NoToTheRequestRaisesTheRefusalOfTheOpen) {
    engine_->ProtectTables();
    // The user drops every password before cancelling: the failure still names the table.
    Session().OnPassword = [this](TSession* sender) {
        ++prompts_;
        sender->RemoveAllPasswords();
        return false;
    };
    TTable patients("Tablebingren");
    try {
        OpenPatients(patients);
        FAIL() << "the open should fail";
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), DBIERR_NOTSUFFTABLERIGHTS);
        EXPECT_EQ(e.Message(), kRefusal);
    }
    EXPECT_EQ(prompts_, 1u);
    EXPECT_FALSE(patients.Active());
}

TEST_F(SessionTest, OtherRefusalsAskNothing) {
    engine_->RefuseTables();
    Answer({PasswordEngine::kPassword});
    TTable patients("Tablebingren");
    EXPECT_EQ(FailureOf([&] { OpenPatients(patients); }),
              "EDBEngineError: Capability not supported\r\nTable: bingren.DB");
    EXPECT_EQ(prompts_, 0u);
}

TEST_F(SessionTest, AProtectedTableThatCannotBeWrittenOpensReadOnlyAfterOnePrompt) {
    engine_->ProtectReadOnlyTables();
    Answer({PasswordEngine::kPassword});
    TTable patients("Tablebingren");
    OpenPatients(patients);
    EXPECT_TRUE(patients.Active());
    EXPECT_FALSE(patients.CanModify());
    EXPECT_EQ(prompts_, 1u);
}

TEST_F(SessionTest, OnePromptServesEveryProtectedTableAndTheNameSearch) {
    engine_->ProtectTables();
    engine_->ProtectQueries();
    Answer({PasswordEngine::kPassword});
    ClinicRecordSets data;
    data.Open();
    EXPECT_TRUE(data.Tablebingren.Active());
    EXPECT_TRUE(data.Queryczxm.Active());
    EXPECT_TRUE(data.TableBingli.Active());
    EXPECT_EQ(prompts_, 1u);
}

TEST_F(SessionTest, TheNameSearchQueryAsksForThePasswordToo) {
    engine_->ProtectQueries();
    Answer({"wrong", PasswordEngine::kPassword});
    TQuery query("Queryczxm");
    query.SetDatabaseName(kClinicDatabase);
    query.SetSQL({"SELECT Id, Xm FROM bingren.DB"});
    query.Open();
    EXPECT_TRUE(query.Active());
    EXPECT_EQ(prompts_, 2u);

    query.Close();
    Session().RemoveAllPasswords();
    Session().OnPassword = [](TSession*) { return false; };
    EXPECT_EQ(FailureOf([&] { query.Open(); }), "EDBEngineError: " + kRefusal);
}

// The engine itself over protected table files: the passwords that the program adds reach it in
// GBK, and a wrong one is asked again.
class ProtectedFileTest : public ClinicFixture {
  protected:
    void SetUp() override {
        ClinicFixture::SetUp();
        data_.reset();  // the tables are protected while no record set has them open
        Protect(DatabaseDir() / "bingren.DB");
        Protect(DatabaseDir() / "bingli.DB");
    }
    void TearDown() override {
        Session().OnPassword = nullptr;
        Session().RemoveAllPasswords();
        ClinicFixture::TearDown();
    }

    // In a child process, so that this one, like the program, knows only the engine's side.
    static void Protect(const std::filesystem::path& file) {
        const pid_t child = fork();
        if (child == 0) {
            try {
                tablecrypt::Protect(file, gbk::Encode(kPassword), {14, 8, 1});
                _exit(0);
            } catch (...) {
                _exit(1);
            }
        }
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << file;
    }

    static constexpr const char* kPassword = "牙科2006";
    static constexpr const char* kRefusedText = "Insufficient rights: a password is required";
    int prompts_ = 0;
};

TEST_F(ProtectedFileTest, TheTablesOpenOnceTheUserGaveTheirPassword) {
    const std::vector<std::string> answers{"牙科", kPassword};
    Session().OnPassword = [&](TSession* sender) {
        sender->AddPassword(answers.at(static_cast<std::size_t>(prompts_++)));
        return true;
    };
    ClinicRecordSets data;
    data.Open();
    EXPECT_TRUE(data.TableBingli.Active());
    EXPECT_EQ(prompts_, 2);
    data.Tablebingren.Append();
    data.TablebingrenXm->SetAsString("张三");
    data.Tablebingren.Post();
    EXPECT_EQ(data.Tablebingren.RecordCount(), 1);
}

TEST_F(ProtectedFileTest, NoPasswordFailsTheOpenWithTheEnginesRefusal) {
    Session().OnPassword = [&](TSession*) { return ++prompts_ < 3; };
    ClinicRecordSets data;
    try {
        data.Open();
        FAIL() << "the open should fail";
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), DBIERR_NOTSUFFTABLERIGHTS);
        EXPECT_EQ(e.Message().rfind(kRefusedText, 0), 0u) << e.Message();
    }
    EXPECT_EQ(prompts_, 3);
}
