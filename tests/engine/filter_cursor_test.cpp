// Filters on cursors: handles, positions, ranges, counts, key lookup, writes and query answers.
#include "engine/table_file.h"
#include "tests/engine/filter_nodes.h"

namespace dbe_test {
namespace {

class FilterCursorTest : public FilterTestBase {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        MakeBingren();
        cur_ = Open("bingren.DB");
        Insert(cur_, {{kXm, "张三"}, {kXb, "男"}}, {{kNl, 30}});
        Insert(cur_, {{kXm, "李四"}, {kXb, "女"}}, {{kNl, 25}});
        Insert(cur_, {{kXm, "王五"}, {kXb, "男"}}, {{kNl, 45}});
        Insert(cur_, {{kXm, "张三"}, {kXb, "女"}}, {{kNl, 52}});
        Insert(cur_, {{kXm, "赵六"}, {kXb, "女"}}, {{kNl, 30}});
        Insert(cur_, {{kXm, "张三丰"}, {kXb, "男"}}, {{kNl, 70}});
        ASSERT_EQ(dbeSetToBegin(cur_), DBIERR_NONE);
        rec_ = Alloc(cur_);
    }

    // The Id of the record at the cursor, or the code that reading it answers (negated).
    int32_t Current(hDBICur cur) {
        const DBIResult code = dbeGetRecord(cur, dbiNOLOCK, rec_);
        return code == DBIERR_NONE ? Int(cur, rec_, kId) : -code;
    }
    int32_t Next(hDBICur cur) {
        const DBIResult code = dbeGetNextRecord(cur, dbiNOLOCK, rec_);
        return code == DBIERR_NONE ? Int(cur, rec_, kId) : -code;
    }
    // A call that answered `result` left the cursor at the beginning, before `first`.
    void ExpectStartOver(DBIResult result, int32_t first) {
        ASSERT_EQ(result, DBIERR_NONE) << Entries();
        EXPECT_EQ(Current(cur_), -DBIERR_BOF);
        EXPECT_EQ(Next(cur_), first);
    }
    // A call that answered `result` left `expected` records visible: so say the estimate,
    // taken first, and the exact count.
    void ExpectCounts(DBIResult result, uint32_t expected) {
        ASSERT_EQ(result, DBIERR_NONE) << Entries();
        uint32_t estimate = 0;
        ASSERT_EQ(dbeGetRecordCount(cur_, &estimate), DBIERR_NONE);
        EXPECT_EQ(estimate, expected);
        EXPECT_EQ(Count(cur_), expected);
    }
    hDBIRec NameKey(hDBICur cur, const char* name) {
        hDBIRec key = Alloc(cur);
        Put(cur, key, kXm, name);
        return key;
    }

