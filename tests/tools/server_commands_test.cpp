// clinicdb's commands on a server: create, demo, check, summary, recall, deleted, undelete,
// push and pull, against the throwaway cluster. Each test works in a schema of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "base/clinic_tables.h"
#include "base/dates.h"
#include "engine/tablecrypt/table_protection.h"
#include "tests/engine/pg/cluster.h"
#include "tests/tools/tool_test_support.h"
#include "tools/demo_loader.h"
#include "tools/row_digest.h"
#include "tools/server_schema.h"

namespace clinicdb {
namespace {

using testing::Query;
using testing::Row;
using testing::RunTool;
using testing::TempDir;

const Day kToday = dates::FromCivil(2024, 5, 1);
constexpr const char* kTablePassword = "pw";

using Schema = pgkit_test::FreshSchema;

// The rows of `sql` run in `schema`, each value as text, NULL as "<null>".
std::vector<Row> Rows(Schema& schema, const std::string& sql) {
    const pgkit::Result result = schema.Session().Query(sql);
    std::vector<Row> rows(static_cast<std::size_t>(result.Rows()));
    for (int r = 0; r < result.Rows(); ++r) {
        for (int c = 0; c < result.Columns(); ++c)
            rows[r].emplace_back(result.IsNull(r, c) ? "<null>" : result.Text(r, c));
    }
    return rows;
}

// Every row of the table file with each value quoted as SQLite quotes it, so that a number, a
// text, an empty text and NULL all differ.
std::vector<Row> QuotedRows(const std::filesystem::path& dir, const clinic_tables::Table& table,
                            std::optional<std::string_view> password = std::nullopt) {
    std::string sql = "SELECT ";
    for (const clinic_tables::Column& column : table.columns)
        sql += (&column == &table.columns.front() ? "quote(" : ", quote(") +
               std::string(column.name) + ")";
    sql += " FROM " + std::string(table.name) + " ORDER BY Id";
    return Query(dir / (std::string(table.name) + ".DB"), sql, password);
}

std::vector<Row> Sequence(const std::filesystem::path& file,
                          std::optional<std::string_view> password = std::nullopt) {
    return Query(file, "SELECT name, seq FROM sqlite_sequence", password);
}

std::vector<Row> SchemaObjects(const std::filesystem::path& file) {
    return Query(file, "SELECT type, name, tbl_name, sql FROM sqlite_schema ORDER BY name");
}

std::string Digest(const std::vector<std::vector<std::optional<std::string_view>>>& rows) {
    RowDigest digest;
    for (const auto& row : rows) {
        for (const auto& value : row) digest.Add(value);
        digest.EndRow();
    }
    return digest.Finish().sha256;
}

TEST(RowDigest, TellsApartRowsThatDifferInOneValue) {
    using Rows = std::vector<std::vector<std::optional<std::string_view>>>;
    const Rows rows = {{"1", "张三", std::nullopt}, {"2", "", "2024-05-01"}};
    EXPECT_EQ(Digest(rows), Digest(Rows(rows)));
    const std::vector<Rows> others = {
        {{"1", "张三", std::nullopt}, {"2", "", "2024-05-02"}},
        {{"1", "张三", ""}, {"2", "", "2024-05-01"}},
        {{"1", "张三", std::nullopt}, {"2", std::nullopt, "2024-05-01"}},
        {{"1", "张", std::nullopt}, {"2", "三", "2024-05-01"}},
        {{"1", "张三", std::nullopt, "2"}, {"", "2024-05-01"}},
        {{"2", "", "2024-05-01"}, {"1", "张三", std::nullopt}},
        {{"1", "张三", std::nullopt}}};
    for (const Rows& other : others) EXPECT_NE(Digest(rows), Digest(other));
}

// The values that COPY's text format and a row digest could mistake: escapes, tabs, line ends,
// COPY's NULL marker and end-of-data line as texts, an empty text beside NULLs.
void MakeAwkwardValues(const std::filesystem::path& dir) {
    testing::Execute(
        dir / "bingren.DB",
        "UPDATE bingren SET Xm = '张\\N', Gzdw = '', Txdz = 'a' || char(9) || 'b' || "
        "char(10) || '\\.' || char(13) || char(10) || '\\\\x', Dzyx = NULL WHERE Id = 2");
    // The last patient goes: the next new number is still one past him.
    testing::Execute(dir / "bingren.DB", "DELETE FROM bingren WHERE Id = 150");
}

TEST(ServerCopy, PushThenPullGivesBackEveryValueAndFileAsCreateMakesIt) {
    TempDir source, pulled, created;
    LoadDemo(source.Path(), {150, kToday, 5});
    MakeAwkwardValues(source.Path());
    tablecrypt::Protect(source / "bingli.DB", kTablePassword, testing::kQuickCost);
    Schema schema(/*ownedByPasswordUser=*/true);
    const std::string serverPassword = pgkit_test::TestCluster().password;

    const auto push =
        RunTool({"push", source.Path(), schema.Conninfo()}, {serverPassword, kTablePassword});
    ASSERT_EQ(push.status, 0) << push.err;
    const auto check = RunTool({"check", schema.Conninfo()}, {serverPassword});
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    const auto pull = RunTool({"pull", schema.Conninfo(), pulled.Path()}, {serverPassword});
    ASSERT_EQ(pull.status, 0) << pull.err;

    EXPECT_EQ(QuotedRows(pulled.Path(), clinic_tables::Patients()),
              QuotedRows(source.Path(), clinic_tables::Patients()));
    EXPECT_EQ(QuotedRows(pulled.Path(), clinic_tables::Visits()),
              QuotedRows(source.Path(), clinic_tables::Visits(), kTablePassword));
    EXPECT_EQ(Sequence(pulled / "bingren.DB"), (std::vector<Row>{{"bingren", "150"}}));
    EXPECT_EQ(Sequence(pulled / "bingli.DB"), Sequence(source / "bingli.DB", kTablePassword));
    ASSERT_EQ(RunTool({"create", created.Path()}).status, 0);
    for (const char* file : {"bingren.DB", "bingli.DB"})
        EXPECT_EQ(SchemaObjects(pulled / file), SchemaObjects(created / file)) << file;
    EXPECT_TRUE(testing::CheckPlain(pulled.Path()).Passed());
    // The server hands out no number that the directory had used.
    EXPECT_EQ(Rows(schema, "INSERT INTO bingren (xm) VALUES ('新') RETURNING id"),
              (std::vector<Row>{{"151"}}));
}

TEST(ServerCopy, RefusedOrFailedCopiesChangeNothing) {
    TempDir source;
    LoadDemo(source.Path(), {40, kToday, 2});
    Schema filled;
    ASSERT_EQ(RunTool({"push", source.Path(), filled.Conninfo()}).status, 0);
    const std::string state =
        "SELECT (SELECT count(*) FROM bingren), (SELECT count(*) FROM bingli), "
        "(SELECT string_agg(tbl || n, ' ' ORDER BY tbl) FROM dbengine_changes)";
    const auto before = Rows(filled, state);
    const auto again = RunTool({"push", source.Path(), filled.Conninfo()});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("holds rows already; nothing was changed"), std::string::npos);
    EXPECT_EQ(Rows(filled, state), before);

