#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

#include "base/dates.h"
#include "base/gbk_text.h"
#include "tests/tools/tool_test_support.h"
#include "tools/database_check.h"
#include "tools/database_summary.h"
#include "tools/demo_loader.h"

namespace clinicdb {
namespace {

using testing::Query;
using testing::Row;
using testing::TempDir;

const Day kToday = dates::FromCivil(2024, 5, 1);
constexpr std::int64_t kPatients = 1000;
constexpr const char* kNull = "<null>";

// One demo load shared by the tests that only read it.
class DemoData : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        result_ = LoadDemo(dir_->Path(), {kPatients, kToday, 7});
    }
    static void TearDownTestSuite() { delete dir_; }

    static std::filesystem::path Patients() { return *dir_ / "bingren.DB"; }
    static std::filesystem::path Visits() { return *dir_ / "bingli.DB"; }

    static TempDir* dir_;
    static DemoResult result_;
};

TempDir* DemoData::dir_ = nullptr;
DemoResult DemoData::result_;

// The width a VARCHAR(n) column declares, or 0 for other types.
std::size_t DeclaredWidth(const std::string& type) {
    static const std::regex varchar(R"(VARCHAR\((\d+)\))");
    std::smatch m;
    return std::regex_match(type, m, varchar) ? std::stoul(m[1]) : 0;
}

void ExpectValuesFitInGbkBytes(const std::filesystem::path& file, const std::string& table) {
    for (const Row& column :
         Query(file, "SELECT name, type FROM pragma_table_info('" + table + "')")) {
        const std::size_t width = DeclaredWidth(column[1]);
        if (width == 0) continue;
        for (const Row& value : Query(file, "SELECT " + column[0] + " FROM " + table + " WHERE " +
                                                column[0] + " IS NOT NULL")) {
            ASSERT_LE(gbk::Length(value[0]), width) << column[0] << ": " << value[0];
            ASSERT_FALSE(value[0].empty()) << column[0] << " holds '' instead of NULL";
        }
    }
}

TEST_F(DemoData, EveryTextFitsItsColumnInGbkBytes) {
    ExpectValuesFitInGbkBytes(Patients(), "bingren");
    ExpectValuesFitInGbkBytes(Visits(), "bingli");
}

TEST_F(DemoData, PatientsLookReal) {
    static const std::regex phone(R"((1[3-9]\d{9}|0\d{3}-[2-8]\d{7})(,0\d{3}-[2-8]\d{7})?)");
    const std::set<std::string> replies = {kNull,      "按时复诊", "改时再约",
                                           "放弃治疗", "无人应答", "电话换号"};
    std::map<std::string, int> names;
    for (const Row& p : Query(Patients(), "SELECT Xm, Xb, Nl, Lxdh, Sfylxfz, Dfhf FROM bingren")) {
        const std::size_t nameBytes = gbk::Length(p[0]);
        EXPECT_TRUE(nameBytes >= 4 && nameBytes <= 8) << p[0];
        EXPECT_TRUE(p[1] == "男" || p[1] == "女") << p[1];
        EXPECT_TRUE(std::stoi(p[2]) >= 1 && std::stoi(p[2]) <= 90) << p[2];
        EXPECT_TRUE(p[3] == kNull || std::regex_match(p[3], phone)) << p[3];
        EXPECT_TRUE(p[4] == kNull || p[4] == "是" || p[4] == "否") << p[4];
        EXPECT_TRUE(replies.count(p[5])) << p[5];
        ++names[p[0]];
    }
    EXPECT_TRUE(std::any_of(names.begin(), names.end(), [](const auto& n) { return n.second > 1; }))
        << "some patients share a name";
}

TEST_F(DemoData, EveryVisitBelongsToAPatientAndFollowsHisFirstVisit) {
    std::map<std::string, Day> firstVisit;
    for (const Row& p : Query(Patients(), "SELECT Id, Czrq FROM bingren"))
        firstVisit[p[0]] = *dates::ParseStoredDate(p[1]);
    std::map<std::string, int> visitsOf;
    for (const Row& v : Query(Visits(), "SELECT Brid, Lzrq FROM bingli")) {
        ASSERT_TRUE(firstVisit.count(v[0])) << "visit of unknown patient " << v[0];
        const Day date = *dates::ParseStoredDate(v[1]);
        EXPECT_GE(date, firstVisit[v[0]]);
        EXPECT_LE(date, kToday);
        ++visitsOf[v[0]];
    }
    EXPECT_EQ(visitsOf.size(), firstVisit.size());
    for (const auto& [patient, count] : visitsOf) EXPECT_TRUE(count >= 1 && count <= 9);
    const double average = static_cast<double>(result_.visits) / kPatients;
    EXPECT_TRUE(average > 4 && average < 6) << average;
}

