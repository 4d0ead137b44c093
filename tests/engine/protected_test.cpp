// Protected tables: opened only with a session password, encrypted in every file they write,
// and a damaged file is an error rather than wrong rows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "engine/table_protection.h"
#include "engine/table_use.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/kill_while_posting.h"

namespace dbe_test {
namespace {

// Cheaper than the tools' cost, so that each unlock takes a fraction of a second.
constexpr tablecrypt::KdfCost kTestCost{14, 8, 1};
const std::string kMarker = "Clinic-Marker-Gzdw";
const std::string kName = "张三丰";

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void FlipByte(const std::string& path, std::streamoff offset) {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekg(offset);
    const char byte = static_cast<char>(file.get() ^ 0x40);
    file.seekp(offset);
    file.put(byte);
}

class ProtectedTableTest : public EngineTest {
  protected:
    // bingren with `rows` patients named kName and working at kMarker, then protected.
    void MakeProtectedBingren(int rows = 3) {
        MakeBingren();
        Exec("bingren.DB",
             "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                 std::to_string(rows) + ") INSERT INTO bingren (Xm, Gzdw) SELECT '" + kName +
                 "', '" + kMarker + "' || i FROM n");
        tablecrypt::Protect(Path("bingren.DB"), "secret", kTestCost);
    }

    DBIResult TryOpen(const std::string& table) {
        hDBICur cur = nullptr;
        const DBIResult result = dbeOpenTable(db_, table.c_str(), nullptr, dbiREADWRITE,
                                              dbiOPENSHARED, xltFIELD, &cur);
        if (cur != nullptr) cursors_.push_back(cur);
        return result;
    }

    DBIResult TryPrepare() {
        hDBIStmt stmt = nullptr;
        const DBIResult result =
            dbeQPrepare(db_, "SELECT Id, Xm FROM bingren.DB WHERE Xm LIKE '%张%'", &stmt);
        if (stmt != nullptr) dbeQFree(stmt);
        return result;
    }

