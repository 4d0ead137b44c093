// Stepping, ranges, batches, key lookup and counting on real table files.
#include <algorithm>
#include <fstream>

#include "engine/order.h"
#include "engine/sqlitekit/sqlite_support.h"
#include "tests/engine/engine_fixture.h"

namespace dbe_test {
namespace {

// bingli with Brid 2, null, 1, 2, null, 1 for Ids 1..6: in blbrid order the nulls come first
// (2, 5), then Brid 1 (3, 6), then Brid 2 (1, 4).
class CursorTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        MakeBingli();
        Exec("bingli.DB", "INSERT INTO bingli (Brid) VALUES (2), (NULL), (1), (2), (NULL), (1)");
        cur_ = Open("bingli.DB", "blbrid");
        rec_ = Alloc(cur_);
    }

    // A key buffer whose Brid is `brid` (blank when negative), Id `id`.
    hDBIRec Key(int32_t brid, int32_t id = 0) {
        hDBIRec key = Alloc(cur_);
        dbeInitRecord(cur_, key);
        if (brid >= 0) PutInt(cur_, key, kBrid, brid);
        if (id > 0) PutInt(cur_, key, kId, id);
        return key;
    }
    void Range(int32_t low, int32_t high) {
        ASSERT_EQ(dbeSetRange(cur_, Key(low), Key(high)), DBIERR_NONE) << Entries();
    }
    uint32_t Count() {
        uint32_t count = 0;
        EXPECT_EQ(dbeGetExactRecordCount(cur_, &count), DBIERR_NONE) << Entries();
        return count;
    }

    hDBICur cur_ = nullptr;
    hDBIRec rec_ = nullptr;
};

using IdList = std::vector<int32_t>;

TEST_P(CursorTest, StepsForwardAndBackAcrossNullKeys) {
    EXPECT_EQ(Ids(cur_), (IdList{2, 5, 3, 6, 1, 4}));
    EXPECT_EQ(Ids(cur_, false), (IdList{4, 1, 6, 3, 5, 2}));
    hDBICur primary = Open("bingli.DB");
    EXPECT_EQ(Ids(primary), (IdList{1, 2, 3, 4, 5, 6}));
}

TEST_P(CursorTest, EndsAnswerEofAndBofAndStayThere) {
    ASSERT_EQ(dbeSetToEnd(cur_), DBIERR_NONE);
    EXPECT_EQ(dbeGetNextRecord(cur_, dbiNOLOCK, rec_), DBIERR_EOF);
    EXPECT_EQ(dbeGetRecord(cur_, dbiNOLOCK, rec_), DBIERR_EOF);
    ASSERT_EQ(dbeGetPriorRecord(cur_, rec_), DBIERR_NONE);
    EXPECT_EQ(Int(cur_, rec_, kId), 4);
    ASSERT_EQ(dbeSetToBegin(cur_), DBIERR_NONE);
    EXPECT_EQ(dbeGetPriorRecord(cur_, rec_), DBIERR_BOF);
    EXPECT_EQ(dbeGetRecord(cur_, dbiNOLOCK, rec_), DBIERR_BOF);
    ASSERT_EQ(dbeGetNextRecord(cur_, dbiNOLOCK, rec_), DBIERR_NONE);
    EXPECT_EQ(Int(cur_, rec_, kId), 2);
}

TEST_P(CursorTest, SteppingFromEveryRecordBothWays) {
    const IdList order{2, 5, 3, 6, 1, 4};
    for (std::size_t i = 0; i < order.size(); ++i) {
        dbeSetToBegin(cur_);
        for (std::size_t j = 0; j <= i; ++j) dbeGetNextRecord(cur_, dbiNOLOCK, rec_);
        ASSERT_EQ(Int(cur_, rec_, kId), order[i]);
        hDBIRec other = Alloc(cur_);
        if (i + 1 < order.size()) {
            ASSERT_EQ(dbeGetNextRecord(cur_, dbiNOLOCK, other), DBIERR_NONE);
            EXPECT_EQ(Int(cur_, other, kId), order[i + 1]);
            ASSERT_EQ(dbeSetToRecord(cur_, rec_), DBIERR_NONE);
        }
        if (i > 0) {
            ASSERT_EQ(dbeGetPriorRecord(cur_, other), DBIERR_NONE);
            EXPECT_EQ(Int(cur_, other, kId), order[i - 1]);
        }
    }
}

