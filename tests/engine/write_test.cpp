// Inserting, modifying and deleting; strings, dates and memos; record locks across processes.
#include <sys/wait.h>
#include <unistd.h>

#include "engine/sqlitekit/sqlite_support.h"
#include "tests/engine/engine_fixture.h"

namespace dbe_test {
namespace {

class WriteTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        MakeBingren();
        cur_ = Open("bingren.DB");
        rec_ = Alloc(cur_);
    }
    std::string Stored(const std::string& column, int32_t id) const {
        return EngineTest::Stored("bingren", column, id);
    }

    hDBICur cur_ = nullptr;
    hDBIRec rec_ = nullptr;
};

TEST_P(WriteTest, InsertAssignsTheIdAndPutsTheCursorOnIt) {
    Insert(cur_, {{kXm, "甲"}});
    ASSERT_EQ(dbeInitRecord(cur_, rec_), DBIERR_NONE);
    Put(cur_, rec_, kXm, "乙");
    PutInt(cur_, rec_, kNl, 42);
    ASSERT_EQ(dbeInsertRecord(cur_, dbiNOLOCK, rec_), DBIERR_NONE) << Entries();
    EXPECT_EQ(Int(cur_, rec_, kId), 2);
    hDBIRec read = Alloc(cur_);
    ASSERT_EQ(dbeGetRecord(cur_, dbiNOLOCK, read), DBIERR_NONE);
    EXPECT_EQ(Text(cur_, read, kXm), "乙");
    EXPECT_EQ(Int(cur_, read, kNl), 42);
    EXPECT_TRUE(Blank(cur_, read, kXb));
    EXPECT_EQ(dbeGetPriorRecord(cur_, read), DBIERR_NONE);
    EXPECT_EQ(Int(cur_, read, kId), 1);
}

TEST_P(WriteTest, DeleteLeavesACrackBetweenNeighbours) {
    for (const char* name : {"A", "B", "C"}) Insert(cur_, {{kXm, name}});
    ASSERT_EQ(dbeSetToBegin(cur_), DBIERR_NONE);
    dbeGetNextRecord(cur_, dbiNOLOCK, rec_);
    dbeGetNextRecord(cur_, dbiNOLOCK, rec_);
    ASSERT_EQ(dbeDeleteRecord(cur_, rec_), DBIERR_NONE);
    EXPECT_EQ(dbeGetRecord(cur_, dbiNOLOCK, rec_), DBIERR_RECNOTFOUND);
    EXPECT_EQ(dbeDeleteRecord(cur_, rec_), DBIERR_NOCURRREC);
    ASSERT_EQ(dbeGetNextRecord(cur_, dbiNOLOCK, rec_), DBIERR_NONE);
    EXPECT_EQ(Text(cur_, rec_, kXm), "C");
    ASSERT_EQ(dbeGetPriorRecord(cur_, rec_), DBIERR_NONE);
    EXPECT_EQ(Text(cur_, rec_, kXm), "A");
}

// After a delete the record shown is the one at the cursor, else the next, else the prior.
TEST_P(WriteTest, ReReadAfterDeletingTheLastRecord) {
    for (const char* name : {"A", "B"}) Insert(cur_, {{kXm, name}});
    ASSERT_EQ(dbeSetToEnd(cur_), DBIERR_NONE);
    ASSERT_EQ(dbeGetPriorRecord(cur_, rec_), DBIERR_NONE);
    ASSERT_EQ(dbeDeleteRecord(cur_, rec_), DBIERR_NONE);
    EXPECT_EQ(dbeGetRecord(cur_, dbiNOLOCK, rec_), DBIERR_RECNOTFOUND);
    EXPECT_EQ(dbeGetNextRecord(cur_, dbiNOLOCK, rec_), DBIERR_EOF);
    ASSERT_EQ(dbeGetPriorRecord(cur_, rec_), DBIERR_NONE);
    EXPECT_EQ(Text(cur_, rec_, kXm), "A");
}

