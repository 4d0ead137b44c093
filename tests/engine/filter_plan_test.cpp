// A filter on an indexed field steps and counts through that index on a million patients:
// every statement the cursor runs is an index SEARCH, never a SCAN of the table or a sort.
#include <sqlite3.h>

#include "base/dates.h"
#include "engine/database.h"
#include "engine/filter.h"
#include "engine/table_file.h"
#include "tests/engine/filter_nodes.h"

namespace dbe_test {
namespace {

constexpr int kPatients = 1000000;
constexpr int kDays = 1000;
const int kFirstDay = dates::FromCivil(2025, 1, 1);

class FilterPlanTest : public FilterTestBase {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        MakeBingren();
        // Patient i comes back on day i % kDays after the first one; ten have a name. The
        // index is made after the rows, and the file is left unjournalled while it is filled,
        // which saves the test most of its time.
        Exec("bingren.DB",
             "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; DROP INDEX bingren_fzyysj;"
             "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                 std::to_string(kPatients) +
                 ") INSERT INTO bingren (Fzyysj) SELECT date('2025-01-01', '+' || (i % " +
                 std::to_string(kDays) +
                 ") || ' days') FROM n;"
                 "UPDATE bingren SET Xm = '张三' WHERE Id % 100000 = 7;"
                 "CREATE INDEX bingren_fzyysj ON bingren(Fzyysj);");
    }
};

// Every statement that `db` holds prepared and that mentions `column` (5 in all: stepping
// forward and back from the ends and from a key, and counting) searches `index`.
void ExpectIndexSearches(sqlite3* db, const std::string& column, const std::string& index) {
    std::vector<std::string> sqls;
    for (sqlite3_stmt* stmt = sqlite3_next_stmt(db, nullptr); stmt != nullptr;
         stmt = sqlite3_next_stmt(db, stmt)) {
        const std::string sql = sqlite3_sql(stmt);
        if (sql.find(column + " = ?") != std::string::npos) sqls.push_back(sql);
    }
    EXPECT_EQ(sqls.size(), 5u) << column;
    for (const std::string& sql : sqls) {
        sqlitekit::Statement plan(db, "EXPLAIN QUERY PLAN " + sql);
        std::string details;
        while (plan.Step()) details += std::string(plan.ColumnText(3)) + "; ";
        const std::string search = "SEARCH bingren USING ";
        const std::string key = "INDEX " + index + " (";
        EXPECT_TRUE(details.find(search + key) == 0 ||
                    details.find(search + "COVERING " + key) == 0)
            << sql << " => " << details;
        EXPECT_EQ(details.find("SCAN"), std::string::npos) << sql << " => " << details;
        EXPECT_EQ(details.find("TEMP B-TREE"), std::string::npos) << sql << " => " << details;
    }
}

TEST_F(FilterPlanTest, AFilterOnTheReturnDateStepsAndCountsThroughItsIndex) {
    hDBICur cur = Open("bingren.DB");
    AddFilter(cur, {CompareNumber(kFzyysj, fltopEQ, kFirstDay + 5)});
    EXPECT_EQ(Count(cur), static_cast<uint32_t>(kPatients / kDays));
    hDBIRec rec = Alloc(cur);
    for (int32_t id : {5, 1005, 2005}) {
        ASSERT_EQ(dbeGetNextRecord(cur, dbiNOLOCK, rec), DBIERR_NONE);
        EXPECT_EQ(Int(cur, rec, kId), id);
    }
    ASSERT_EQ(dbeSetToEnd(cur), DBIERR_NONE);
    ASSERT_EQ(dbeGetPriorRecord(cur, rec), DBIERR_NONE);
    EXPECT_EQ(Int(cur, rec, kId), kPatients - kDays + 5);

    // The engine's own classes, so that the statements its connection prepared can be seen.
    dbe::KeyRing keys;
    dbe::Database database(false, keys);
    database.SetDirectory(dir_);
    for (const auto& [node, column, index] :
         {std::tuple{CompareNumber(kFzyysj, fltopEQ, kFirstDay + 7), "\"Fzyysj\"",
                     "bingren_fzyysj"},
          std::tuple{CompareText(kXm, fltopEQ, "张三"), "\"Xm\" COLLATE \"GBK\"", "bingren_xm"}}) {
        const std::unique_ptr<dbe::Cursor> cursor = database.OpenTable("bingren.DB", "", true);
        cursor->SetFilterActive(cursor->AddFilter(dbe::TranslateFilter(cursor->GetLayout(), &node,
                                                                       1, dbe::SqliteDialect())),
                                true);
        dbe::Record record(cursor->GetView().layout);
        cursor->Move(true, {&record});
        cursor->Move(true, {&record, &record});
        cursor->Move(false, {&record});
        cursor->SetToEnd();
        cursor->Move(false, {&record});
        cursor->ExactCount();
        ExpectIndexSearches(dynamic_cast<dbe::TableFile&>(*cursor->GetView().table).Handle(),
                            column, index);
    }
}

}  // namespace
}  // namespace dbe_test