TEST_P(CursorTest, RangesIncludingTheNullRange) {
    Range(1, 1);
    EXPECT_EQ(Ids(cur_), (IdList{3, 6}));
    EXPECT_EQ(Ids(cur_, false), (IdList{6, 3}));
    EXPECT_EQ(Count(), 2u);
    Range(-1, -1);
    EXPECT_EQ(Ids(cur_), (IdList{2, 5}));
    EXPECT_EQ(Ids(cur_, false), (IdList{5, 2}));
    EXPECT_EQ(Count(), 2u);
    Range(-1, 1);
    EXPECT_EQ(Ids(cur_), (IdList{2, 5, 3, 6}));
    EXPECT_EQ(Ids(cur_, false), (IdList{6, 3, 5, 2}));
    Range(2, 9);
    EXPECT_EQ(Ids(cur_), (IdList{1, 4}));
    ASSERT_EQ(dbeSetRange(cur_, Key(2), nullptr), DBIERR_NONE);
    EXPECT_EQ(Ids(cur_), (IdList{1, 4}));
    Range(3, 3);
    EXPECT_EQ(Ids(cur_), IdList{});
    EXPECT_EQ(Count(), 0u);
    ASSERT_EQ(dbeResetRange(cur_), DBIERR_NONE);
    EXPECT_EQ(Count(), 6u);
}

TEST_P(CursorTest, RangeOnThePrimaryIndex) {
    hDBICur primary = Open("bingli.DB");
    hDBIRec low = Alloc(primary), high = Alloc(primary);
    PutInt(primary, low, kId, 2);
    PutInt(primary, high, kId, 4);
    ASSERT_EQ(dbeSetRange(primary, low, high), DBIERR_NONE);
    EXPECT_EQ(Ids(primary), (IdList{2, 3, 4}));
}

TEST_P(CursorTest, BatchReadsStopAtTheEnds) {
    std::vector<hDBIRec> recs;
    for (int i = 0; i < 4; ++i) recs.push_back(Alloc(cur_));
    uint32_t got = 0;
    ASSERT_EQ(dbeGetRecords(cur_, 4, recs.data(), &got), DBIERR_NONE);
    ASSERT_EQ(got, 4u);
    EXPECT_EQ(Int(cur_, recs[3], kId), 6);  // crosses from the null region into the values
    ASSERT_EQ(dbeGetRecords(cur_, 4, recs.data(), &got), DBIERR_NONE);
    ASSERT_EQ(got, 2u);
    EXPECT_EQ(Int(cur_, recs[0], kId), 1);
    EXPECT_EQ(Int(cur_, recs[1], kId), 4);
    EXPECT_EQ(dbeGetRecords(cur_, 4, recs.data(), &got), DBIERR_EOF);  // the cursor is at the end
    EXPECT_EQ(got, 0u);
    ASSERT_EQ(dbeGetRecords(cur_, -3, recs.data(), &got), DBIERR_NONE);
    ASSERT_EQ(got, 3u);
    EXPECT_EQ(Int(cur_, recs[0], kId), 4);
    EXPECT_EQ(Int(cur_, recs[2], kId), 6);
    ASSERT_EQ(dbeGetRecord(cur_, dbiNOLOCK, rec_), DBIERR_NONE);  // on the last one read
    EXPECT_EQ(Int(cur_, rec_, kId), 6);
}