TEST_P(WriteTest, RecordDeletedByAnotherUser) {
    const int32_t id = Insert(cur_, {{kXm, "A"}});
    ASSERT_EQ(dbeGetRecord(cur_, dbiNOLOCK, rec_), DBIERR_NONE);
    Exec("bingren.DB", "DELETE FROM bingren WHERE Id = " + std::to_string(id));
    Put(cur_, rec_, kXm, "B");
    EXPECT_EQ(dbeModifyRecord(cur_, rec_, 1), DBIERR_RECDELETED);
    EXPECT_EQ(dbeDeleteRecord(cur_, rec_), DBIERR_RECDELETED);
}

TEST_P(WriteTest, ModifyWritesOnlyTheFieldsWritten) {
    // A day before the first year is a date to the server, and none to the engine.
    const std::string unreadable = OnServer() ? "0044-03-15 BC" : "not a date";
    Exec("bingren.DB",
         "INSERT INTO bingren (Xm, Xb, Czrq) VALUES ('A', 'M', '" + unreadable + "')");
    ASSERT_EQ(dbeGetNextRecord(cur_, dbiNOLOCK, rec_), DBIERR_NONE);
    EXPECT_TRUE(Blank(cur_, rec_, kCzrq));  // unreadable as a date
    // Meanwhile another user changes Xb.
    Exec("bingren.DB", "UPDATE bingren SET Xb = 'F'");
    Put(cur_, rec_, kXm, "B");
    ASSERT_EQ(dbeModifyRecord(cur_, rec_, 1), DBIERR_NONE) << Entries();
    EXPECT_EQ(Text(cur_, rec_, kXb), "F");  // the buffer now holds the stored record
    EXPECT_EQ(Stored("Xm", 1), "B");
    EXPECT_EQ(Stored("Xb", 1), "F");
    EXPECT_EQ(Stored("Czrq", 1), unreadable);
}

TEST_P(WriteTest, EmptyTextIsNull) {
    Insert(cur_, {{kXm, "A"}, {kXb, ""}});
    EXPECT_EQ(Stored("Xb", 1), "<null>");
    ASSERT_EQ(dbeGetRecord(cur_, dbiNOLOCK, rec_), DBIERR_NONE);
    Put(cur_, rec_, kXm, "");
    ASSERT_EQ(dbeModifyRecord(cur_, rec_, 1), DBIERR_NONE);
    EXPECT_EQ(Stored("Xm", 1), "<null>");
}

TEST_P(WriteTest, StringsAreCutToTheFieldsSizeInGbkBytes) {
    // Xm holds 8 GBK bytes: four Chinese characters, never half of one.
    Insert(cur_, {{kXm, "一二三四五"}, {kXb, "男x"}});
    EXPECT_EQ(Stored("Xm", 1), "一二三四");
    EXPECT_EQ(Stored("Xb", 1), "男");
    Insert(cur_, {{kXm, "abc一二三四"}});
    EXPECT_EQ(Stored("Xm", 2), "abc一二");
    // A value stored too long by another writer reads cut as well.
    Exec("bingren.DB", "INSERT INTO bingren (Xm) VALUES ('123456789012')");
    ASSERT_EQ(dbeSetToEnd(cur_), DBIERR_NONE);
    ASSERT_EQ(dbeGetPriorRecord(cur_, rec_), DBIERR_NONE);
    EXPECT_EQ(Text(cur_, rec_, kXm), "12345678");
    char small[8];
    EXPECT_EQ(dbeGetField(cur_, kXm, rec_, small, sizeof small, nullptr), DBIERR_BUFFSMALL);
}

