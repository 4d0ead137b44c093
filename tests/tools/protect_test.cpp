#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <tuple>

#include "engine/sqlitekit/table_use.h"
#include "engine/tablecrypt/table_protection.h"
#include "tests/support/other_user.h"
#include "tests/tools/tool_test_support.h"
#include "tools/demo_loader.h"
#include "tools/protection_commands.h"
#include "tools/tool_error.h"

namespace clinicdb {
namespace {

using testing::kQuickCost;
using testing::Query;
using testing::ReadBytes;
using testing::Row;
using testing::RunTool;
using testing::ScriptedPasswords;
using testing::TempDir;

constexpr const char* kAllPatients = "SELECT * FROM bingren ORDER BY Id";

class Protection : public ::testing::Test {
  protected:
    void SetUp() override {
        LoadDemo(dir_.Path(), {50, dates::FromCivil(2024, 5, 1), 5});
        plainRows_ = Query(file_, kAllPatients);
    }

    void Protect(const std::string& password) {
        ScriptedPasswords source({password});
        ProtectTable(file_, source, kQuickCost);
    }

    // Runs the command on the patients' file with the passwords as standard input.
    testing::ToolRun Run(const std::string& command, const std::vector<std::string>& passwords) {
        return RunTool({command, dir_.Path(), "bingren"}, passwords);
    }

    // Unprotect and password change must each fail with the error `message` and leave the file
    // as it was.
    void ExpectBothRefused(const std::vector<std::string>& passwords, const std::string& message) {
        const std::string before = ReadBytes(file_);
        for (const std::string command : {"unprotect", "password"}) {
            const auto run = Run(command, passwords);
            EXPECT_EQ(run.status, 1) << command;
            EXPECT_EQ(run.err, "clinicdb: " + message + "\n") << command;
            EXPECT_EQ(ReadBytes(file_), before) << command;
        }
    }