    // A value that the server refuses, in the last table copied, takes every table back.
    testing::Execute(source / "bingli.DB", "UPDATE bingli SET Lzrq = '2024-02-30' WHERE Id = 9");
    Schema empty;
    const auto failed = RunTool({"push", source.Path(), empty.Conninfo()});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(Rows(empty,
                   "SELECT relname FROM pg_class WHERE relname LIKE 'bing%' AND "
                   "relnamespace = current_schema()::regnamespace"),
              std::vector<Row>{});

    TempDir occupied;
    std::ofstream(occupied / "bingren.DB") << "kept";
    const auto pull = RunTool({"pull", filled.Conninfo(), occupied.Path()});
    EXPECT_EQ(pull.status, 1);
    EXPECT_EQ(testing::ReadBytes(occupied / "bingren.DB"), "kept");
    EXPECT_FALSE(std::filesystem::exists(occupied / "bingli.DB"));

    const auto written = RunTool({"summary", filled.Conninfo() + " password=secret"});
    EXPECT_EQ(written.status, 1);
    EXPECT_NE(written.err.find("holds a password"), std::string::npos);
    Schema guarded(/*ownedByPasswordUser=*/true);
    const auto wrong = RunTool({"create", guarded.Conninfo()}, {"not the password"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("password authentication failed"), std::string::npos) << wrong.err;
}

TEST(ServerDemo, FillsTheServerAsItFillsADirectory) {
    TempDir dir, pulled;
    Schema schema;
    const std::vector<std::string> options = {"--patients", "300", "--today", "2024-05-01"};
    const auto demo = [&](const std::string& where) {
        std::vector<std::string> args = {"demo", where};
        args.insert(args.end(), options.begin(), options.end());
        return RunTool(args);
    };
    const auto onServer = demo(schema.Conninfo());
    ASSERT_EQ(onServer.status, 0) << onServer.err;
    ASSERT_EQ(demo(dir.Path()).status, 0);
    const auto summary = [](const std::string& where) {
        return RunTool({"summary", where, "--today", "2024-05-01"}).out;
    };
    EXPECT_EQ(summary(schema.Conninfo()), summary(dir.Path()));
    EXPECT_NE(summary(schema.Conninfo()).find("patients: 300\n"), std::string::npos);
    for (const std::vector<std::string>& span :
         {std::vector<std::string>{"--from", "2024-04-25", "--to", "2024-05-05"},
          {"--overdue", "--today", "2024-05-01", "--not-reminded"}}) {
        const auto recall = [&](const std::string& where) {
            std::vector<std::string> args = {"recall", where};
            args.insert(args.end(), span.begin(), span.end());
            return RunTool(args).out;
        };
        const std::string listed = recall(dir.Path());
        EXPECT_GT(std::count(listed.begin(), listed.end(), '\n'), 5) << listed;
        EXPECT_EQ(recall(schema.Conninfo()), listed) << span.front();
    }

    ASSERT_EQ(RunTool({"pull", schema.Conninfo(), pulled.Path()}).status, 0);
    for (const clinic_tables::Table* table : clinic_tables::All())
        EXPECT_EQ(QuotedRows(pulled.Path(), *table), QuotedRows(dir.Path(), *table));
    EXPECT_EQ(RunTool({"check", schema.Conninfo()}).status, 0);
    EXPECT_EQ(demo(schema.Conninfo()).status, 1);
    EXPECT_EQ(Rows(schema, "INSERT INTO bingren (xm) VALUES ('新') RETURNING id"),
              (std::vector<Row>{{"301"}}));
}

// Whichever session deletes on the server, the row is kept with its time, as the files keep
// theirs, and comes back under its number with its name index.
TEST(ServerDeleted, KeepsEveryDeleteAndBringsItBackUnderItsNumber) {
    Schema schema;
    ASSERT_EQ(RunTool({"create", schema.Conninfo()}).status, 0);
    EXPECT_EQ(RunTool({"deleted", schema.Conninfo()}).out, "no deleted rows\n");
    pgkit::Connection& session = schema.Session();
    session.Exec(
        "INSERT INTO bingren (xm) VALUES ('张三'), ('李四'); INSERT INTO bingli (brid, lzrq) "
        "VALUES (1, '2024-05-01'), (2, NULL)");
    session.Exec("DELETE FROM bingli WHERE brid = 1");
    session.Exec("SELECT pg_sleep(0.01)");
    session.Exec("DELETE FROM bingren WHERE id = 1");
    const auto listed = RunTool({"deleted", schema.Conninfo()});
    ASSERT_EQ(listed.status, 0) << listed.err;
    const std::size_t patient = listed.out.find("  bingren 1  张三\n");
    const std::size_t visit =
        listed.out.find("  bingli 1  patient 1 张三 (deleted), visit of 2024-05-01\n");
    ASSERT_NE(patient, std::string::npos) << listed.out;
    EXPECT_LT(patient, visit) << "newest first:\n" << listed.out;

    EXPECT_EQ(RunTool({"undelete", schema.Conninfo(), "bingren", "1"}).out,
              "brought back bingren 1\n");
    // The name index holds as many entries of him as of the patient who stayed.
    EXPECT_EQ(Rows(schema,
                   "SELECT xm, (SELECT count(*) FROM bingren_xm_chars WHERE ch_id = 1) = (SELECT "
                   "count(*) FROM bingren_xm_chars WHERE ch_id = 2) FROM bingren WHERE id = 1"),
              (std::vector<Row>{{"张三", "t"}}));
    for (const auto& [id, why] : {std::pair{"1", "is taken by another row since"},
                                  std::pair{"2", "is taken by another row since"},
                                  std::pair{"7", "is not among the deleted rows"}}) {
        const auto refused = RunTool({"undelete", schema.Conninfo(), "bingren", id});
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find(why), std::string::npos) << refused.err;
    }
    ASSERT_EQ(RunTool({"undelete", schema.Conninfo(), "bingli", "1"}).status, 0);
    EXPECT_EQ(RunTool({"deleted", schema.Conninfo()}).out, "no deleted rows\n");
    EXPECT_EQ(Rows(schema, "SELECT brid, lzrq FROM bingli WHERE id = 1"),
              (std::vector<Row>{{"1", "2024-05-01"}}));
    EXPECT_EQ(RunTool({"check", schema.Conninfo()}).status, 0);
}

TEST(ServerCheck, NamesWhatDiffersFromTheLayout) {
    Schema schema;
    ASSERT_EQ(RunTool({"create", schema.Conninfo()}).status, 0);
    const auto twice = RunTool({"create", schema.Conninfo()});
    EXPECT_EQ(twice.status, 1);
    EXPECT_NE(twice.err.find("already; nothing was changed"), std::string::npos);
    ASSERT_EQ(RunTool({"check", schema.Conninfo()}).status, 0);

    // The visits lose their layout; the patients keep theirs but not their numbering nor their
    // name index.
    schema.Session().Exec(
        "DROP INDEX blbrid; ALTER TABLE bingli ALTER brid TYPE bigint; "
        "COMMENT ON COLUMN bingli.zhsu IS 'Zhsu VARCHAR(99)'; ALTER TABLE bingli DISABLE TRIGGER "
        "bingli_changes; INSERT INTO bingren (id, xm) VALUES (50, '张三'), (51, '李四'); "
        "DELETE FROM bingren_xm_pinyin WHERE ch_id = 51 AND ch = 'li'; UPDATE bingren_xm_pinyin "
        "SET ch_readings = '/zhang/er' WHERE ch_id = 50 AND ch = 'zhang'");
    const auto check = RunTool({"check", schema.Conninfo()});
    EXPECT_EQ(check.status, 1);
    for (const char* problem :
         {"bingli: index blbrid is missing\n", "bingli: column brid is bigint, not integer\n",
          "bingli: column zhsu's comment is 'Zhsu VARCHAR(99)', not 'Zhsu VARCHAR(100)'\n",
          "bingli: trigger bingli_changes is disabled, not AFTER INSERT OR DELETE OR UPDATE OR "
          "TRUNCATE FOR EACH STATEMENT EXECUTE FUNCTION dbengine_count_change()\n",
          "bingren: its identity would hand out numbers that rows hold (up to 51)",
          "bingren: name index bingren_xm_pinyin disagrees with the table in 3 entries\n",
          "check failed: the server's tables are not as the engine reads them\n"})
        EXPECT_NE(check.err.find(problem), std::string::npos) << problem << "\n" << check.err;
    EXPECT_NE(check.out.find("support objects: ok\n"), std::string::npos) << check.out;
}

}  // namespace
}  // namespace clinicdb
