// Loading the engine, composing its failures, and the record sets' answers to engine refusals
// (injected by replacing entry points of the running session).
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>

#include "clinic_fixture.h"

namespace {

std::string StartMessage(const std::vector<std::string>& candidates) {
    try {
        EngineSession::Start(candidates);
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.Errors().size(), 1u);
        return e.Message();
    }
    return "(started)";
}

// A scripted error stack and code texts in place of the engine's.
std::map<DBIResult, std::string> codeTexts;
std::vector<TDBError> stackEntries;

DBIResult FakeErrorString(DBIResult code, char* text) {
    std::snprintf(text, DBIMAXMSGLEN + 1, "%s", codeTexts[code].c_str());
    return DBIERR_NONE;
}

DBIResult FakeErrorEntry(uint16_t i, DBIResult* code, int32_t* native, char* text) {
    const bool past = i == 0 || i > stackEntries.size();
    const TDBError entry = past ? TDBError{DBIERR_NOMORE, 0, ""} : stackEntries[i - 1];
    *code = entry.ErrorCode;
    *native = entry.NativeError;
    std::snprintf(text, DBIMAXMSGLEN + 1, "%s", entry.Message.c_str());
    return DBIERR_NONE;
}

DBIResult KeyViolation(hDBICur, hDBIRec, int) {
    return DBIERR_KEYVIOL;
}
DBIResult AlreadyGone(hDBICur, hDBIRec) {
    return DBIERR_RECNOTFOUND;
}
DBIResult (*realOpenTable)(hDBIDb, const char*, const char*, int, int, int, hDBICur*);
DBIResult ReadOnlyFile(hDBIDb db, const char* name, const char* index, int mode, int share, int xlt,
                       hDBICur* cur) {
    if (mode == dbiREADWRITE) return DBIERR_READONLY;
    return realOpenTable(db, name, index, mode, share, xlt, cur);
}

}  // namespace

TEST(EngineStart, FailuresGiveTheStartMessageWithTheirCode) {
    EXPECT_EQ(StartMessage({"/nonexistent/libdbengine.so"}),
              "An error occurred while attempting to initialize the database engine (error $2108)");
    const std::string notALibrary = ::testing::TempDir() + "/not-a-library.so";
    std::ofstream(notALibrary) << "text";
    EXPECT_EQ(StartMessage({notALibrary}),
              "An error occurred while attempting to initialize the database engine (error $2109)");
    EXPECT_EQ(StartMessage({"libm.so.6"}),
              "An error occurred while attempting to initialize the database engine (error $2A06)");
}

TEST(EngineStart, TheLibraryIsNeverSearchedInTheWorkingDirectory) {
    for (const std::string& candidate : EngineLibraryCandidates()) {
        EXPECT_TRUE(candidate[0] == '/' || candidate.find('/') == std::string::npos) << candidate;
    }
    EXPECT_EQ(EngineLibraryCandidates().back(), "libdbengine.so");
}

// A relative entry would be looked up from the working directory, where a planted library
// would run inside the program: it is left out, and the user told why.
TEST(EngineStart, RelativeLibraryPathEntriesAreIgnoredAndNamed) {
    std::istringstream config(
        "# the clinic's engine\nDLLPATH=/opt/dbe;lib;./x;;/usr/lib/dbe\n"
        "LANGDRIVER=GBK\nDLLPATH=engine\n");
    std::ostringstream warnings;
    EXPECT_EQ(ConfiguredLibraryPath(config, warnings),
              (std::vector<std::string>{"/opt/dbe", "/usr/lib/dbe"}));
    for (const std::string entry : {"lib", "./x", "engine"}) {
        const std::string said = "relative DLLPATH entry '" + entry + "' is ignored";
        EXPECT_NE(warnings.str().find(said), std::string::npos) << warnings.str();
    }
}

class EngineFailureTest : public ClinicFixture {
  protected:
    void SetUp() override {
        ClinicFixture::SetUp();
        saved_ = EngineSession::Default().Api();
    }
    void TearDown() override {
        EngineSession::Default().MutableApi() = saved_;
        ClinicFixture::TearDown();
    }
    DbeApi& Api() { return EngineSession::Default().MutableApi(); }
    DbeApi saved_;
};