TEST_P(WriteTest, DatesAreDaysSince18991230) {
    Insert(cur_, {{kXm, "A"}}, {{kCzrq, 2}, {kFzyysj, 45658}});
    EXPECT_EQ(Stored("Czrq", 1), "1900-01-01");
    EXPECT_EQ(Stored("Fzyysj", 1), "2025-01-01");
    // The server stores no impossible day.
    Exec("bingren.DB", OnServer()
                           ? "UPDATE bingren SET Czrq = '2000-02-29', Fzyysj = NULL"
                           : "UPDATE bingren SET Czrq = '2000-02-29', Fzyysj = '2001-02-29'");
    ASSERT_EQ(dbeGetRecord(cur_, dbiNOLOCK, rec_), DBIERR_NONE);
    EXPECT_EQ(Int(cur_, rec_, kCzrq), 36585);
    EXPECT_TRUE(Blank(cur_, rec_, kFzyysj));  // no such day
    for (int32_t bad : {-700000, 3000000, INT32_MAX, INT32_MIN}) {
        EXPECT_EQ(dbePutField(cur_, kCzrq, rec_, &bad), DBIERR_INVALIDPARAM) << bad;
    }
}

// The server keeps every number within its column's type.
using WriteFileTest = WriteTest;

TEST_F(WriteFileTest, NumbersThatDoNotFitTheirFieldReadBlank) {
    Exec("bingren.DB",
         "INSERT INTO bingren (Xm, Nl) VALUES ('a', 70000), ('b', -40000), ('c', 32767), "
         "('d', 2.5), ('e', 40.0)");
    MakeBingli();
    Exec("bingli.DB", "INSERT INTO bingli (Brid) VALUES (5000000000), (-2147483648)");
    const std::vector<std::pair<bool, int32_t>> ages{
        {true, 0}, {true, 0}, {false, 32767}, {true, 0}, {false, 40}};
    for (const auto& [blank, age] : ages) {
        ASSERT_EQ(dbeGetNextRecord(cur_, dbiNOLOCK, rec_), DBIERR_NONE);
        EXPECT_EQ(Blank(cur_, rec_, kNl), blank) << Text(cur_, rec_, kXm);
        EXPECT_EQ(Int(cur_, rec_, kNl), age) << Text(cur_, rec_, kXm);
    }
    hDBICur bingli = Open("bingli.DB");
    hDBIRec rec = Alloc(bingli);
    ASSERT_EQ(dbeGetNextRecord(bingli, dbiNOLOCK, rec), DBIERR_NONE);
    EXPECT_TRUE(Blank(bingli, rec, kBrid)) << "5,000,000,000 is no 32-bit number";
    ASSERT_EQ(dbeGetNextRecord(bingli, dbiNOLOCK, rec), DBIERR_NONE);
    EXPECT_EQ(Int(bingli, rec, kBrid), INT32_MIN);
}