    hDBICur cur_ = nullptr;
    hDBIRec rec_ = nullptr;
};

const DBIFilterNode kMale = CompareText(kXb, fltopEQ, "男");
const DBIFilterNode kFemale = CompareText(kXb, fltopEQ, "女");

TEST_P(FilterCursorTest, HandlesAreChecked) {
    hDBICur other = Open("bingren.DB");
    const hDBIFilter filter = AddFilter(cur_, {kMale}, false);
    DBIResult code = 0;
    EXPECT_EQ(dbeActivateFilter(other, filter), DBIERR_INVALIDHNDL);
    Entry(0, &code);
    EXPECT_EQ(code, DBIERR_INVALIDHNDL);
    EXPECT_EQ(dbeDeactivateFilter(other, filter), DBIERR_INVALIDHNDL);
    EXPECT_EQ(dbeDropFilter(other, filter), DBIERR_INVALIDHNDL);
    EXPECT_EQ(dbeActivateFilter(cur_, reinterpret_cast<hDBIFilter>(&code)), DBIERR_INVALIDHNDL);
    EXPECT_EQ(dbeActivateFilter(cur_, nullptr), DBIERR_INVALIDHNDL);
    EXPECT_EQ(dbeActivateFilter(nullptr, filter), DBIERR_INVALIDHNDL);
    EXPECT_EQ(dbeAddFilter(nullptr, &kMale, 1, nullptr), DBIERR_INVALIDHNDL);
    // The other cursor's refusals left this one's filter as it was.
    EXPECT_EQ(Ids(cur_), (IdList{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(dbeActivateFilter(cur_, filter), DBIERR_NONE);
    EXPECT_EQ(Ids(cur_), (IdList{1, 3, 6}));
    EXPECT_EQ(dbeDropFilter(cur_, filter), DBIERR_NONE);
    EXPECT_EQ(Ids(cur_), (IdList{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(dbeActivateFilter(cur_, filter), DBIERR_INVALIDHNDL);
    EXPECT_EQ(dbeDropFilter(cur_, filter), DBIERR_INVALIDHNDL);
}

TEST_P(FilterCursorTest, ActiveFiltersAllApplyThroughIndexSwitchesAndRanges) {
    const hDBIFilter male = AddFilter(cur_, {kMale});
    const hDBIFilter over40 = AddFilter(cur_, {CompareNumber(kNl, fltopGT, 40)});
    EXPECT_EQ(Ids(cur_), (IdList{3, 6}));
    ASSERT_EQ(dbeDeactivateFilter(cur_, male), DBIERR_NONE);
    EXPECT_EQ(Ids(cur_), (IdList{3, 4, 6}));
    ASSERT_EQ(dbeSwitchToIndex(cur_, "bingren_xm"), DBIERR_NONE);
    // 王 (CDF5) < 张 (D5C5) < 赵 (D5D4)
    EXPECT_EQ(Ids(cur_), (IdList{3, 4, 6}));
    EXPECT_EQ(Ids(cur_, false), (IdList{6, 4, 3}));
    ASSERT_EQ(dbeSetRange(cur_, NameKey(cur_, "张三"), NameKey(cur_, "赵六")), DBIERR_NONE);
    EXPECT_EQ(Ids(cur_), (IdList{4, 6}));
    ASSERT_EQ(dbeActivateFilter(cur_, male), DBIERR_NONE);
    EXPECT_EQ(Ids(cur_), (IdList{6}));
    ASSERT_EQ(dbeDropFilter(cur_, over40), DBIERR_NONE);
    EXPECT_EQ(Ids(cur_), (IdList{1, 6}));
}

TEST_P(FilterCursorTest, FiltersCombineWithARangeOnBlbrid) {
    MakeBingli();
    Exec("bingli.DB",
         "INSERT INTO bingli (Brid, Jzys) VALUES (2, '王'), (1, '李'), (2, '李'), (2, '王'), "
         "(NULL, '王'), (1, '王'), (2, NULL)");
    hDBICur visits = Open("bingli.DB", "blbrid");
    hDBIRec key = Alloc(visits);
    PutInt(visits, key, kBrid, 2);
    ASSERT_EQ(dbeSetRange(visits, key, key), DBIERR_NONE);
    EXPECT_EQ(Ids(visits), (IdList{1, 3, 4, 7}));
    AddFilter(visits, {CompareText(kJzys, fltopEQ, "王")});
    EXPECT_EQ(Ids(visits), (IdList{1, 4}));
    EXPECT_EQ(Ids(visits, false), (IdList{4, 1}));
    EXPECT_EQ(Count(visits), 2u);
    uint32_t estimate = 0;
    ASSERT_EQ(dbeGetRecordCount(visits, &estimate), DBIERR_NONE);
    EXPECT_EQ(estimate, 2u);
    ASSERT_EQ(dbeResetRange(visits), DBIERR_NONE);
    // Null Brid first, then 1, then 2.
    EXPECT_EQ(Ids(visits), (IdList{5, 6, 1, 4}));
}

TEST_P(FilterCursorTest, CountsHonourFiltersAndTheCacheKeysOnThem) {
    // Two filters of one shape that differ only in their constant.
    const hDBIFilter thirty = AddFilter(cur_, {CompareNumber(kNl, fltopEQ, 30)}, false);
    const hDBIFilter seventy = AddFilter(cur_, {CompareNumber(kNl, fltopEQ, 70)}, false);
    ExpectCounts(DBIERR_NONE, 6);
    ExpectCounts(dbeActivateFilter(cur_, thirty), 2);
    ASSERT_EQ(dbeDeactivateFilter(cur_, thirty), DBIERR_NONE);
    ExpectCounts(dbeActivateFilter(cur_, seventy), 1);
    ExpectCounts(dbeActivateFilter(cur_, thirty), 0);
    ExpectCounts(dbeDeactivateFilter(cur_, seventy), 2);
    // A write makes every stored count stale, the filtered ones too.
    Insert(cur_, {{kXm, "钱七"}}, {{kNl, 30}});
    ExpectCounts(DBIERR_NONE, 3);
    ExpectCounts(dbeDeactivateFilter(cur_, thirty), 7);
    ExpectCounts(dbeActivateFilter(cur_, seventy), 1);
    // Another cursor on the file with the same filter counts the same.
    hDBICur other = Open("bingren.DB");
    AddFilter(other, {CompareNumber(kNl, fltopEQ, 70)});
    EXPECT_EQ(Count(other), 1u);
}

TEST_P(FilterCursorTest, ActivatingDeactivatingAndDroppingAnActiveFilterMoveToTheBeginning) {
    const hDBIFilter male = AddFilter(cur_, {kMale}, false);
    const hDBIFilter female = AddFilter(cur_, {kFemale}, false);
    ASSERT_EQ(Next(cur_), 1);
    ASSERT_EQ(Next(cur_), 2);
    ExpectStartOver(dbeActivateFilter(cur_, male), 1);
    EXPECT_EQ(Next(cur_), 3);
    ExpectStartOver(dbeDeactivateFilter(cur_, male), 1);
    // Dropping an inactive filter leaves the cursor where it is.
    ASSERT_EQ(dbeDropFilter(cur_, male), DBIERR_NONE);
    EXPECT_EQ(Current(cur_), 1);
    ExpectStartOver(dbeActivateFilter(cur_, female), 2);
    EXPECT_EQ(Next(cur_), 4);
    // Activating a filter that is active already starts over too.
    ExpectStartOver(dbeActivateFilter(cur_, female), 2);
    ExpectStartOver(dbeDropFilter(cur_, female), 1);
}

TEST_P(FilterCursorTest, ARecordTheFilterHidesIsNotFound) {
    hDBIRec second = Alloc(cur_);
    ASSERT_EQ(Next(cur_), 1);
    ASSERT_EQ(dbeGetNextRecord(cur_, dbiNOLOCK, second), DBIERR_NONE);
    AddFilter(cur_, {kMale});
    ASSERT_EQ(dbeSetToRecord(cur_, second), DBIERR_NONE);
    EXPECT_EQ(Current(cur_), -DBIERR_RECNOTFOUND);
    // Left on the crack of the hidden record: its neighbours are the visible ones around it.
    EXPECT_EQ(Next(cur_), 3);
    // A record that another cursor changes so that it fails the filter leaves a crack.
    hDBICur other = Open("bingren.DB");
    hDBIRec changed = Alloc(other);
    ASSERT_EQ(dbeSetToRecord(other, rec_), DBIERR_NONE);
    ASSERT_EQ(dbeGetRecord(other, dbiNOLOCK, changed), DBIERR_NONE);
    Put(other, changed, kXb, "女");
    ASSERT_EQ(dbeModifyRecord(other, changed, 1), DBIERR_NONE) << Entries();
    EXPECT_EQ(Current(cur_), -DBIERR_RECNOTFOUND);
    EXPECT_EQ(Next(cur_), 6);
    ASSERT_EQ(dbeGetPriorRecord(cur_, rec_), DBIERR_NONE);
    EXPECT_EQ(Int(cur_, rec_, kId), 1);
}

TEST_P(FilterCursorTest, RecordForKeyHonoursFilters) {
    ASSERT_EQ(dbeSwitchToIndex(cur_, "bingren_xm"), DBIERR_NONE);
    const hDBIRec zhang = NameKey(cur_, "张三");
    ASSERT_EQ(dbeGetRecordForKey(cur_, 1, 0, zhang, rec_), DBIERR_NONE);
    EXPECT_EQ(Int(cur_, rec_, kId), 1);
    const hDBIFilter female = AddFilter(cur_, {kFemale});
    ASSERT_EQ(dbeGetRecordForKey(cur_, 1, 0, zhang, rec_), DBIERR_NONE) << Entries();
    EXPECT_EQ(Int(cur_, rec_, kId), 4);
    EXPECT_EQ(Next(cur_), 5);
    ASSERT_EQ(dbeDeactivateFilter(cur_, female), DBIERR_NONE);
    AddFilter(cur_, {CompareNumber(kNl, fltopGT, 60)});
    EXPECT_EQ(dbeGetRecordForKey(cur_, 1, 0, zhang, rec_), DBIERR_RECNOTFOUND);
    // A partial key finds the first visible name that begins with it.
    const hDBIRec surname = NameKey(cur_, "张");
    ASSERT_EQ(dbeGetRecordForKey(cur_, 1, 2, surname, rec_), DBIERR_NONE) << Entries();
    EXPECT_EQ(Int(cur_, rec_, kId), 6);
}

TEST_P(FilterCursorTest, WritesThroughAFilteredCursor) {
    AddFilter(cur_, {kMale});
    // A record inserted outside the filter is stored; the cursor is on it but cannot see it.
    const int32_t id = Insert(cur_, {{kXm, "孙八"}, {kXb, "女"}});
    EXPECT_EQ(id, 7);
    EXPECT_EQ(Current(cur_), -DBIERR_RECNOTFOUND);
    EXPECT_EQ(Ids(cur_), (IdList{1, 3, 6}));
    // A record changed so that it leaves the filter leaves a crack.
    ASSERT_EQ(dbeSetToBegin(cur_), DBIERR_NONE);
    ASSERT_EQ(Next(cur_), 1);
    Put(cur_, rec_, kXb, "女");
    ASSERT_EQ(dbeModifyRecord(cur_, rec_, 1), DBIERR_NONE) << Entries();
    EXPECT_EQ(Int(cur_, rec_, kId), 1);
    EXPECT_EQ(Current(cur_), -DBIERR_RECNOTFOUND);
    EXPECT_EQ(Next(cur_), 3);
    EXPECT_EQ(Count(cur_), 2u);
}

TEST_P(FilterCursorTest, QueryAnswersTakeFilters) {
    hDBIStmt stmt = nullptr;
    hDBICur answer = nullptr;
    ASSERT_EQ(dbeQPrepare(db_, "SELECT Id, Xm, Nl FROM bingren.DB WHERE Xm LIKE '张%' ORDER BY Xm",
                          &stmt),
              DBIERR_NONE);
    ASSERT_EQ(dbeQExec(stmt, &answer), DBIERR_NONE) << Entries();
    cursors_.push_back(answer);
    ASSERT_EQ(dbeQFree(stmt), DBIERR_NONE);
    EXPECT_EQ(Ids(answer), (IdList{1, 4, 6}));
    // Field 3 of the answer is Nl; the answer has no field 4.
    const hDBIFilter old = AddFilter(answer, {CompareNumber(3, fltopGT, 40)});
    EXPECT_EQ(Ids(answer), (IdList{4, 6}));
    EXPECT_EQ(Ids(answer, false), (IdList{6, 4}));
    EXPECT_EQ(Count(answer), 2u);
    EXPECT_EQ(AddCode(answer, {CompareText(4, fltopEQ, "男")}), DBIERR_INVALIDPARAM);
    AddFilter(answer, {CompareText(2, fltopEQ, "张三")});
    EXPECT_EQ(Ids(answer), (IdList{4}));
    EXPECT_EQ(Count(answer), 1u);
    ASSERT_EQ(dbeDropFilter(answer, old), DBIERR_NONE);
    EXPECT_EQ(Ids(answer), (IdList{1, 4}));
}

}  // namespace
}  // namespace dbe_test

namespace dbe_test {
namespace {

// Every filter and range prepares statements of its own; the file keeps only the recent ones.
TEST_F(EngineTest, AFileKeepsABoundedNumberOfPreparedStatements) {
    MakeBingren();
    dbe::TableFile file(Path("bingren.DB"), std::nullopt);
    const auto prepared = [&] {
        int count = 0;
        for (sqlite3_stmt* s = nullptr; (s = sqlite3_next_stmt(file.Handle(), s)) != nullptr;) {
            ++count;
        }
        return count;
    };
    for (int i = 0; i < 2000; ++i) {
        dbe::StatementUse use(
            file.Prepare("SELECT rowid FROM bingren WHERE Nl = " + std::to_string(i)));
        EXPECT_FALSE(use->Step());
    }
    EXPECT_LE(prepared(), 130);
    dbe::Statement& recent = file.Prepare("SELECT rowid FROM bingren WHERE Nl = 1999");
    EXPECT_EQ(&recent, &file.Prepare("SELECT rowid FROM bingren WHERE Nl = 1999"))
        << "a recent statement is prepared once";
}

ON_BOTH_STORAGES(FilterCursorTest);

}  // namespace
}  // namespace dbe_test