    void CloseAll() {
        for (hDBICur cur : cursors_) dbeCloseCursor(cur);
        cursors_.clear();
    }
};

TEST_F(ProtectedTableTest, OpensOnlyWithAPasswordOfTheSession) {
    MakeProtectedBingren();
    EXPECT_EQ(TryOpen("bingren.DB"), DBIERR_NOTSUFFTABLERIGHTS);
    EXPECT_NE(Entries().find("bingren.DB"), std::string::npos) << Entries();
    EXPECT_EQ(TryPrepare(), DBIERR_NOTSUFFTABLERIGHTS);

    ASSERT_EQ(dbeAddPassword("wrong"), DBIERR_NONE);
    EXPECT_EQ(TryOpen("bingren.DB"), DBIERR_NOTSUFFTABLERIGHTS);
    ASSERT_EQ(dbeAddPassword("secret"), DBIERR_NONE);
    EXPECT_EQ(TryOpen("bingren.DB"), DBIERR_NONE) << Entries();
    ASSERT_EQ(cursors_.size(), 1u);
    hDBIRec rec = Alloc(cursors_[0]);
    ASSERT_EQ(dbeGetNextRecord(cursors_[0], dbiNOLOCK, rec), DBIERR_NONE);
    EXPECT_EQ(Text(cursors_[0], rec, kXm), kName);
    EXPECT_EQ(TryPrepare(), DBIERR_NONE) << Entries();
}

TEST_F(ProtectedTableTest, PlainTablesBesideItNeedNoPassword) {
    MakeProtectedBingren();
    MakeBingli();
    EXPECT_EQ(TryOpen("bingli.DB"), DBIERR_NONE) << Entries();
    EXPECT_EQ(TryOpen("bingren.DB"), DBIERR_NOTSUFFTABLERIGHTS);
}

TEST_F(ProtectedTableTest, DroppedPasswordsOpenNothingMore) {
    MakeProtectedBingren();
    ASSERT_EQ(dbeAddPassword("secret"), DBIERR_NONE);
    ASSERT_EQ(TryOpen("bingren.DB"), DBIERR_NONE);
    CloseAll();
    ASSERT_EQ(dbeDropPassword("secret"), DBIERR_NONE);
    EXPECT_EQ(TryOpen("bingren.DB"), DBIERR_NOTSUFFTABLERIGHTS);

    ASSERT_EQ(dbeAddPassword("other"), DBIERR_NONE);
    ASSERT_EQ(dbeAddPassword("secret"), DBIERR_NONE);
    ASSERT_EQ(TryOpen("bingren.DB"), DBIERR_NONE);
    CloseAll();
    ASSERT_EQ(dbeDropAllPasswords(), DBIERR_NONE);
    EXPECT_EQ(TryOpen("bingren.DB"), DBIERR_NOTSUFFTABLERIGHTS);
    EXPECT_EQ(dbeDropPassword("never added"), DBIERR_NONE);
}

TEST_F(ProtectedTableTest, PasswordsAreAtMost255Bytes) {
    EXPECT_EQ(dbeAddPassword(std::string(255, 'p').c_str()), DBIERR_NONE);
    EXPECT_EQ(dbeAddPassword(std::string(256, 'p').c_str()), DBIERR_INVALIDPARAM);
    EXPECT_EQ(dbeAddPassword(nullptr), DBIERR_INVALIDPARAM);
}

TEST_F(ProtectedTableTest, PostsReachTheFileAndReadBackAfterReopening) {
    MakeProtectedBingren();
    ASSERT_EQ(dbeAddPassword("secret"), DBIERR_NONE);
    ASSERT_EQ(TryOpen("bingren.DB"), DBIERR_NONE);
    for (int i = 0; i < 200; ++i) Insert(cursors_[0], {{kXm, "李四"}, {5, kMarker}});
    CloseAll();
    ASSERT_EQ(TryOpen("bingren.DB"), DBIERR_NONE);
    EXPECT_EQ(Ids(cursors_[0]).size(), 203u);

    const tablecrypt::TableConnection check(Path("bingren.DB"), SQLITE_OPEN_READONLY, "secret");
    sqlitekit::Statement integrity(check.Get().Handle(), "PRAGMA integrity_check");
    ASSERT_TRUE(integrity.Step());
    EXPECT_EQ(integrity.ColumnText(0), "ok");
}

TEST_F(ProtectedTableTest, NoFileShowsPatientDataInClear) {
    MakeProtectedBingren(500);
    const std::string table = Bytes(Path("bingren.DB"));
    EXPECT_EQ(table.find(kMarker), std::string::npos);
    EXPECT_EQ(table.find(kName), std::string::npos);

    // The rollback journal holds the old pages while a change is under way.
    const tablecrypt::TableConnection writer(Path("bingren.DB"), SQLITE_OPEN_READWRITE, "secret");
    writer.Get().Exec("BEGIN; UPDATE bingren SET Xb = '男';");
    const std::string journal = Bytes(Path("bingren.DB-journal"));
    writer.Get().Exec("COMMIT");
    ASSERT_GT(journal.size(), 2 * tablecrypt::kBlockSize);
    EXPECT_EQ(journal.find(kMarker), std::string::npos);
    EXPECT_EQ(journal.find(kName), std::string::npos);
}

TEST_F(ProtectedTableTest, ADamagedHeaderIsAnErrorAndNoPrompt) {
    MakeProtectedBingren();
    FlipByte(Path("bingren.DB"), 40);  // inside the salt
    const std::string before = Bytes(Path("bingren.DB"));
    ASSERT_EQ(dbeAddPassword("secret"), DBIERR_NONE);
    EXPECT_EQ(TryOpen("bingren.DB"), DBIERR_CORRUPT);
    EXPECT_NE(Entries().find("protection header"), std::string::npos) << Entries();
    EXPECT_EQ(Bytes(Path("bingren.DB")), before);
}

TEST_F(ProtectedTableTest, ADamagedPageIsAnErrorNotWrongRows) {
    MakeProtectedBingren(2000);
    ASSERT_GT(std::filesystem::file_size(Path("bingren.DB")), 8 * tablecrypt::kBlockSize);
    // Page 2, the table's root, behind the header block and page 1.
    FlipByte(Path("bingren.DB"), 2 * tablecrypt::kBlockSize + 1000);
    const std::string before = Bytes(Path("bingren.DB"));
    ASSERT_EQ(dbeAddPassword("secret"), DBIERR_NONE);
    ASSERT_EQ(TryOpen("bingren.DB"), DBIERR_NONE) << Entries();
    hDBIRec rec = Alloc(cursors_[0]);
    DBIResult result = DBIERR_NONE;
    while ((result = dbeGetNextRecord(cursors_[0], dbiNOLOCK, rec)) == DBIERR_NONE) {
        EXPECT_EQ(Text(cursors_[0], rec, kXm), kName);
    }
    EXPECT_EQ(result, DBIERR_CORRUPT);
    EXPECT_NE(Entries().find("failed its check"), std::string::npos) << Entries();
    EXPECT_EQ(Bytes(Path("bingren.DB")), before);
}

TEST_F(ProtectedTableTest, AFileIsNeverReplacedWhileTheEngineHasItOpen) {
    MakeProtectedBingren();
    ASSERT_EQ(dbeAddPassword("secret"), DBIERR_NONE);
    ASSERT_EQ(TryOpen("bingren.DB"), DBIERR_NONE);
    EXPECT_THROW(tablecrypt::Unprotect(Path("bingren.DB"), "secret"), dbe::TableInUse);
    EXPECT_TRUE(tablecrypt::IsProtected(Path("bingren.DB")));
    CloseAll();
    {
        const dbe::TableUse tool(Path("bingren.DB"), dbe::TableUse::Kind::Exclusive);
        EXPECT_EQ(TryOpen("bingren.DB"), DBIERR_BUSY);
    }
    tablecrypt::Unprotect(Path("bingren.DB"), "secret");
    EXPECT_EQ(TryOpen("bingren.DB"), DBIERR_NONE) << Entries();
}

TEST_F(ProtectedTableTest, NoPageIsWrittenWithoutRoomForItsCheck) {
    const std::string path = Path("new.DB");
    tablecrypt::CreateProtected(path, "secret", kTestCost);
    {
        const tablecrypt::TableConnection file(path, SQLITE_OPEN_READWRITE, "secret");
        try {
            file.Get().Exec("CREATE TABLE new (Id INTEGER PRIMARY KEY)");
            ADD_FAILURE() << "a page without reserved bytes was written";
        } catch (const sqlitekit::Error& error) {
            EXPECT_EQ(error.Code(), SQLITE_IOERR_WRITE);
        }
    }
    EXPECT_EQ(std::filesystem::file_size(path), tablecrypt::kBlockSize);
    EXPECT_THROW(tablecrypt::TableConnection(path, SQLITE_OPEN_READONLY, "wrong"),
                 tablecrypt::WrongPassword);
}

// Inserts patients over and over, reporting each Id once its insert has returned.
[[noreturn]] void InsertUntilKilled(hDBIDb db, int report) {
    if (dbeAddPassword("secret") != DBIERR_NONE) _exit(2);
    hDBICur cur = nullptr;
    hDBIRec rec = nullptr;
    if (dbeOpenTable(db, "bingren.DB", nullptr, dbiREADWRITE, dbiOPENSHARED, xltFIELD, &cur) ||
        dbeAllocRecord(cur, &rec)) {
        _exit(2);
    }
    for (;;) {
        int32_t id = 0;
        if (dbeInitRecord(cur, rec) || dbePutField(cur, kXm, rec, kName.c_str()) ||
            dbeInsertRecord(cur, dbiNOLOCK, rec) || dbeGetField(cur, kId, rec, &id, sizeof id, nullptr) ||
            write(report, &id, sizeof id) != sizeof id) {
            _exit(3);
        }
    }
}

TEST_F(ProtectedTableTest, KilledWhilePostingLosesNothingThatWasPosted) {
    MakeProtectedBingren();
    const std::set<int32_t> posted =
        test_support::KillWhilePosting(8, [&](int report) { InsertUntilKilled(db_, report); });
    ASSERT_GT(posted.size(), 8u);

    // Read-write, so that a journal left by the last kill is rolled back first.
    const tablecrypt::TableConnection check(Path("bingren.DB"), SQLITE_OPEN_READWRITE, "secret");
    sqlitekit::Statement integrity(check.Get().Handle(), "PRAGMA integrity_check");
    ASSERT_TRUE(integrity.Step());
    EXPECT_EQ(integrity.ColumnText(0), "ok");
    std::set<int32_t> stored;
    sqlitekit::Statement ids(check.Get().Handle(), "SELECT Id FROM bingren");
    while (ids.Step()) stored.insert(static_cast<int32_t>(ids.ColumnInt(0)));
    for (int32_t id : posted) EXPECT_TRUE(stored.count(id)) << "patient " << id << " was lost";
}

}  // namespace
}  // namespace dbe_test