TEST_F(DemoData, PatientFollowUpIsHisLatestVisitFollowUp) {
    std::map<std::string, std::string> latest;
    for (const Row& v : Query(Visits(), "SELECT Brid, max(Fzyysj) FROM bingli GROUP BY Brid"))
        latest[v[0]] = v[1];
    for (const Row& p : Query(Patients(), "SELECT Id, ifnull(Fzyysj, '<null>') FROM bingren"))
        EXPECT_EQ(p[1], latest[p[0]]) << "patient " << p[0];
}

TEST_F(DemoData, AboutOnePatientInAHundredIsDueTomorrow) {
    const auto due = Query(Patients(), "SELECT count(*) FROM bingren WHERE Fzyysj = '2024-05-02'");
    EXPECT_EQ(std::stoll(due[0][0]), result_.dueTomorrow);
    EXPECT_TRUE(result_.dueTomorrow >= 4 && result_.dueTomorrow <= 25) << result_.dueTomorrow;
}

TEST_F(DemoData, SomeMemosRunPast200Bytes) {
    int longer = 0;
    for (const Row& v : Query(Visits(), "SELECT Zhiliao FROM bingli"))
        longer += gbk::Length(v[0]) > 200;
    EXPECT_GT(longer, 0);
}

TEST_F(DemoData, FilesAreSoundAndSummaryAgrees) {
    EXPECT_TRUE(testing::CheckPlain(dir_->Path()).Sound());
    testing::PlainTables plain;
    const Summary s = ReadSummary(dir_->Path(), kToday, plain.Get());
    EXPECT_EQ(s.patients, kPatients);
    EXPECT_EQ(s.visits, result_.visits);
    EXPECT_EQ(s.dueTomorrow, result_.dueTomorrow);
    ASSERT_EQ(s.firstPatients.size(), 5u);
    EXPECT_EQ(s.firstPatients[4].id, 5);
    EXPECT_EQ(s.firstPatients[0].name,
              Query(Patients(), "SELECT Xm FROM bingren WHERE Id = 1")[0][0]);
}

std::vector<Row> Everything(const std::filesystem::path& dir) {
    auto rows = Query(dir / "bingren.DB", "SELECT * FROM bingren ORDER BY Id");
    const auto visits = Query(dir / "bingli.DB", "SELECT * FROM bingli ORDER BY Id");
    rows.insert(rows.end(), visits.begin(), visits.end());
    return rows;
}

TEST(Demo, SameSeedSameData) {
    TempDir a, b, c;
    LoadDemo(a.Path(), {200, kToday, 42});
    LoadDemo(b.Path(), {200, kToday, 42});
    LoadDemo(c.Path(), {200, kToday, 43});
    EXPECT_EQ(Everything(a.Path()), Everything(b.Path()));
    EXPECT_NE(Everything(a.Path()), Everything(c.Path()));
}

TEST(Demo, FillsTablesThatCreateMadeAndKeepsTheirSchema) {
    TempDir created, fresh;
    ASSERT_EQ(testing::RunTool({"create", created.Path()}).status, 0);
    const auto run =
        testing::RunTool({"demo", created.Path(), "--patients", "20", "--today", "2024-05-01"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("20 patients"), std::string::npos) << run.out;
    LoadDemo(fresh.Path(), {20, kToday, 1});
    for (const char* file : {"bingren.DB", "bingli.DB"}) {
        const char* schema = "SELECT type, name, sql FROM sqlite_schema ORDER BY name";
        EXPECT_EQ(Query(created / file, schema), Query(fresh / file, schema)) << file;
    }
}

TEST(Demo, RefusesTablesThatHoldRows) {
    TempDir dir;
    LoadDemo(dir.Path(), {10, kToday, 1});
    const auto run = testing::RunTool({"demo", dir.Path(), "--patients", "10"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("not empty"), std::string::npos) << run.err;
    EXPECT_EQ(Query(dir / "bingren.DB", "SELECT count(*) FROM bingren")[0][0], "10");
}

}  // namespace
}  // namespace clinicdb
