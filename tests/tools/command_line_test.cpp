#include "tools/command_line.h"

#include <gtest/gtest.h>

#include "tests/tools/tool_test_support.h"

namespace clinicdb {
namespace {

using testing::RunTool;

Arguments Parse(std::vector<std::string_view> args) {
    return ParseArguments(args);
}

TEST(CommandLine, ReadsDemoOptions) {
    const Arguments a =
        Parse({"demo", "/x/y", "--seed", "9", "--patients", "250", "--today", "2024-05-01"});
    EXPECT_EQ(a.command, Command::kDemo);
    EXPECT_EQ(a.dir, "/x/y");
    EXPECT_EQ(a.demo.patients, 250);
    EXPECT_EQ(a.demo.seed, 9u);
    EXPECT_EQ(a.demo.today, dates::FromCivil(2024, 5, 1));
}

TEST(CommandLine, SummaryTakesToday) {
    const Arguments a = Parse({"summary", "d", "--today", "2024-12-31"});
    EXPECT_EQ(a.command, Command::kSummary);
    EXPECT_EQ(a.demo.today, dates::FromCivil(2024, 12, 31));
}

TEST(CommandLine, ProtectionCommandsTakeATableWithOrWithoutItsSuffix) {
    EXPECT_EQ(Parse({"protect", "d", "bingren"}).table, "bingren");
    EXPECT_EQ(Parse({"unprotect", "d", "bingli.DB"}).command, Command::kUnprotect);
    EXPECT_EQ(Parse({"unprotect", "d", "bingli.DB"}).table, "bingli");
    EXPECT_EQ(Parse({"password", "d", "bingren.db"}).table, "bingren");
}

TEST(CommandLine, ConnectionStringsNameAServerAndAllElseADirectory) {
    const Arguments keyValue = Parse({"check", "host=/run/pg dbname=clinic"});
    EXPECT_EQ(keyValue.server, "host=/run/pg dbname=clinic");
    EXPECT_EQ(keyValue.dir, "");
    EXPECT_EQ(Parse({"summary", "postgresql://db/clinic"}).server, "postgresql://db/clinic");
    EXPECT_EQ(Parse({"create", "postgres://db/clinic"}).server, "postgres://db/clinic");
    const Arguments dir = Parse({"create", "postgresql:/x"});
    EXPECT_EQ(dir.dir, "postgresql:/x");
    EXPECT_EQ(dir.server, "");
    const Arguments push = Parse({"push", "d", "dbname=clinic"});
    EXPECT_EQ(push.command, Command::kPush);
    EXPECT_EQ(push.dir, "d");
    EXPECT_EQ(push.server, "dbname=clinic");
    const Arguments pull = Parse({"pull", "postgresql://db/clinic", "d"});
    EXPECT_EQ(pull.command, Command::kPull);
    EXPECT_EQ(pull.dir, "d");
    EXPECT_EQ(pull.server, "postgresql://db/clinic");
}

TEST(CommandLine, BadArgumentsExitWithStatusTwoAndUsage) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"create"},
        {"remove", "d"},
        {"create", ""},
        {"create", "d", "extra"},
        {"check", "d", "--seed", "1"},
        {"summary", "d", "--repair"},
        {"demo", "d"},
        {"demo", "d", "--patients"},
        {"demo", "d", "--patients", "0"},
        {"demo", "d", "--patients", "12x"},
        {"demo", "d", "--patients", "-5"},
        {"demo", "d", "--patients", "5", "--seed", "-1"},
        {"demo", "d", "--patients", "5", "--today", "2024-02-30"},
        {"summary", "d", "--patients", "5"},
        {"recall", "d"},
        {"recall", "d", "--from", "2025-01-01"},
        {"recall", "d", "--to", "2025-01-01"},
        {"recall", "d", "--from", "2025-1-1", "--to", "2025-01-02"},
        {"recall", "d", "--from", "2025-01-01", "--to", "2025-02-30"},
        {"recall", "d", "--from", "01/01/2025", "--to", "2025-01-02"},
        {"recall", "d", "--from", "2025-01-02", "--to", "2025-01-01"},
        {"recall", "d", "--overdue", "--from", "2025-01-01", "--to", "2025-01-02"},
        {"recall", "d", "--overdue", "--csv", ""},
        {"recall", "d", "--overdue", "--csv"},
        {"recall", "d", "--overdue", "--today", "tomorrow"},
        {"summary", "d", "--overdue"},
        {"check", "d", "--not-reminded"},
        {"protect", "d"},
        {"protect", "d", "bingren", "extra"},
        {"unprotect", "d", ".DB"},
        {"unprotect", "d", "../bingren"},
        {"password", "d", ""},
        {"protect", "host=h dbname=c", "bingren"},
        {"check", "host=h dbname=c", "--repair"},
        {"backup", "d", "dbname=c"},
        {"push", "d"},
        {"push", "d", "e"},
        {"push", "dbname=c", "dbname=d"},
        {"pull", "d", "dbname=c"},
        {"pull", "dbname=c", "d", "extra"}};
    for (const auto& args : bad) {
        const auto run = RunTool(args);
        EXPECT_EQ(run.status, 2) << ::testing::PrintToString(args);
        EXPECT_NE(run.err.find("usage: clinicdb"), std::string::npos);
        EXPECT_EQ(run.out, "");
    }
}

TEST(CommandLine, HelpGoesToStandardOutput) {
    const auto run = RunTool({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("usage: clinicdb"), std::string::npos);
}

}  // namespace
}  // namespace clinicdb