TEST_P(WriteTest, MemosLoadOnDemandAndStoreWhenWritten) {
    MakeBingli();
    hDBICur bingli = Open("bingli.DB");
    hDBIRec rec = Alloc(bingli);
    ASSERT_EQ(dbeInitRecord(bingli, rec), DBIERR_NONE);
    const std::string history = "牙痛三天";
    ASSERT_EQ(dbePutBlob(bingli, rec, kXbs, 0, history.size(), history.data()), DBIERR_NONE);
    for (const uint32_t offset : {DBI_MAXMEMO, UINT32_MAX - 1}) {
        EXPECT_EQ(dbePutBlob(bingli, rec, kXbs, offset, 1, "x"), DBIERR_INVALIDPARAM) << offset;
    }
    ASSERT_EQ(dbeInsertRecord(bingli, dbiNOLOCK, rec), DBIERR_NONE) << Entries();

    hDBIRec read = Alloc(bingli);
    ASSERT_EQ(dbeGetRecord(bingli, dbiNOLOCK, read), DBIERR_NONE);
    EXPECT_FALSE(Blank(bingli, read, kXbs));
    EXPECT_TRUE(Blank(bingli, read, kXbs + 1));
    uint32_t size = 0;
    ASSERT_EQ(dbeOpenBlob(bingli, read, kXbs, dbiBLOBREAD), DBIERR_NONE);
    ASSERT_EQ(dbeGetBlobSize(bingli, read, kXbs, &size), DBIERR_NONE);
    EXPECT_EQ(size, history.size());
    std::string text(size, '\0');
    uint32_t got = 0;
    ASSERT_EQ(dbeGetBlob(bingli, read, kXbs, 3, 100, text.data(), &got), DBIERR_NONE);
    EXPECT_EQ(text.substr(0, got), "痛三天");

    // A memo never loaded is left alone by a modify; a truncated one is stored as null.
    Exec("bingli.DB", "UPDATE bingli SET Jcsj = 'checked'");
    ASSERT_EQ(dbeTruncateBlob(bingli, read, kXbs, 0), DBIERR_NONE);
    ASSERT_EQ(dbeModifyRecord(bingli, read, 1), DBIERR_NONE);
    EXPECT_TRUE(Blank(bingli, read, kXbs));
    ASSERT_EQ(dbeGetBlobSize(bingli, read, kXbs + 1, &size), DBIERR_NONE);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(dbeOpenBlob(bingli, read, kZhsu, dbiBLOBREAD), DBIERR_NOTSUPPORTED);
}

TEST_P(WriteTest, WritesOnAQueryAnswerAreRefused) {
    Insert(cur_, {{kXm, "A"}});
    hDBIStmt stmt = nullptr;
    ASSERT_EQ(dbeQPrepare(db_, "SELECT Id, Xm FROM bingren.DB", &stmt), DBIERR_NONE);
    hDBICur answer = nullptr;
    ASSERT_EQ(dbeQExec(stmt, &answer), DBIERR_NONE);
    hDBIRec rec = Alloc(answer);
    ASSERT_EQ(dbeGetNextRecord(answer, dbiNOLOCK, rec), DBIERR_NONE);
    EXPECT_EQ(dbeDeleteRecord(answer, rec), DBIERR_TABLEREADONLY);
    EXPECT_EQ(dbeModifyRecord(answer, rec, 0), DBIERR_TABLEREADONLY);
    EXPECT_EQ(dbeModifyRecord(cur_, rec, 0), DBIERR_INVALIDPARAM);  // another layout
    EXPECT_EQ(dbeQFree(stmt), DBIERR_NONE);
    EXPECT_EQ(dbeCloseCursor(answer), DBIERR_NONE);
}

TEST_P(WriteTest, StorageFailuresMapToEngineCodes) {
    Exec("strict.DB",
         OnServer()
             ? "CREATE TABLE strict (Id bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, "
               "Code text NOT NULL, Age smallint CHECK (Age >= 0));"
               "COMMENT ON COLUMN strict.Code IS 'Code VARCHAR(4)'"
             : "CREATE TABLE strict (Id INTEGER PRIMARY KEY AUTOINCREMENT, Code VARCHAR(4) NOT "
               "NULL, Age SMALLINT CHECK (Age >= 0))");
    Exec("strict.DB", "CREATE UNIQUE INDEX strict_code ON strict(Code)");
    hDBICur cur = Open("strict.DB");
    hDBIRec rec = Alloc(cur);
    EXPECT_EQ(dbeInsertRecord(cur, dbiNOLOCK, rec), DBIERR_REQDFIELD);
    if (!OnServer()) {
        DBIResult code = 0;
        int32_t native = 0;
        Entry(1, &code, &native);
        EXPECT_EQ(native, SQLITE_CONSTRAINT_NOTNULL);
        EXPECT_NE(Entries().find("Table: " + Path("strict.DB")), std::string::npos) << Entries();
    }
    Put(cur, rec, 2, "A");
    ASSERT_EQ(dbeInsertRecord(cur, dbiNOLOCK, rec), DBIERR_NONE);
    EXPECT_EQ(dbeInsertRecord(cur, dbiNOLOCK, rec), DBIERR_KEYVIOL);
    Put(cur, rec, 2, "B");
    PutInt(cur, rec, 3, -1);
    EXPECT_EQ(dbeInsertRecord(cur, dbiNOLOCK, rec), DBIERR_CONSTRAINT);
    uint32_t count = 0;
    ASSERT_EQ(dbeGetExactRecordCount(cur, &count), DBIERR_NONE);
    EXPECT_EQ(count, 1u);  // failed writes leave nothing behind
    if (OnServer()) return;

    // Another connection in the middle of a write keeps the file busy.
    const auto other = sqlitekit::Connection::Open(Path("strict.DB"), SQLITE_OPEN_READWRITE);
    sqlitekit::Transaction writing(other);
    PutInt(cur, rec, 3, 5);
    EXPECT_EQ(dbeInsertRecord(cur, dbiNOLOCK, rec), DBIERR_BUSY);
}

