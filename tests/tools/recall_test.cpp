#include "tools/recall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "engine/tablecrypt/table_protection.h"
#include "tests/tools/tool_test_support.h"
#include "tools/clinic_schema.h"

namespace clinicdb {
namespace {

using testing::Execute;
using testing::ReadBytes;
using testing::RunTool;
using testing::TempDir;

const std::string kTitles =
    "病历号,姓名,联系电话,复诊预约时间,来诊日期,主诉,是否已提示复诊,对方回复";

class Recall : public ::testing::Test {
  protected:
    void SetUp() override { CreateTableFiles(dir_.Path(), clinic_tables::All()); }

    // Rows as SQL value lists: (Id, Xm, Lxdh, Fzyysj, Sfylxfz, Dfhf) and (Id, Brid, Lzrq, Zhsu).
    void AddPatients(const std::string& rows) {
        Execute(dir_ / "bingren.DB",
                "INSERT INTO bingren (Id, Xm, Lxdh, Fzyysj, Sfylxfz, Dfhf) VALUES " + rows);
    }
    void AddVisits(const std::string& rows) {
        Execute(dir_ / "bingli.DB", "INSERT INTO bingli (Id, Brid, Lzrq, Zhsu) VALUES " + rows);
    }

    // Each line as "Id follow-up last-visit complaint reminded".
    std::vector<std::string> Read(const RecallOptions& options, Day today = 0) {
        testing::PlainTables plain;
        std::vector<std::string> read;
        for (const RecallLine& l : ReadRecall(dir_.Path(), options, today, plain.Get())) {
            read.push_back(std::to_string(l.id) + " " + l.followUp + " " + l.lastVisit + " " +
                           l.complaint + (l.reminded ? " reminded" : ""));
        }
        return read;
    }

