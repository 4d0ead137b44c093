#include <gtest/gtest.h>

#include <fstream>

#include "tests/tools/tool_test_support.h"

namespace clinicdb {
namespace {

using testing::Query;
using testing::Row;
using testing::RunTool;
using testing::TempDir;

// Name and declared type of each column, in order.
std::vector<Row> Columns(const std::filesystem::path& file, const std::string& table) {
    return Query(file, "SELECT name, type FROM pragma_table_info('" + table + "')");
}

// Each index column as (index, column, collation, position), indexes by name.
std::vector<Row> IndexColumns(const std::filesystem::path& file) {
    return Query(file,
                 "SELECT l.name, c.name, c.coll, c.seqno FROM sqlite_schema s, "
                 "pragma_index_list(s.name) l, pragma_index_xinfo(l.name) c "
                 "WHERE s.type = 'table' AND c.key ORDER BY l.name, c.seqno");
}

TEST(Create, MakesPatientTableWithExactlyItsColumnsAndIndexes) {
    TempDir dir;
    ASSERT_EQ(RunTool({"create", dir.Path()}).status, 0);
    const auto file = dir / "bingren.DB";
    EXPECT_EQ(Columns(file, "bingren"), (std::vector<Row>{{"Id", "INTEGER"},
                                                          {"Xm", "VARCHAR(8)"},
                                                          {"Xb", "VARCHAR(2)"},
                                                          {"Nl", "SMALLINT"},
                                                          {"Gzdw", "VARCHAR(40)"},
                                                          {"Lxdh", "VARCHAR(26)"},
                                                          {"Txdz", "VARCHAR(40)"},
                                                          {"Dzyx", "VARCHAR(40)"},
                                                          {"Czrq", "DATE"},
                                                          {"Fzyysj", "DATE"},
                                                          {"Sfylxfz", "VARCHAR(2)"},
                                                          {"Dfhf", "VARCHAR(10)"},
                                                          {"Jtcy", "VARCHAR(30)"}}));
    EXPECT_EQ(IndexColumns(file),
              (std::vector<Row>{{"bingren_fzyysj", "Fzyysj", "BINARY", "0"},
                                {"bingren_xm", "Xm", "GBK", "0"},
                                {"sqlite_autoindex_bingren_Xm_chars_1", "ch", "BINARY", "0"},
                                {"sqlite_autoindex_bingren_Xm_chars_1", "ch_key", "GBK", "1"},
                                {"sqlite_autoindex_bingren_Xm_chars_1", "ch_id", "BINARY", "2"},
                                {"sqlite_autoindex_bingren_Xm_pinyin_1", "ch", "BINARY", "0"},
                                {"sqlite_autoindex_bingren_Xm_pinyin_1", "ch_key", "GBK", "1"},
                                {"sqlite_autoindex_bingren_Xm_pinyin_1", "ch_id", "BINARY", "2"}}));
    EXPECT_EQ(Query(file, "SELECT name FROM sqlite_schema WHERE type = 'trigger' ORDER BY name"),
              (std::vector<Row>{{"bingren_Xm_chars_delete"},
                                {"bingren_Xm_chars_insert"},
                                {"bingren_Xm_chars_update"},
                                {"bingren_Xm_pinyin_delete"},
                                {"bingren_Xm_pinyin_insert"},
                                {"bingren_Xm_pinyin_update"},
                                {"bingren_deleted_keep"}}));
    EXPECT_EQ(Query(file, "SELECT count(*) FROM bingren"), (std::vector<Row>{{"0"}}));
    // The key is AUTOINCREMENT: ids of deleted rows are never handed out again.
    EXPECT_EQ(Query(file, "SELECT count(*) FROM sqlite_schema WHERE name = 'sqlite_sequence'"),
              (std::vector<Row>{{"1"}}));
}

TEST(Create, MakesVisitTableWithExactlyItsColumnsAndIndex) {
    TempDir dir;
    ASSERT_EQ(RunTool({"create", dir.Path()}).status, 0);
    const auto file = dir / "bingli.DB";
    EXPECT_EQ(Columns(file, "bingli"), (std::vector<Row>{{"Id", "INTEGER"},
                                                         {"Brid", "INTEGER"},
                                                         {"Lzrq", "DATE"},
                                                         {"Zhsu", "VARCHAR(100)"},
                                                         {"Xbs", "TEXT(200)"},
                                                         {"Jcsj", "TEXT(200)"},
                                                         {"Zhengduan", "TEXT(200)"},
                                                         {"Zhiliao", "TEXT(200)"},
                                                         {"Fzyysj", "DATE"},
                                                         {"Jzys", "VARCHAR(10)"},
                                                         {"Jtcy", "VARCHAR(30)"}}));
    EXPECT_EQ(IndexColumns(file), (std::vector<Row>{{"blbrid", "Brid", "BINARY", "0"},
                                                    {"blbrid", "Id", "BINARY", "1"}}));
}

TEST(Create, MakesMissingDirectoriesAndLeavesOnlyTheTwoFiles) {
    TempDir dir;
    const auto target = dir / "a" / "b";
    const auto run = RunTool({"create", target});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(target))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"bingli.DB", "bingren.DB"}));
}

TEST(Create, RefusesWhenEitherFileExistsAndTouchesNothing) {
    for (const std::string existing : {"bingren.DB", "bingli.DB"}) {
        TempDir dir;
        std::ofstream(dir / existing) << "keep me";
        const auto run = RunTool({"create", dir.Path()});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(existing), std::string::npos) << run.err;
        EXPECT_EQ(testing::ReadBytes(dir / existing), "keep me");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    }
}

}  // namespace
}  // namespace clinicdb