TEST_P(CursorTest, RecordForKey) {
    ASSERT_EQ(dbeGetRecordForKey(cur_, 1, 0, Key(1), rec_), DBIERR_NONE);
    EXPECT_EQ(Int(cur_, rec_, kId), 3);
    ASSERT_EQ(dbeGetNextRecord(cur_, dbiNOLOCK, rec_), DBIERR_NONE);
    EXPECT_EQ(Int(cur_, rec_, kId), 6);
    ASSERT_EQ(dbeGetRecordForKey(cur_, 2, 0, Key(2, 4), rec_), DBIERR_NONE);
    EXPECT_EQ(Int(cur_, rec_, kId), 4);
    ASSERT_EQ(dbeGetRecordForKey(cur_, 1, 0, Key(-1), rec_), DBIERR_NONE);
    EXPECT_EQ(Int(cur_, rec_, kId), 2);
    EXPECT_EQ(dbeGetRecordForKey(cur_, 1, 0, Key(7), rec_), DBIERR_RECNOTFOUND);
    EXPECT_EQ(dbeGetRecordForKey(cur_, 3, 0, Key(1), rec_), DBIERR_INVALIDPARAM);
}

TEST_P(CursorTest, PartialKeyOnGbkNames) {
    MakeBingren();
    hDBICur names = Open("bingren.DB", "bingren_xm");
    for (const char* name : {"张三丰", "李四", "张三", "王五"}) Insert(names, {{kXm, name}});
    hDBIRec key = Alloc(names), rec = Alloc(names);
    Put(names, key, kXm, "张");
    ASSERT_EQ(dbeGetRecordForKey(names, 1, 2, key, rec), DBIERR_NONE) << Entries();
    EXPECT_EQ(Text(names, rec, kXm), "张三");
    Put(names, key, kXm, "赵");
    EXPECT_EQ(dbeGetRecordForKey(names, 1, 2, key, rec), DBIERR_RECNOTFOUND);
}

TEST_P(CursorTest, PositionOfARecordReadInAnotherOrder) {
    hDBICur primary = Open("bingli.DB");
    hDBIRec rec = Alloc(primary);
    ASSERT_EQ(dbeSetToEnd(primary), DBIERR_NONE);
    ASSERT_EQ(dbeGetPriorRecord(primary, rec), DBIERR_NONE);  // Id 6, Brid 1
    ASSERT_EQ(dbeSetToRecord(cur_, rec), DBIERR_NONE);
    ASSERT_EQ(dbeGetNextRecord(cur_, dbiNOLOCK, rec_), DBIERR_NONE);
    EXPECT_EQ(Int(cur_, rec_, kId), 1);
    hDBIRec blank = Alloc(cur_);
    EXPECT_EQ(dbeSetToRecord(cur_, blank), DBIERR_INVALIDPARAM);
}

TEST_P(CursorTest, CountsFollowOwnAndForeignWrites) {
    hDBICur other = Open("bingli.DB");
    EXPECT_EQ(Count(), 6u);
    Insert(other, {}, {{kBrid, 1}});
    EXPECT_EQ(Count(), 7u);
    Range(1, 1);
    EXPECT_EQ(Count(), 3u);
    Exec("bingli.DB", "INSERT INTO bingli (Brid) VALUES (1)");  // another connection
    EXPECT_EQ(Count(), 4u);
    uint32_t estimate = 0;
    ASSERT_EQ(dbeGetRecordCount(cur_, &estimate), DBIERR_NONE);
    EXPECT_EQ(estimate, 4u);
    Exec("bingli.DB", "DELETE FROM bingli WHERE Brid = 1");
    EXPECT_EQ(Count(), 0u);
    ASSERT_EQ(dbeResetRange(cur_), DBIERR_NONE);
    EXPECT_EQ(Count(), 4u);
}

TEST_P(CursorTest, EstimateWithoutACountIsTheHighestRecordNumber) {
    Exec("bingli.DB", "DELETE FROM bingli WHERE Id = 3");
    uint32_t estimate = 0;
    ASSERT_EQ(dbeGetRecordCount(cur_, &estimate), DBIERR_NONE);
    EXPECT_EQ(estimate, 6u);
    EXPECT_EQ(Count(), 5u);
    ASSERT_EQ(dbeGetRecordCount(cur_, &estimate), DBIERR_NONE);
    EXPECT_EQ(estimate, 5u);
}