    TempDir dir_;
    std::filesystem::path file_ = dir_ / "bingren.DB";
    std::vector<Row> plainRows_;
};

TEST_F(Protection, ProtectedFileOpensWithItsPasswordOnlyAndKeepsItsRows) {
    Protect("pw");
    EXPECT_TRUE(tablecrypt::IsProtected(file_));
    EXPECT_EQ(Query(file_, kAllPatients, "pw"), plainRows_);
    EXPECT_THROW(Query(file_, kAllPatients, "wrong"), tablecrypt::WrongPassword);
    EXPECT_EQ(Query(file_, "PRAGMA integrity_check", "pw"), (std::vector<Row>{{"ok"}}));
}

TEST_F(Protection, ProtectedFileHoldsNoPatientNameNorPhone) {
    const std::vector<Row> secrets = Query(file_, "SELECT Xm, Lxdh FROM bingren");
    const std::string before = ReadBytes(file_);
    Protect("pw");
    const std::string after = ReadBytes(file_);
    // The plain file holds them as a byte search finds them; the protected one does not.
    for (const Row& row : secrets) {
        for (const std::string& secret : row) {
            if (secret == "<null>") continue;
            EXPECT_NE(before.find(secret), std::string::npos) << secret;
            EXPECT_EQ(after.find(secret), std::string::npos) << secret;
        }
    }
    EXPECT_EQ(after.find("SQLite format 3"), std::string::npos);
}

TEST_F(Protection, UnprotectGivesAPlainFileWithTheSameRows) {
    Protect("pw");
    const auto run = Run("unprotect", {"pw"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "unprotected " + file_.string() + "\n");
    EXPECT_FALSE(tablecrypt::IsProtected(file_));
    EXPECT_EQ(ReadBytes(file_).substr(0, 16), std::string("SQLite format 3\0", 16));
    EXPECT_EQ(Query(file_, kAllPatients), plainRows_);
    EXPECT_EQ(Query(file_, "PRAGMA integrity_check"), (std::vector<Row>{{"ok"}}));
}

TEST_F(Protection, PasswordChangeRewritesTheHeaderOnly) {
    Protect("old");
    const std::string before = ReadBytes(file_);
    ScriptedPasswords source({"old", "new"});
    ChangeTablePassword(file_, source, kQuickCost);
    const std::string after = ReadBytes(file_);
    EXPECT_NE(after.substr(0, 4096), before.substr(0, 4096));
    EXPECT_EQ(after.substr(4096), before.substr(4096));
    EXPECT_THROW(Query(file_, kAllPatients, "old"), tablecrypt::WrongPassword);
    EXPECT_EQ(Query(file_, kAllPatients, "new"), plainRows_);
}

TEST_F(Protection, PasswordCommandReadsTheOldPasswordThenTheNew) {
    Protect("old");
    const auto run = RunTool({"password", dir_.Path(), "bingren.DB"}, {"old", "new"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "changed the password of " + file_.string() + "\n");
    EXPECT_EQ(Query(file_, kAllPatients, "new"), plainRows_);
}

TEST_F(Protection, WrongPasswordChangesNothing) {
    Protect("pw");
    ExpectBothRefused({"wrong", "new"},
                      "wrong password for " + file_.string() + "; nothing was changed");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "bingren.DB.copy"));
}

TEST_F(Protection, ProtectingTwiceIsRefusedBeforeAPasswordIsAsked) {
    Protect("pw");
    const std::string before = ReadBytes(file_);
    ScriptedPasswords source({"other"});
    EXPECT_THROW(ProtectTable(file_, source, kQuickCost), ToolError);
    EXPECT_TRUE(source.Prompts().empty());
    const auto run = Run("protect", {"other"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is protected already"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(file_), before);
}

TEST_F(Protection, PlainFileIsNotUnprotectedNorGivenANewPassword) {
    ExpectBothRefused({"pw", "new"}, file_.string() + " is not protected; nothing was changed");
}

TEST_F(Protection, DifferingNewPasswordsLeaveThePlainFile) {
    const std::string before = ReadBytes(file_);
    ScriptedPasswords source({"one", "two"}, true);
    EXPECT_THROW(ProtectTable(file_, source, kQuickCost), ToolError);
    EXPECT_EQ(ReadBytes(file_), before);
}

// A copy in clear never outlives the command that made it: the next command on the table,
// whichever it is, removes a copy that an interrupted one left, and says so.
TEST_F(Protection, EveryCommandRemovesACopyLeftByAnInterruptedOneAndSaysSo) {
    const auto copy = dir_ / "bingren.DB.copy";
    const auto plain = dir_ / "plain";
    std::filesystem::copy_file(file_, plain);
    const std::string removed =
        "removed " + copy.string() + ", left by an interrupted protect or unprotect\n";
    const std::pair<std::string, std::vector<std::string>> commands[] = {
        {"protect", {"pw"}}, {"password", {"pw", "new"}}, {"unprotect", {"new"}}};
    for (const auto& [command, passwords] : commands) {
        std::filesystem::copy_file(plain, copy);
        const auto run = Run(command, passwords);
        EXPECT_EQ(run.status, 0) << command << ": " << run.err;
        EXPECT_EQ(run.out.substr(0, removed.size()), removed) << command;
        EXPECT_FALSE(std::filesystem::exists(copy)) << command;
    }
    EXPECT_EQ(Query(file_, kAllPatients), plainRows_);
}

// Whoever could use the table before can use it after: the new file is the old one's.
TEST_F(Protection, TheNewFileKeepsTheTablesOwnerGroupAndMode) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can give a file another owner";
    ASSERT_EQ(chown(file_.c_str(), test_support::kFirstLogin, test_support::kStaffGroup), 0);
    ASSERT_EQ(chmod(file_.c_str(), 0660), 0);
    const auto access = [&] {
        struct stat info {};
        EXPECT_EQ(stat(file_.c_str(), &info), 0);
        return std::tuple(info.st_uid, info.st_gid, info.st_mode & 07777);
    };
    const auto before = access();
    Protect("pw");
    EXPECT_EQ(access(), before);
    ASSERT_EQ(Run("unprotect", {"pw"}).status, 0);
    EXPECT_EQ(access(), before);
}

TEST_F(Protection, TableOpenInARunningProgramIsLeftAlone) {
    const dbe::TableUse program(file_, dbe::TableUse::Kind::Shared);
    const std::string before = ReadBytes(file_);
    const auto run = Run("protect", {"pw"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "clinicdb: " + file_.string() +
                           " is open in a running program; nothing was changed\n");
    EXPECT_EQ(ReadBytes(file_), before);
}

TEST_F(Protection, PasswordOfATableOpenInARunningProgramStays) {
    Protect("pw");
    const dbe::TableUse program(file_, dbe::TableUse::Kind::Shared);
    const std::string before = ReadBytes(file_);
    const auto run = Run("password", {"pw", "new"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "clinicdb: " + file_.string() +
                           " is open in a running program; nothing was changed\n");
    EXPECT_EQ(ReadBytes(file_), before);
}

TEST_F(Protection, MissingTableIsReported) {
    const auto run = RunTool({"protect", dir_.Path(), "zhenduan"}, {"pw"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "clinicdb: no table file " + (dir_ / "zhenduan.DB").string() + "\n");
}

TEST_F(Protection, DamagedHeaderIsReportedAndLeftAlone) {
    Protect("pw");
    testing::Scribble(file_, 40, 4);  // inside the salt
    ExpectBothRefused({"pw", "new"},
                      file_.string() + " has a damaged protection header; nothing was changed");
}

TEST_F(Protection, DamagedPageIsNotUnprotected) {
    Protect("pw");
    ASSERT_GT(std::filesystem::file_size(file_), 3u * 4096);
    testing::Scribble(file_, 2 * 4096 + 8, 100);  // the second page
    const std::string before = ReadBytes(file_);
    const auto run = Run("unprotect", {"pw"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(file_.string() + ": "), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(file_), before);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "bingren.DB.copy"));
}

TEST_F(Protection, ChinesePasswordIsTheProgramsGbkBytes) {
    Protect("密码");
    EXPECT_EQ(Query(file_, kAllPatients, "\xC3\xDC\xC2\xEB"), plainRows_);
    EXPECT_THROW(Query(file_, kAllPatients, "密码"), tablecrypt::WrongPassword);
}

}  // namespace
}  // namespace clinicdb