TEST_F(EngineFailureTest, TheMessageJoinsTheStackWithoutRepeats) {
    Api().dbeGetErrorString = FakeErrorString;
    Api().dbeGetErrorEntry = FakeErrorEntry;
    codeTexts = {{0x2108, "File or directory does not exist"}, {0x2101, "Disk error"}};
    stackEntries = {{0x2108, 0, "  Table: bingren.DB \n"},
                    {0x2101, 14, "FILE OR DIRECTORY DOES NOT EXIST"},
                    {0x2101, 0, ""}};
    const EDBEngineError error = EngineError(0x2108);
    EXPECT_EQ(error.Message(),
              "File or directory does not exist\r\nTable: bingren.DB\r\nDisk error");
    ASSERT_EQ(error.Errors().size(), 4u);
    EXPECT_EQ(error.Errors()[0].ErrorCode, 0x2108);
    EXPECT_EQ(error.Errors()[2].NativeError, 14);

    stackEntries = {{0x2101, 0, "near \"x\": syntax error"}};
    EXPECT_EQ(EngineError(0x2EC4).Message(), "near \"x\": syntax error")
        << "a general query failure shows only its entries' own texts";

    codeTexts.clear();
    stackEntries.clear();
    EXPECT_EQ(EngineError(0x2501).Message(), "Database engine error $2501");
}

TEST_F(EngineFailureTest, ARefusedPostKeepsTheRecordInEditing) {
    AddPatient("张三");
    Api().dbeModifyRecord = KeyViolation;
    TTable& t = data_->Tablebingren;
    t.Edit();
    data_->TablebingrenXm->SetAsString("李四");
    EXPECT_THROW(t.Post(), EDBEngineError);
    EXPECT_EQ(t.State(), TDataSetState::dsEdit);
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "李四");
    EXPECT_TRUE(t.Modified());

    int tries = 0;
    t.OnPostError = [&](TDataSet*, EDatabaseError&, TDataAction& action) {
        if (++tries == 2) Api().dbeModifyRecord = saved_.dbeModifyRecord;
        action = TDataAction::daRetry;
    };
    t.Post();
    EXPECT_EQ(tries, 2);
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "李四");
}

TEST_F(EngineFailureTest, ADeleteOfARecordAlreadyGoneCountsAsDone) {
    AddPatient("张三");
    Api().dbeDeleteRecord = AlreadyGone;
    EXPECT_NO_THROW(data_->Tablebingren.Delete());
    EXPECT_EQ(data_->Tablebingren.State(), TDataSetState::dsBrowse);
}

TEST_F(EngineFailureTest, AFileThatCannotBeWrittenOpensReadOnly) {
    AddPatient("张三");
    realOpenTable = saved_.dbeOpenTable;
    Api().dbeOpenTable = ReadOnlyFile;
    TTable t("Tablebingren");
    t.SetDatabaseName(kClinicDatabase);
    t.SetTableName("bingren.DB");
    t.Open();
    EXPECT_EQ(t.RecordCount(), 1);
    try {
        t.Edit();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Tablebingren: Cannot modify a read-only dataset");
    }
}

TEST_F(EngineFailureTest, ARecordEditedByAnotherProgramIsLocked) {
    AddPatient("张三");
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    const pid_t child = fork();
    if (child == 0) {
        // Another copy of the program: its own engine session on the same directory.
        auto other = EngineSession::Start(EngineLibraryCandidates());
        hDBIDb db = nullptr;
        hDBICur cur = nullptr;
        hDBIRec rec = nullptr;
        const DbeApi& api = other->Api();
        api.dbeOpenDatabase("", dbiREADWRITE, dbiOPENSHARED, &db);
        api.dbeSetDirectory(db, kClinicDatabase);
        api.dbeOpenTable(db, "bingren.DB", nullptr, dbiREADWRITE, dbiOPENSHARED, xltFIELD, &cur);
        api.dbeAllocRecord(cur, &rec);
        api.dbeGetNextRecord(cur, dbiWRITELOCK, rec);
        char byte = 1;
        if (write(ready[1], &byte, 1) != 1 || read(done[0], &byte, 1) != 1) _exit(2);
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    try {
        data_->Tablebingren.Edit();
        ADD_FAILURE() << "the record should be locked";
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), DBIERR_LOCKED);
    }
    EXPECT_EQ(data_->Tablebingren.State(), TDataSetState::dsBrowse);
    ASSERT_EQ(write(done[1], &byte, 1), 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    data_->Tablebingren.Edit();
    EXPECT_EQ(data_->Tablebingren.State(), TDataSetState::dsEdit)
        << "the lock died with its process";
}