// Scroll bars place a record by its key between the first and the last, without a count.
TEST_P(CursorTest, KeyFractionsPlaceRecordsBetweenTheEnds) {
    const auto fraction = [&](hDBICur cur) {
        double at = -1;
        EXPECT_EQ(dbeGetKeyFraction(cur, &at), DBIERR_NONE) << Entries();
        return at;
    };
    const auto idAt = [&](hDBICur cur, double at) {
        EXPECT_EQ(dbeSetToKeyFraction(cur, at), DBIERR_NONE) << Entries();
        hDBIRec rec = Alloc(cur);
        return dbeGetNextRecord(cur, dbiNOLOCK, rec) == DBIERR_NONE ? Int(cur, rec, kId) : -1;
    };
    Exec("bingli.DB", "INSERT INTO bingli (Id, Brid) VALUES (101, 1), (201, 1)");
    hDBICur primary = Open("bingli.DB");
    EXPECT_EQ(fraction(primary), 0.0) << "at the beginning";
    EXPECT_EQ(idAt(primary, 0.5), 101) << "Ids 1..201: halfway is 101";
    EXPECT_EQ(fraction(primary), 0.5);
    EXPECT_EQ(idAt(primary, 0.3), 101) << "the first record at or after 61";
    EXPECT_EQ(idAt(primary, 0), 1);
    EXPECT_EQ(idAt(primary, 1), -1) << "the end";
    EXPECT_EQ(fraction(primary), 1.0);
    // One patient's visits: the key is one value, so the record number places them.
    Range(1, 1);
    EXPECT_EQ(Ids(cur_), (IdList{3, 6, 101, 201}));
    EXPECT_EQ(idAt(cur_, 0.49), 101) << "Ids 3..201: 0.49 of the way is 100";
    EXPECT_NEAR(fraction(cur_), 98.0 / 198, 1e-9);
    // Patients 1 and 2: the key's value places them; a record past every key is at the end.
    Range(1, 2);
    EXPECT_EQ(idAt(cur_, 0.5), 3) << "Brid 1.5 rounds down to the first of Brid 1";
    EXPECT_EQ(fraction(cur_), 0.0);
    EXPECT_EQ(idAt(cur_, 0.99), 3);
    dbeSetToEnd(cur_);
    dbeGetPriorRecord(cur_, rec_);
    EXPECT_EQ(fraction(cur_), 1.0) << "Brid 2";
}

// Every stepping statement is answered from an index (or the table's own rowid order), never
// a sort of the whole table; every region bounded by a key is an index SEARCH, so its cost
// does not grow with the table.
std::vector<std::string> PlanOf(const sqlitekit::Connection& db, const std::string& sql) {
    sqlitekit::Statement plan(db.Handle(), "EXPLAIN QUERY PLAN " + sql);
    std::vector<std::string> details;
    while (plan.Step()) details.emplace_back(plan.ColumnText(3));
    return details;
}

void ExpectIndexedStepping(const sqlitekit::Connection& db, const std::string& table,
                           const dbe::Order& order, const dbe::Range& range,
                           const dbe::Value& keyValue) {
    using dbe::From;
    for (From from : {From::kBegin, From::kEnd, From::kKey}) {
        for (bool forward : {true, false}) {
            for (const dbe::Region& region :
                 dbe::StepRegions(order, range, from, dbe::Key{keyValue, 5}, forward)) {
                const std::string sql = dbe::RegionSql("rowid, " + order.key, table, region);
                for (const std::string& step : PlanOf(db, sql)) {
                    EXPECT_EQ(step.find("TEMP B-TREE"), std::string::npos) << sql;
                    if (region.where.text.find("IS NOT NULL") == std::string::npos &&
                        !region.where.text.empty()) {
                        EXPECT_EQ(step.find("SEARCH"), 0u) << sql << step;
                    }
                }
            }
        }
    }
}