// Forks a child that locks record `id` of bingren through its own engine and waits for a
// byte on `release` before it exits.
pid_t LockInChild(const std::string& dir, int32_t id, int ready[2], int release[2]) {
    const pid_t child = fork();
    if (child != 0) return child;
    hDBIDb db = nullptr;
    hDBICur cur = nullptr;
    hDBIRec rec = nullptr;
    dbeOpenDatabase("", 0, 0, &db);
    dbeSetDirectory(db, dir.c_str());
    dbeOpenTable(db, "bingren.DB", "", dbiREADWRITE, 0, 0, &cur);
    dbeAllocRecord(cur, &rec);
    dbePutField(cur, kId, rec, &id);
    dbeGetRecordForKey(cur, 1, 0, rec, rec);
    const char result = dbeGetRecord(cur, dbiWRITELOCK, rec) == DBIERR_NONE ? 'L' : 'F';
    char byte = 0;
    if (write(ready[1], &result, 1) != 1 || read(release[0], &byte, 1) != 1) _exit(2);
    _exit(0);
}

TEST_P(WriteTest, RecordLocksAcrossProcessesAndCursors) {
    const int32_t id = Insert(cur_, {{kXm, "A"}});
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = LockInChild(dir_, id, ready, release);
    char result = 0;
    ASSERT_EQ(read(ready[0], &result, 1), 1);
    ASSERT_EQ(result, 'L');
    EXPECT_EQ(dbeGetRecord(cur_, dbiWRITELOCK, rec_), DBIERR_LOCKED);
    EXPECT_EQ(dbeDeleteRecord(cur_, rec_), DBIERR_LOCKED);
    ASSERT_EQ(write(release[1], "x", 1), 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);

    // The system frees a file lock as the process ends; the server frees an advisory lock once
    // it has seen the session go, a moment later.
    DBIResult locked = DBIERR_LOCKED;
    for (int attempt = 0; attempt < 200 && locked == DBIERR_LOCKED; ++attempt) {
        if (attempt > 0) usleep(50'000);
        locked = dbeGetRecord(cur_, dbiWRITELOCK, rec_);
    }
    ASSERT_EQ(locked, DBIERR_NONE) << Entries();
    hDBICur other = Open("bingren.DB");
    hDBIRec otherRec = Alloc(other);
    ASSERT_EQ(dbeGetNextRecord(other, dbiNOLOCK, otherRec), DBIERR_NONE);
    EXPECT_EQ(dbeGetRecord(other, dbiWRITELOCK, otherRec), DBIERR_LOCKED);
    Put(cur_, rec_, kXm, "B");
    ASSERT_EQ(dbeModifyRecord(cur_, rec_, 1), DBIERR_NONE);  // releases the lock
    EXPECT_EQ(dbeGetRecord(other, dbiWRITELOCK, otherRec), DBIERR_NONE);
    EXPECT_EQ(Text(other, otherRec, kXm), "B");
    EXPECT_EQ(dbeRelRecordLock(other, 0), DBIERR_NONE);
    EXPECT_EQ(dbeRelRecordLock(other, 0), DBIERR_NOTLOCKED);
    EXPECT_EQ(dbeGetRecord(other, dbiWRITELOCK, otherRec), DBIERR_NONE);
    EXPECT_EQ(dbeCloseCursor(other), DBIERR_NONE);  // closing releases
    EXPECT_EQ(dbeGetRecord(cur_, dbiWRITELOCK, rec_), DBIERR_NONE);
}

TEST_P(WriteTest, ModifiedRecordThatLeavesTheRangeLeavesACrack) {
    MakeBingli();
    hDBICur visits = Open("bingli.DB", "blbrid");
    for (int32_t brid : {1, 1, 2}) Insert(visits, {}, {{kBrid, brid}});
    hDBIRec key = Alloc(visits), rec = Alloc(visits);
    PutInt(visits, key, kBrid, 1);
    ASSERT_EQ(dbeSetRange(visits, key, key), DBIERR_NONE);
    ASSERT_EQ(dbeGetNextRecord(visits, dbiNOLOCK, rec), DBIERR_NONE);
    PutInt(visits, rec, kBrid, 2);
    ASSERT_EQ(dbeModifyRecord(visits, rec, 0), DBIERR_NONE);
    EXPECT_EQ(dbeGetRecord(visits, dbiNOLOCK, rec), DBIERR_RECNOTFOUND);
    ASSERT_EQ(dbeGetNextRecord(visits, dbiNOLOCK, rec), DBIERR_NONE);
    EXPECT_EQ(Int(visits, rec, kId), 2);
    EXPECT_EQ(Ids(visits), (std::vector<int32_t>{2}));
}

// A lost session is opened again for a read, and for a write that had not begun; the locks it
// held are gone for good, since another seat may have changed their records meanwhile.
TEST_P(WriteTest, ALostSessionIsOpenedAgainAndItsLocksAreLost) {
    if (!OnServer()) GTEST_SKIP() << "a table file has no session to lose";
    Insert(cur_, {{kXm, "A"}});
    Server().EndEngineSessions();
    ASSERT_EQ(dbeSetToBegin(cur_), DBIERR_NONE);
    ASSERT_EQ(dbeGetNextRecord(cur_, dbiNOLOCK, rec_), DBIERR_NONE) << Entries();
    Server().EndEngineSessions();
    EXPECT_EQ(Insert(cur_, {{kXm, "B"}}), 2);

    ASSERT_EQ(dbeSetToBegin(cur_), DBIERR_NONE);
    ASSERT_EQ(dbeGetNextRecord(cur_, dbiWRITELOCK, rec_), DBIERR_NONE);
    Server().EndEngineSessions();
    Put(cur_, rec_, kXm, "C");
    EXPECT_EQ(dbeModifyRecord(cur_, rec_, 1), DBIERR_LOCKED);
    EXPECT_NE(Entries().find("edit it again"), std::string::npos) << Entries();
    EXPECT_EQ(dbeModifyRecord(cur_, rec_, 1), DBIERR_LOCKED) << "the lock stays lost";
    EXPECT_EQ(Stored("Xm", 1), "A");
    ASSERT_EQ(dbeRelRecordLock(cur_, 0), DBIERR_NONE);
    ASSERT_EQ(dbeGetRecord(cur_, dbiWRITELOCK, rec_), DBIERR_NONE);
    Put(cur_, rec_, kXm, "C");
    EXPECT_EQ(dbeModifyRecord(cur_, rec_, 1), DBIERR_NONE) << Entries();
    EXPECT_EQ(Stored("Xm", 1), "C");
}

ON_BOTH_STORAGES(WriteTest);

}  // namespace
}  // namespace dbe_test
