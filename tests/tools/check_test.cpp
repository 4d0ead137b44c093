#include <gtest/gtest.h>

#include "tests/tools/tool_test_support.h"
#include "tools/database_check.h"
#include "tools/demo_loader.h"

namespace clinicdb {
namespace {

using testing::Execute;
using testing::RunTool;
using testing::Scribble;
using testing::TempDir;

class Check : public ::testing::Test {
  protected:
    void SetUp() override { LoadDemo(dir_.Path(), {50, dates::FromCivil(2024, 5, 1), 5}); }

    TempDir dir_;
};

TEST_F(Check, SoundDatabasePasses) {
    const auto run = RunTool({"check", dir_.Path()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "bingren.DB: ok\nbingli.DB: ok\n");
}

// The name search's character index: missing is no damage, disagreeing is, and --repair
// builds it anew either way.
TEST_F(Check, VerifiesTheCharacterIndexAndRepairsIt) {
    Execute(dir_ / "bingren.DB",
            "DELETE FROM bingren_Xm_chars WHERE ch_id IN (3, 7); "
            "INSERT INTO bingren_Xm_chars VALUES ('x', 'x', 99999)");
    auto run = RunTool({"check", dir_.Path()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("bingren.DB: the bingren_Xm_chars index disagrees with the table in "),
              std::string::npos)
        << run.err;

    run = RunTool({"check", dir_.Path(), "--repair"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "bingren.DB: ok\nbingren.DB: rebuilt the bingren_Xm_chars index\nbingli.DB: ok\n");
    EXPECT_EQ(RunTool({"check", dir_.Path()}).out, "bingren.DB: ok\nbingli.DB: ok\n");

    Execute(dir_ / "bingren.DB", "DROP TRIGGER bingren_Xm_pinyin_update");
    run = RunTool({"check", dir_.Path()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("bingren.DB: no bingren_Xm_pinyin index: searches by Xm read the "
                           "whole table"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(RunTool({"check", dir_.Path(), "--repair"}).status, 0);
    EXPECT_EQ(RunTool({"check", dir_.Path()}).out, "bingren.DB: ok\nbingli.DB: ok\n");
}

TEST_F(Check, ReportsOrphanVisitsAsAWarningOnly) {
    Execute(dir_ / "bingli.DB",
            "INSERT INTO bingli (Id, Brid) VALUES (90001, 999999), (90000, NULL)");
    const CheckReport report = testing::CheckPlain(dir_.Path());
    EXPECT_TRUE(report.Sound());
    EXPECT_EQ(report.orphanCount, 2);
    EXPECT_EQ(report.firstOrphans, (std::vector<std::int64_t>{90000, 90001}));
    const auto run = RunTool({"check", dir_.Path()});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("warning: 2 visits belong to no patient (Id 90000 90001)"),
              std::string::npos)
        << run.out;
}

TEST_F(Check, NumbersThatDoNotFitTheirFieldAreNamedCellByCell) {
    Execute(dir_ / "bingren.DB", "UPDATE bingren SET Nl = 70000 WHERE Id = 3");
    Execute(dir_ / "bingren.DB", "UPDATE bingren SET Nl = 2.5 WHERE Id = 4");
    Execute(dir_ / "bingli.DB", "UPDATE bingli SET Brid = 5000000000 WHERE Id = 2");
    const auto run = RunTool({"check", dir_.Path()});
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* cell :
         {"bingren.DB: Nl of Id 3 holds 70000", "bingren.DB: Nl of Id 4 holds 2.5",
          "bingli.DB: Brid of Id 2 holds 5000000000"}) {
        EXPECT_NE(run.out.find(std::string("warning: ") + cell + ", which does not fit its field"),
                  std::string::npos)
            << run.out;
    }
}

TEST_F(Check, DeletedPatientLeavesHisVisitsOrphaned) {
    Execute(dir_ / "bingren.DB", "DELETE FROM bingren WHERE Id = 1");
    const auto visits = testing::Query(dir_ / "bingli.DB", "SELECT Id FROM bingli WHERE Brid = 1");
    const CheckReport report = testing::CheckPlain(dir_.Path());
    EXPECT_EQ(report.orphanCount, static_cast<std::int64_t>(visits.size()));
    EXPECT_EQ(report.firstOrphans.front(), std::stoll(visits.front()[0]));
}

TEST_F(Check, DamagedPagesFailTheCheck) {
    ASSERT_GT(std::filesystem::file_size(dir_ / "bingli.DB"), 12u * 4096);
    Scribble(dir_ / "bingli.DB", 10 * 4096 + 8, 3000);
    const auto run = RunTool({"check", dir_.Path()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("bingli.DB: "), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("bingren.DB: ok"), std::string::npos);
}

TEST_F(Check, FileThatIsNoDatabaseFailsTheCheck) {
    Scribble(dir_ / "bingren.DB", 0, 100);
    EXPECT_FALSE(testing::CheckPlain(dir_.Path()).Sound());
    EXPECT_EQ(RunTool({"check", dir_.Path()}).status, 1);
}

// A sound file that lacks a column or the index that the program reads fails the check, which
// names what is missing; the other file is still named sound.
TEST_F(Check, FailsWithTheProgramsMessageWhereTheProgramWouldNotStart) {
    struct Refused {
        const char* file;
        const char* sql;
        const char* line;
    };
    const Refused cases[] = {
        {"bingren.DB", "DROP TRIGGER bingren_deleted_keep; ALTER TABLE bingren DROP COLUMN Jtcy",
         "bingren.DB: column Jtcy (家庭成员) is missing\n"},
        {"bingren.DB",
         "DROP INDEX bingren_xm; DROP TRIGGER bingren_Xm_chars_insert; DROP TRIGGER "
         "bingren_Xm_chars_update; DROP TRIGGER bingren_Xm_chars_delete; DROP TRIGGER "
         "bingren_Xm_pinyin_insert; DROP TRIGGER bingren_Xm_pinyin_update; DROP TRIGGER "
         "bingren_Xm_pinyin_delete; DROP TRIGGER bingren_deleted_keep; ALTER TABLE bingren "
         "DROP COLUMN Xm",
         "bingren.DB: column Xm (姓名) is missing\n"},
        {"bingren.DB",
         "ALTER TABLE bingren RENAME COLUMN Czrq TO Czrq0; ALTER TABLE bingren ADD Czrq INTEGER",
         "bingren.DB: column Czrq (初诊日期) is not declared DATE\n"},
        {"bingli.DB", "DROP INDEX blbrid", "bingli.DB: index blbrid is missing\n"},
    };
    for (const Refused& c : cases) {
        TempDir dir;
        for (const char* file : {"bingren.DB", "bingli.DB"})
            std::filesystem::copy_file(dir_ / file, dir / file);
        Execute(dir / c.file, c.sql);
        const auto run = RunTool({"check", dir.Path()});
        EXPECT_EQ(run.status, 1) << c.sql;
        EXPECT_NE(run.err.find(c.line), std::string::npos) << c.sql << ": " << run.err;
        EXPECT_EQ(run.out.find(std::string(c.file) + ": ok"), std::string::npos) << run.out;
        EXPECT_NE(run.err.find("check failed: a table lacks what the program reads"),
                  std::string::npos)
            << run.err;
    }
}

TEST_F(Check, ACopyLeftBesideATableIsRemovedFirstAndNamed) {
    const auto copy = dir_ / "bingli.DB.copy";
    std::filesystem::copy_file(dir_ / "bingli.DB", copy);
    const auto run = RunTool({"check", dir_.Path()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "removed " + copy.string() +
                           ", left by an interrupted protect or unprotect\n"
                           "bingren.DB: ok\nbingli.DB: ok\n");
    EXPECT_FALSE(std::filesystem::exists(copy));
}

TEST_F(Check, MissingFileFailsTheCheck) {
    std::filesystem::remove(dir_ / "bingli.DB");
    const auto run = RunTool({"check", dir_.Path()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("bingli.DB: missing"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace clinicdb