    TempDir dir_;
};

Day At(int year, int month, int day) {
    return dates::FromCivil(year, month, day);
}

RecallOptions Span(Day from, Day to) {
    RecallOptions span;
    span.from = from;
    span.to = to;
    return span;
}

// The span's ends are included, the day beyond either is not, and a span over the year's end
// runs in date order, then by record number.
TEST_F(Recall, ListsTheSpanAcrossTheYearsEndInDateOrderWithTheLastVisit) {
    AddPatients(
        "(1, '赵一', '1', '2025-01-01', NULL, NULL), (2, '钱二', '2', '2024-12-29', NULL, NULL),"
        "(3, '孙三', '3', '2024-12-31', '是', '按时复诊'), (4, '李四', '4', '2025-01-03', NULL, "
        "NULL), (5, '周五', '5', '2025-01-01', NULL, NULL), (6, '吴六', '6', '2024-12-30', NULL, "
        "NULL), (7, '郑七', '7', NULL, NULL, NULL), (8, '王八', '8', '2025-01-02', NULL, NULL)");
    // Patient 1's latest visit was recorded before an earlier one; of two on one day the later
    // recorded counts; a visit without a date counts only where there is no other.
    AddVisits(
        "(10, 1, '2024-06-01', '早'), (11, 1, '2024-03-01', '更早'), (9, 1, '2024-09-01', '晚'),"
        "(12, 5, '2024-10-01', '甲'), (13, 5, '2024-10-01', '乙'), (14, 8, NULL, '无日期')");
    EXPECT_EQ(Read(Span(At(2024, 12, 30), At(2025, 1, 2))),
              (std::vector<std::string>{"6 2024-12-30  ", "3 2024-12-31   reminded",
                                        "1 2025-01-01 2024-09-01 晚", "5 2025-01-01 2024-10-01 乙",
                                        "8 2025-01-02  无日期"}));
    EXPECT_EQ(Read(Span(At(2025, 1, 4), At(2025, 12, 31))), std::vector<std::string>{});
}

// Overdue: the follow-up day has passed (today is not past) and no visit came on it or since.
TEST_F(Recall, OverdueAndNotRemindedLeaveOutKeptFollowUpsAndRemindedPatients) {
    AddPatients(
        "(1, 'a', '', '2025-01-09', NULL, NULL), (2, 'b', '', '2025-01-05', NULL, NULL),"
        "(3, 'c', '', '2025-01-05', '否', NULL), (4, 'd', '', '2025-01-10', NULL, NULL),"
        "(5, 'e', '', '2024-12-20', '是', '无人应答'), (6, 'f', '', NULL, NULL, NULL),"
        "(7, 'g', '', '2025-01-08', '', NULL)");
    AddVisits(
        "(1, 2, '2025-01-05', 'same day'), (2, 3, '2025-01-07', 'later'), "
        "(3, 5, '2024-12-01', 'before'), (4, 1, '2025-01-08', 'day before')");
    RecallOptions overdue;
    overdue.overdue = true;
    const Day today = At(2025, 1, 10);
    EXPECT_EQ(Read(overdue, today),
              (std::vector<std::string>{"5 2024-12-20 2024-12-01 before reminded", "7 2025-01-08  ",
                                        "1 2025-01-09 2025-01-08 day before"}));
    overdue.notReminded = true;
    EXPECT_EQ(Read(overdue, today),
              (std::vector<std::string>{"7 2025-01-08  ", "1 2025-01-09 2025-01-08 day before"}));
    RecallOptions notReminded = Span(At(2024, 1, 1), At(2025, 12, 31));
    notReminded.notReminded = true;
    EXPECT_EQ(Read(notReminded).size(), 5u);  // all with a follow-up but the reminded patient 5
}

TEST_F(Recall, TableAlignsByTerminalColumnsWithWideCharactersTakingTwo) {
    AddPatients(
        "(7, '欧阳娜娜', '13800000000', '2025-01-01', '是', '改时再约'),"
        "(12, 'Li', '0571-1', '2025-01-02', NULL, NULL)");
    AddVisits("(1, 12, '2024-12-01', 'pain' || char(10) || 'left')");
    const auto run = RunTool({"recall", dir_.Path(), "--from", "2025-01-01", "--to", "2025-01-02"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "病历号  姓名      联系电话     复诊预约时间  来诊日期    主诉       "
              "是否已提示复诊  对方回复\n"
              "7       欧阳娜娜  13800000000  2025-01-01                           "
              "是              改时再约\n"
              "12      Li        0571-1       2025-01-02    2024-12-01  pain left  否\n");
}

TEST_F(Recall, CsvQuotesSeparatorsQuotesAndLineBreaksAndIsReplacedWhole) {
    AddPatients(
        "(1, '李,四', '138,139', '2025-01-01', '是', '按时复诊'),"
        "(2, '王\"五', '', '2025-01-01', NULL, NULL)");
    AddVisits("(1, 1, '2024-12-01', 'pain \"sharp\"' || char(13) || char(10) || 'left')");
    const auto file = dir_ / "recall.csv";
    std::ofstream(file) << "an older list";
    const auto run = RunTool({"recall", dir_.Path(), "--from", "2025-01-01", "--to", "2025-01-01",
                              "--csv", file.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "wrote 2 patients to " + file.string() + "\n");
    EXPECT_EQ(ReadBytes(file), "\xEF\xBB\xBF" + kTitles +
                                   "\r\n"
                                   "1,\"李,四\",\"138,139\",2025-01-01,2024-12-01,\"pain "
                                   "\"\"sharp\"\"\r\nleft\",是,按时复诊\r\n"
                                   "2,\"王\"\"五\",,2025-01-01,,,否,\r\n");

    // A CSV that cannot take the place of what is there leaves it, and no half file beside it.
    std::filesystem::create_directory(dir_ / "taken.csv");
    const auto refused =
        RunTool({"recall", dir_.Path(), "--overdue", "--csv", (dir_ / "taken.csv").string()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("cannot write " + (dir_ / "taken.csv").string()), std::string::npos)
        << refused.err;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"bingli.DB", "bingren.DB", "recall.csv", "taken.csv"}));
}

TEST_F(Recall, ProtectedTablesAskForTheirPassword) {
    AddPatients("(1, '张三', '1', '2025-01-01', NULL, NULL)");
    tablecrypt::Protect(dir_ / "bingren.DB", "pw", testing::kQuickCost);
    const std::vector<std::string> args = {"recall",     dir_.Path(), "--from",
                                           "2025-01-01", "--to",      "2025-01-01"};
    const auto run = RunTool(args, {"pw"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("张三"), std::string::npos) << run.out;
    const auto none = RunTool(args);
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("no password given"), std::string::npos) << none.err;
}

TEST(RecallArguments, SaysWhichEndOfTheSpanIsWrongAndThatTheDirectoryIsMissing) {
    const auto reversed = RunTool({"recall", "d", "--from", "2025-01-02", "--to", "2025-01-01"});
    EXPECT_EQ(reversed.status, 2);
    EXPECT_NE(reversed.err.find("--from 2025-01-02 is after --to 2025-01-01"), std::string::npos);

    TempDir dir;
    const auto missing = RunTool({"recall", (dir / "none").string(), "--overdue"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "clinicdb: no database directory " + (dir / "none").string() + "\n");
}

}  // namespace
}  // namespace clinicdb