// The statements' plans are SQLite's.
using CursorFileTest = CursorTest;

TEST_F(CursorFileTest, SteppingStatementsSearchAnIndex) {
    MakeBingren();
    Exec("bingli.DB", "ANALYZE");
    const auto bingli = sqlitekit::Connection::Open(Path("bingli.DB"), SQLITE_OPEN_READWRITE);
    const auto bingren = sqlitekit::Connection::Open(Path("bingren.DB"), SQLITE_OPEN_READWRITE);
    const dbe::Order brid = dbe::Order::ByKey("\"Brid\"", "BINARY", 1, dbe::SqliteDialect());
    const dbe::Order xm = dbe::Order::ByKey("\"Xm\"", "GBK", 1, dbe::SqliteDialect());
    for (const dbe::Value& key : {dbe::Value(), dbe::Value(std::int64_t{3})}) {
        ExpectIndexedStepping(bingli, "bingli", brid, dbe::Range(), key);
        ExpectIndexedStepping(bingli, "bingli", brid, dbe::Range::Between(key, key), key);
        ExpectIndexedStepping(bingli, "bingli", dbe::Order::ByRowid(0), dbe::Range(),
                              std::int64_t{5});
    }
    ExpectIndexedStepping(bingren, "bingren", xm, dbe::Range(), std::string("张三"));
    ExpectIndexedStepping(bingren, "bingren", xm, dbe::Range(), dbe::Value());
}

}  // namespace
}  // namespace dbe_test

namespace dbe_test {
namespace {

// A table whose leaf page lists a record number twice, as a damaged file may: looking backwards
// for the records before the second 11 finds the first, and before it the first again.
class DamagedOrderTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        MakeBingli();
        for (int i = 0; i < 40; ++i) Exec("bingli.DB", "INSERT INTO bingli (Brid) VALUES (1)");
        SetCellRowid(Path("bingli.DB"), 11, 11);
    }

    // Writes `rowid` (below 128) into the cell at `cell` of the table's root page, a leaf whose
    // cells begin with a one-byte payload size and a one-byte record number.
    void SetCellRowid(const std::string& path, int cell, char rowid) {
        int root = 0, pageSize = 0;
        {
            const auto db = sqlitekit::Connection::Open(path, SQLITE_OPEN_READONLY);
            sqlitekit::Statement page(db.Handle(), "PRAGMA page_size");
            page.Step();
            pageSize = static_cast<int>(page.ColumnInt(0));
            sqlitekit::Statement master(db.Handle(),
                                        "SELECT rootpage FROM sqlite_master WHERE name = 'bingli'");
            master.Step();
            root = static_cast<int>(master.ColumnInt(0));
        }
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        const std::streamoff page = static_cast<std::streamoff>(root - 1) * pageSize;
        unsigned char pointer[2];
        file.seekg(page + 8 + 2 * cell).read(reinterpret_cast<char*>(pointer), 2);
        file.seekp(page + (pointer[0] << 8 | pointer[1]) + 1).write(&rowid, 1);
    }
};

TEST_F(DamagedOrderTest, SteppingStopsWithTheDamageInsteadOfGoingRoundForEver) {
    hDBICur cur = Open("bingli.DB");
    hDBIRec rec = Alloc(cur);
    DBIResult result = DBIERR_NONE;
    for (int steps = 0; (result = dbeGetNextRecord(cur, dbiNOLOCK, rec)) == DBIERR_NONE;) {
        ASSERT_LT(++steps, 41);
    }
    EXPECT_EQ(result, DBIERR_EOF) << "forward, the search passes record 12 over";
    EXPECT_EQ(dbeSetToEnd(cur), DBIERR_NONE);
    for (int steps = 0; (result = dbeGetPriorRecord(cur, rec)) == DBIERR_NONE;) {
        ASSERT_LT(++steps, 41);
    }
    EXPECT_EQ(result, DBIERR_CORRUPT) << Entries();
}

ON_BOTH_STORAGES(CursorTest);

}  // namespace
}  // namespace dbe_test
