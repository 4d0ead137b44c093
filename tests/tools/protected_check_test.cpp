#include <gtest/gtest.h>

#include <cstdio>

#include "engine/tablecrypt/table_protection.h"
#include "tests/tools/tool_test_support.h"
#include "tools/database_check.h"
#include "tools/demo_loader.h"

namespace clinicdb {
namespace {

using testing::kQuickCost;
using testing::RunTool;
using testing::TempDir;

class ProtectedDirectory : public ::testing::Test {
  protected:
    void SetUp() override { LoadDemo(dir_.Path(), {50, dates::FromCivil(2024, 5, 1), 5}); }

    void Protect(const std::string& table) {
        tablecrypt::Protect(dir_ / (table + ".DB"), "pw", kQuickCost);
    }
    void ProtectBoth() {
        Protect("bingren");
        Protect("bingli");
    }

    TempDir dir_;
};

TEST_F(ProtectedDirectory, ProtectedFilesCheckSoundWithTheirPassword) {
    ProtectBoth();
    const auto run = RunTool({"check", dir_.Path()}, {"pw"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "bingren.DB: ok\nbingli.DB: ok\n");
}

TEST_F(ProtectedDirectory, ThePasswordIsAskedOnceForEveryTable) {
    ProtectBoth();
    testing::ScriptedPasswords source({"pw"});
    TableOpener tables(source);
    EXPECT_TRUE(CheckDatabase(dir_.Path(), tables).Sound());
    EXPECT_EQ(source.Prompts(), (std::vector<std::string>{"Password: "}));
}

TEST_F(ProtectedDirectory, ATableOfAnotherPasswordAsksForItByName) {
    Protect("bingren");
    tablecrypt::Protect(dir_ / "bingli.DB", "other", kQuickCost);
    testing::ScriptedPasswords source({"pw", "other"});
    TableOpener tables(source);
    EXPECT_TRUE(CheckDatabase(dir_.Path(), tables).Sound());
    EXPECT_EQ(source.Prompts(),
              (std::vector<std::string>{"Password: ", "Password for bingli.DB: "}));
    const auto run = RunTool({"check", dir_.Path()}, {"pw", "wrong"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("the password does not open " + (dir_ / "bingli.DB").string()),
              std::string::npos)
        << run.err;
}

TEST_F(ProtectedDirectory, PlainFilesAskForNoPassword) {
    testing::ScriptedPasswords source({"pw"});
    TableOpener tables(source);
    EXPECT_TRUE(CheckDatabase(dir_.Path(), tables).Sound());
    EXPECT_TRUE(source.Prompts().empty());
}

// Orphans are found across a protected file and a plain one, whichever is protected.
TEST_F(ProtectedDirectory, OrphanVisitsAreFoundWhenEitherFileIsProtected) {
    testing::Execute(dir_ / "bingli.DB", "INSERT INTO bingli (Id, Brid) VALUES (90000, 999999)");
    for (const std::string table : {"bingren", "bingli"}) {
        TempDir dir;
        for (const char* file : {"bingren.DB", "bingli.DB"})
            std::filesystem::copy_file(dir_ / file, dir / file);
        tablecrypt::Protect(dir / (table + ".DB"), "pw", kQuickCost);
        const auto run = RunTool({"check", dir.Path()}, {"pw"});
        EXPECT_EQ(run.status, 0) << table << ": " << run.err;
        EXPECT_NE(run.out.find("warning: 1 visits belong to no patient (Id 90000)"),
                  std::string::npos)
            << table << ": " << run.out;
    }
}

TEST_F(ProtectedDirectory, WrongPasswordFailsClearlyAndIsNoDamage) {
    ProtectBoth();
    const auto run = RunTool({"check", dir_.Path()}, {"wrong"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "clinicdb: the password does not open " + (dir_ / "bingren.DB").string() + "\n");
    EXPECT_EQ(run.out, "");
}

TEST_F(ProtectedDirectory, MissingPasswordFailsClearly) {
    Protect("bingli");
    const auto run = RunTool({"check", dir_.Path()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "clinicdb: no password given\n");
}

TEST_F(ProtectedDirectory, DamagedProtectionHeaderFailsTheCheck) {
    ProtectBoth();
    testing::Scribble(dir_ / "bingli.DB", 0, 8);
    const auto run = RunTool({"check", dir_.Path()}, {"pw"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "bingren.DB: ok\n");
    EXPECT_NE(run.err.find("bingli.DB: file is not a database"), std::string::npos) << run.err;
    testing::Scribble(dir_ / "bingren.DB", 40, 4);
    EXPECT_NE(
        RunTool({"check", dir_.Path()}, {"pw"}).err.find("bingren.DB: damaged protection header"),
        std::string::npos);
}

TEST_F(ProtectedDirectory, DamagedPageOfAProtectedFileFailsTheCheck) {
    ProtectBoth();
    ASSERT_GT(std::filesystem::file_size(dir_ / "bingli.DB"), 12u * 4096);
    testing::Scribble(dir_ / "bingli.DB", 10 * 4096 + 8, 100);
    const auto run = RunTool({"check", dir_.Path()}, {"pw"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "bingren.DB: ok\n");
    // In the engine's words, as the program shows it.
    EXPECT_NE(run.err.find("bingli.DB: A page of the protected table file failed its check: the "
                           "file is damaged or was altered\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("check failed: the database is damaged"), std::string::npos);
}

TEST_F(ProtectedDirectory, SummaryReadsProtectedFilesWithTheirPassword) {
    const auto plain = RunTool({"summary", dir_.Path(), "--today", "2024-05-01"});
    ProtectBoth();
    const auto run = RunTool({"summary", dir_.Path(), "--today", "2024-05-01"}, {"pw"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, plain.out);
    EXPECT_NE(run.out.find("patients: 50\n"), std::string::npos) << run.out;
    const auto wrong = RunTool({"summary", dir_.Path()}, {"wrong"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("the password does not open"), std::string::npos) << wrong.err;
}

TEST_F(ProtectedDirectory, DemoRefusesAProtectedTable) {
    TempDir dir;
    RunTool({"create", dir.Path()});
    tablecrypt::Protect(dir / "bingren.DB", "pw", kQuickCost);
    const auto run = RunTool({"demo", dir.Path(), "--patients", "5"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("bingren.DB is protected"), std::string::npos) << run.err;
}

// The program itself, its standard input a pipe: the passwords are its lines.
int RunProgram(const std::string& args, const std::string& input, const TempDir& dir) {
    const std::string command = std::string(CLINICDB_PROGRAM) + " " + args + " >'" +
                                (dir / "out").string() + "' 2>'" + (dir / "err").string() + "'";
    FILE* pipe = popen(command.c_str(), "w");
    if (pipe == nullptr) return -1;
    std::fputs(input.c_str(), pipe);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ProtectedDirectory, ProgramReadsPasswordsFromAPipeAndProtectsAtTheDefaultCost) {
    TempDir output;
    const std::string dir = "'" + dir_.Path().string() + "'";
    ASSERT_EQ(RunProgram("protect " + dir + " bingren", "pw\n", output), 0)
        << testing::ReadBytes(output / "err");
    EXPECT_EQ(tablecrypt::ReadTableHeader(dir_ / "bingren.DB").cost, tablecrypt::KdfCost{});
    EXPECT_EQ(RunProgram("check " + dir, "pw\n", output), 0) << testing::ReadBytes(output / "err");
    EXPECT_EQ(testing::ReadBytes(output / "out"), "bingren.DB: ok\nbingli.DB: ok\n");
    EXPECT_EQ(RunProgram("check " + dir, "wrong\n", output), 1);
    EXPECT_NE(testing::ReadBytes(output / "err").find("the password does not open"),
              std::string::npos);
}

}  // namespace
}  // namespace clinicdb
