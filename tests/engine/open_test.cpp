// Starting the engine, errors, databases, opening table files and describing them.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "engine/sqlitekit/sqlite_support.h"
#include "tests/engine/engine_fixture.h"
#include "tests/engine/pg/cluster.h"

namespace dbe_test {
namespace {

using OpenTest = EngineTest;
// What opening answers alike for a directory's files and for its tables on a server.
using OpenTableTest = EngineTest;

TEST_F(OpenTest, StartingTwiceOrWithAnotherVersionFails) {
    DBIEnv env{};
    EXPECT_EQ(dbeInit(DBE_VERSION, &env), DBIERR_ALREADYINIT);
    EXPECT_EQ(dbeExit(), DBIERR_HANDLESOPEN);  // the fixture's database is still open
    EXPECT_EQ(dbeCloseDatabase(db_), DBIERR_NONE);
    db_ = nullptr;
    EXPECT_EQ(dbeExit(), DBIERR_NONE);
    hDBIDb db = nullptr;
    EXPECT_EQ(dbeOpenDatabase(nullptr, dbiREADWRITE, dbiOPENSHARED, &db), DBIERR_NOTINITIALIZED);
    EXPECT_EQ(dbeInit(499, &env), DBIERR_VERSION);
    EXPECT_EQ(dbeInit(DBE_VERSION, &env), DBIERR_NONE);
}

TEST_F(OpenTest, ErrorTextsAndTheStack) {
    char text[DBIMAXMSGLEN + 1];
    EXPECT_EQ(dbeGetErrorString(DBIERR_LOCKED, text), DBIERR_NONE);
    EXPECT_STREQ(text, "Record locked by another user");
    EXPECT_EQ(dbeGetErrorString(0x7777, text), DBIERR_NONE);
    EXPECT_STREQ(text, "");

    EXPECT_EQ(dbeSetDirectory(db_, "/no/such/dir"), DBIERR_NOTFOUND_FILE);
    DBIResult code = 0;
    EXPECT_EQ(Entry(0, &code), "File or directory does not exist");
    EXPECT_EQ(code, DBIERR_NOTFOUND_FILE);
    EXPECT_EQ(Entry(1), "Directory: /no/such/dir");
    Entry(2, &code);
    EXPECT_EQ(code, DBIERR_NOMORE);
    // The next call clears the stack.
    EXPECT_EQ(dbeSetDirectory(db_, dir_.c_str()), DBIERR_NONE);
    Entry(0, &code);
    EXPECT_EQ(code, DBIERR_NOMORE);
}

TEST_F(OpenTest, HandlesAreChecked) {
    EXPECT_EQ(dbeSetToBegin(nullptr), DBIERR_INVALIDHNDL);
    EXPECT_EQ(dbeCloseDatabase(reinterpret_cast<hDBIDb>(this)), DBIERR_INVALIDHNDL);
    MakeBingren();
    hDBICur cur = Open("bingren.DB");
    EXPECT_EQ(dbeCloseCursor(cur), DBIERR_NONE);
    EXPECT_EQ(dbeCloseCursor(cur), DBIERR_INVALIDHNDL);
}

TEST_F(OpenTest, DatabaseAliasesDoNotExist) {
    hDBIDb db = nullptr;
    EXPECT_EQ(dbeOpenDatabase("CLINIC", dbiREADWRITE, dbiOPENSHARED, &db), DBIERR_NOTFOUND_FILE);
    EXPECT_NE(Entries().find("Unknown database alias"), std::string::npos);
}

TEST_F(OpenTest, DriveLetterPathsLiveUnderTheRoot) {
    ASSERT_EQ(mkdir(Path("d").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(Path("d/clinic").c_str(), 0755), 0);
    Exec("d/clinic/bingren.DB", kBingrenSql);
    EXPECT_EQ(dbeSetDirectory(db_, "D:\\clinic"), DBIERR_NONE) << Entries();
    Open("bingren.DB");
    EXPECT_EQ(dbeSetDirectory(db_, "D:\\missing"), DBIERR_NOTFOUND_FILE);
    EXPECT_NE(Entries().find(dir_ + "/d/missing"), std::string::npos) << Entries();
}

TEST_P(OpenTableTest, MissingTableIsNotCreated) {
    hDBICur cur = nullptr;
    EXPECT_EQ(dbeOpenTable(db_, "bingren.DB", "", dbiREADWRITE, 0, 0, &cur), DBIERR_NOTFOUND_FILE);
    const std::string table = OnServer() ? "Table: bingren @ " : "Table: " + Path("bingren.DB");
    EXPECT_NE(Entries().find(table), std::string::npos) << Entries();
    EXPECT_NE(access(Path("bingren.DB").c_str(), F_OK), 0);
    MakeBingren();
    EXPECT_EQ(dbeOpenTable(db_, "bingren.DB", "", dbiREADWRITE, 0, 0, &cur), DBIERR_NONE);
    EXPECT_EQ(dbeCloseCursor(cur), DBIERR_NONE);
}

TEST_F(OpenTest, FileNameIsFoundWithoutRegardToCase) {
    Exec("BingRen.db", kBingrenSql);
    hDBICur cur = Open("bingren.DB");
    CURProps props{};
    ASSERT_EQ(dbeGetCursorProps(cur, &props), DBIERR_NONE);
    EXPECT_STREQ(props.szName, "BingRen.db");
    EXPECT_EQ(props.iFields, 13);
}

TEST_F(OpenTest, FileThatIsNoDatabase) {
    std::ofstream(Path("bingren.DB")) << "This is a plain text file, long enough to be read.\n";
    hDBICur cur = nullptr;
    EXPECT_EQ(dbeOpenTable(db_, "bingren.DB", "", dbiREADWRITE, 0, 0, &cur), DBIERR_NOTADB);
    int32_t native = 0;
    DBIResult code = 0;
    Entry(1, &code, &native);
    EXPECT_EQ(native, SQLITE_NOTADB);
    EXPECT_NE(Entries().find(Path("bingren.DB")), std::string::npos);
}

TEST_F(OpenTest, DatabaseWithoutTheNamedTable) {
    Exec("bingren.DB", "CREATE TABLE patients (Id INTEGER PRIMARY KEY)");
    hDBICur cur = nullptr;
    EXPECT_EQ(dbeOpenTable(db_, "bingren.DB", "", dbiREADWRITE, 0, 0, &cur), DBIERR_NOTADB);
    EXPECT_NE(Entries().find("No table named 'bingren'"), std::string::npos) << Entries();
}

TEST_F(OpenTest, FieldDescriptions) {
    Exec("kinds.DB",
         "CREATE TABLE kinds (Id INTEGER PRIMARY KEY AUTOINCREMENT, A SMALLINT NOT NULL, "
         "B BIGINT, C char(12), D TEXT, E Date, F REAL, G TIME, H DATETIME, I BLOB, J BOOLEAN, "
         "K GEOMETRY)");
    hDBICur cur = Open("kinds.DB");
    FLDDesc descs[12];
    ASSERT_EQ(dbeGetFieldDescs(cur, descs), DBIERR_NONE);
    const uint16_t types[] = {fldINT32, fldINT16, fldINT32,     fldZSTRING, fldBLOB, fldDATE,
                              fldFLOAT, fldTIME,  fldTIMESTAMP, fldBLOB,    fldBOOL, fldUNKNOWN};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(descs[i].iFldType, types[i]) << descs[i].szName;
    EXPECT_EQ(descs[0].iSubType, fldstAUTOINC);
    EXPECT_TRUE(descs[0].bReadOnly);
    EXPECT_FALSE(descs[0].bRequired);
    EXPECT_TRUE(descs[1].bRequired);
    EXPECT_EQ(descs[3].iUnits1, 12);
    EXPECT_EQ(descs[4].iSubType, fldstMEMO);
    EXPECT_EQ(descs[9].iSubType, fldstNONE);
    EXPECT_STREQ(descs[5].szName, "E");
    EXPECT_EQ(descs[5].iFldNum, 6);

    hDBIRec rec = Alloc(cur);
    int32_t value = 1;
    EXPECT_EQ(dbePutField(cur, 7, rec, &value), DBIERR_NOTSUPPORTED);
    EXPECT_EQ(dbeGetField(cur, 0, rec, &value, 4, nullptr), DBIERR_OUTOFRANGE);
    EXPECT_EQ(dbeGetField(cur, 13, rec, &value, 4, nullptr), DBIERR_OUTOFRANGE);
}

TEST_P(OpenTableTest, BingliDescriptionsAndIndexes) {
    MakeBingli();
    Exec("bingli.DB", "CREATE INDEX bl_two ON bingli(Brid, Lzrq)");
    hDBICur cur = Open("bingli.DB", "BLBRID");
    FLDDesc descs[11];
    ASSERT_EQ(dbeGetFieldDescs(cur, descs), DBIERR_NONE);
    EXPECT_EQ(descs[kZhsu - 1].iUnits1, 100);
    EXPECT_EQ(descs[kXbs - 1].iFldType, fldBLOB);
    EXPECT_EQ(descs[kXbs - 1].iUnits1, 200);
    EXPECT_STREQ(descs[kBrid - 1].szName, "Brid");
    EXPECT_EQ(descs[kId - 1].iSubType, fldstAUTOINC);
    CURProps props{};
    ASSERT_EQ(dbeGetCursorProps(cur, &props), DBIERR_NONE);
    ASSERT_EQ(props.iIndexes, 3);
    IDXDesc indexes[3];
    ASSERT_EQ(dbeGetIndexDescs(cur, indexes), DBIERR_NONE);
    EXPECT_STREQ(indexes[0].szName, "");
    EXPECT_TRUE(indexes[0].bPrimary);
    EXPECT_STREQ(indexes[1].szName, "bl_two");
    EXPECT_STREQ(indexes[2].szName, "blbrid");
    EXPECT_EQ(indexes[2].iFldsInKey, 2);
    EXPECT_EQ(indexes[2].aiKeyFld[0], kBrid);
    EXPECT_EQ(indexes[2].aiKeyFld[1], kId);
    EXPECT_EQ(dbeSwitchToIndex(cur, "bl_two"), DBIERR_INDEXKIND);
    EXPECT_EQ(dbeSwitchToIndex(cur, "nothing"), DBIERR_NOSUCHINDEX);
    EXPECT_EQ(dbeSwitchToIndex(cur, ""), DBIERR_NONE);
    char locale[DBIMAXNAMELEN + 1];
    EXPECT_EQ(dbeGetLdName(cur, locale), DBIERR_NONE);
    EXPECT_STREQ(locale, "GBK");
}

// Opens bingren.DB as a user who cannot write it (as root: in a child that gives up root),
// answering what the open for writing answered, then 0x100 * the outcome of reading and
// writing on the read-only retry.
int ReadOnlyOutcome(const std::string& dir) {
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(90);
        DBIEnv env{};
        hDBIDb db = nullptr;
        hDBICur cur = nullptr;
        const DBIResult init = dbeInit(DBE_VERSION, &env);  // started already, by the fixture
        if (init != DBIERR_ALREADYINIT || dbeOpenDatabase("", 0, 0, &db) != 0 ||
            dbeSetDirectory(db, dir.c_str()) != 0) {
            _exit(91);
        }
        if (dbeOpenTable(db, "bingren.DB", "", dbiREADWRITE, 0, 0, &cur) != DBIERR_READONLY)
            _exit(92);
        if (dbeOpenTable(db, "bingren.DB", "", dbiREADONLY, 0, 0, &cur) != 0) _exit(93);
        hDBIRec rec = nullptr;
        dbeAllocRecord(cur, &rec);
        if (dbeGetNextRecord(cur, dbiNOLOCK, rec) != 0) _exit(94);
        if (dbeInsertRecord(cur, dbiNOLOCK, rec) != DBIERR_TABLEREADONLY) _exit(95);
        if (dbeGetRecord(cur, dbiWRITELOCK, rec) != DBIERR_TABLEREADONLY) _exit(96);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(OpenTest, UnwritableFileOpensOnlyReadOnly) {
    MakeBingren();
    Exec("bingren.DB", "INSERT INTO bingren (Xm) VALUES ('A')");
    chmod(Path("bingren.DB").c_str(), 0444);
    chmod(dir_.c_str(), 0555);
    EXPECT_EQ(ReadOnlyOutcome(dir_), 0);
}

// A server that wants a password is answered with the session's passwords, as a protected
// table file is: the record sets ask the user when none of them is the server user's.
TEST_P(OpenTableTest, AServerThatWantsAPasswordTakesItFromTheSession) {
    if (!OnServer()) GTEST_SKIP() << "the files' passwords are the protected tables' tests";
    MakeBingren();
    Server().Session().Exec("GRANT USAGE ON SCHEMA " + Server().Name() + " TO clinicpw; " +
                            "GRANT ALL ON ALL TABLES IN SCHEMA " + Server().Name() +
                            " TO clinicpw");
    const std::string asked = Path("asked");
    std::ofstream(Path("dbengine.conf"), std::ios::app)
        << "SERVER " << asked << " = " << pgkit_test::TestCluster().passwordConninfo
        << " options='-csearch_path=" << Server().Name() << "'\n";
    ASSERT_EQ(dbeSetDirectory(db_, asked.c_str()), DBIERR_NONE) << Entries();
    hDBICur cur = nullptr;
    EXPECT_EQ(dbeOpenTable(db_, "bingren.DB", "", dbiREADWRITE, 0, 0, &cur),
              DBIERR_NOTSUFFTABLERIGHTS);
    ASSERT_EQ(dbeAddPassword("wrong"), DBIERR_NONE);
    EXPECT_EQ(dbeOpenTable(db_, "bingren.DB", "", dbiREADWRITE, 0, 0, &cur),
              DBIERR_NOTSUFFTABLERIGHTS);
    EXPECT_EQ(Entries().find(pgkit_test::TestCluster().password), std::string::npos);
    ASSERT_EQ(dbeAddPassword(pgkit_test::TestCluster().password.c_str()), DBIERR_NONE);
    ASSERT_EQ(dbeOpenTable(db_, "bingren.DB", "", dbiREADWRITE, 0, 0, &cur), DBIERR_NONE)
        << Entries();
    EXPECT_EQ(Insert(cur, {{kXm, "甲"}}), 1);
    EXPECT_EQ(dbeCloseCursor(cur), DBIERR_NONE);
}

ON_BOTH_STORAGES(OpenTableTest);

}  // namespace
}  // namespace dbe_test
