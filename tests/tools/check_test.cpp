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

TEST_F(Check, MissingFileFailsTheCheck) {
    std::filesystem::remove(dir_ / "bingli.DB");
    const auto run = RunTool({"check", dir_.Path()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("bingli.DB: missing"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace clinicdb
