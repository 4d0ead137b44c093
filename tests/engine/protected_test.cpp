// Protected tables: opened only with a session password, encrypted in every file they write,
// and a damaged file is an error rather than wrong rows.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <variant>
#include <vector>

#include "engine/sqlitekit/table_use.h"
#include "engine/tablecrypt/table_protection.h"
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

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void PutBytes(const std::string& path, std::streamoff offset, const std::string& bytes) {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(offset);
    file << bytes;
}

void FlipByte(const std::string& path, std::streamoff offset) {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekg(offset);
    const char byte = static_cast<char>(file.get() ^ 0x40);
    file.seekp(offset);
    file.put(byte);
}

// Every patient's fields in Id order and what the integrity check says; or the error code of
// the first statement that failed.
struct Outcome {
    std::string rows;
    int count = 0;
    std::string integrity;
    int error = SQLITE_OK;
};

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
    return out << outcome.count << " patients, integrity " << outcome.integrity.substr(0, 80)
               << ", error " << outcome.error;
}

Outcome ReadThrough(const std::string& path, const tablecrypt::UnlockedFile& unlocked) {
    const tablecrypt::KeyGrant grant(path, unlocked);
    Outcome outcome;
    try {
        // Read-write, so that a hot journal is rolled back first.
        const auto connection =
            sqlitekit::Connection::Open(path, SQLITE_OPEN_READWRITE, tablecrypt::ProtectedVfs());
        sqlitekit::Statement rows(connection.Handle(),
                                  "SELECT Id, Xm, Xb, Gzdw FROM bingren ORDER BY Id");
        for (; rows.Step(); ++outcome.count) {
            for (int column = 0; column < 4; ++column) {
                outcome.rows.append(rows.ColumnText(column)).push_back('|');
            }
        }
        sqlitekit::Statement integrity(connection.Handle(), "PRAGMA integrity_check");
        while (integrity.Step()) outcome.integrity.append(integrity.ColumnText(0));
    } catch (const sqlitekit::Error& error) {
        outcome.error = error.Code();
    }
    return outcome;
}

// Changes every patient in a child process whose page cache is too small for the change, so
// that SQLite writes changed pages into the table before committing, and kills the child
// there: the table is left half changed beside a hot journal that holds its pages as they were.
void KillMidTransaction(const std::string& path, const tablecrypt::UnlockedFile& unlocked) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        try {
            const tablecrypt::KeyGrant grant(path, unlocked);
            const auto connection = sqlitekit::Connection::Open(path, SQLITE_OPEN_READWRITE,
                                                                tablecrypt::ProtectedVfs());
            connection.Exec(
                "PRAGMA cache_size=5; BEGIN;"
                "INSERT INTO bingren (Xm, Gzdw) SELECT Xm, Gzdw || '+' FROM bingren;"
                "UPDATE bingren SET Xb = '女';");
            const char changed = 1;
            if (write(ready[1], &changed, 1) == 1) pause();
        } catch (...) {
        }
        _exit(2);
    }
    close(ready[1]);
    char changed = 0;
    const bool reported = read(ready[0], &changed, 1) == 1;
    close(ready[0]);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_TRUE(reported) << "the child did not change the table";
}

// Offsets of a file to damage one at a time: every byte of the fields at the start of its
// first two blocks and of its first block's second sector (where headers keep their fields),
// and one byte of every 16 (an AES block: the least that a changed byte garbles under XTS).
std::vector<std::size_t> DamageSample(std::size_t size) {
    std::set<std::size_t> offsets;
    for (const std::size_t start : {std::size_t{0}, std::size_t{512}, tablecrypt::kBlockSize}) {
        for (std::size_t at = start; at < start + 64 && at < size; ++at) offsets.insert(at);
    }
    for (std::size_t unit = 0; unit * 16 < size; ++unit) offsets.insert(unit * 16 + unit * 7 % 16);
    offsets.erase(offsets.lower_bound(size), offsets.end());
    return {offsets.begin(), offsets.end()};
}

// A temporary journal opened straight through the protected VFS, as SQLite opens one, and
// read and written a whole block at a time.
class AuxiliaryFile {
  public:
    explicit AuxiliaryFile(const std::string& path)
        : vfs_(sqlite3_vfs_find(tablecrypt::ProtectedVfs())),
          memory_(vfs_->szOsFile / sizeof(std::max_align_t) + 1) {
        const int flags = SQLITE_OPEN_TEMP_JOURNAL | SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        int opened = 0;
        EXPECT_EQ(vfs_->xOpen(vfs_, path.c_str(), File(), flags, &opened), SQLITE_OK);
    }
    ~AuxiliaryFile() {
        if (File()->pMethods != nullptr) File()->pMethods->xClose(File());
    }
    AuxiliaryFile(const AuxiliaryFile&) = delete;
    AuxiliaryFile& operator=(const AuxiliaryFile&) = delete;

    int Write(std::uint64_t block, char fill) {
        const std::string bytes(tablecrypt::kBlockSize, fill);
        return File()->pMethods->xWrite(File(), bytes.data(), bytes.size(), Offset(block));
    }
    // The block's bytes, or the error code of reading it.
    std::variant<std::string, int> Read(std::uint64_t block) {
        std::string bytes(tablecrypt::kBlockSize, '\0');
        const int rc = File()->pMethods->xRead(File(), bytes.data(), bytes.size(), Offset(block));
        if (rc != SQLITE_OK) return rc;
        return bytes;
    }
    int Truncate(std::uint64_t blocks) {
        return File()->pMethods->xTruncate(File(), Offset(blocks));
    }

  private:
    static sqlite3_int64 Offset(std::uint64_t block) {
        return static_cast<sqlite3_int64>(block * tablecrypt::kBlockSize);
    }
    sqlite3_file* File() { return reinterpret_cast<sqlite3_file*>(memory_.data()); }

    sqlite3_vfs* vfs_;
    std::vector<std::max_align_t> memory_;
};

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
        const DBIResult result =
            dbeOpenTable(db_, table.c_str(), nullptr, dbiREADWRITE, dbiOPENSHARED, xltFIELD, &cur);
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

TEST_F(ProtectedTableTest, ADamagedJournalIsAnErrorNeverOtherRows) {
    MakeProtectedBingren(200);
    const std::string path = Path("bingren.DB");
    const tablecrypt::UnlockedFile unlocked = tablecrypt::Unlock(path, "secret").value();
    const std::string tableBefore = Bytes(path);
    const Outcome before = ReadThrough(path, unlocked);
    ASSERT_EQ(before.error, SQLITE_OK);
    ASSERT_EQ(before.integrity, "ok");
    KillMidTransaction(path, unlocked);
    const std::string table = Bytes(path), journal = Bytes(path + "-journal");
    ASSERT_NE(table, tableBefore) << "nothing of the change reached the table";

    // Each damaged journal beside its own copy of the half-changed table.
    const std::string copy = Path("copy.DB");
    const auto recover = [&](const std::string& damaged) {
        WriteBytes(copy, table);
        WriteBytes(copy + "-journal", damaged);
        return ReadThrough(copy, unlocked);
    };
    const auto same = [&](const Outcome& outcome) {
        return outcome.rows == before.rows && outcome.integrity == before.integrity;
    };
    const Outcome intact = recover(journal);
    ASSERT_TRUE(same(intact)) << intact << " rather than " << before;
    int reported = 0;
    for (const std::size_t at : DamageSample(journal.size())) {
        std::string damaged = journal;
        damaged[at] ^= 0x40;
        const Outcome outcome = recover(damaged);
        if (outcome.error == SQLITE_OK) {
            EXPECT_TRUE(same(outcome)) << "byte " << at << " of the journal changed: " << outcome
                                       << " rather than " << before;
            continue;
        }
        ++reported;
        EXPECT_EQ(outcome.error, SQLITE_IOERR_DATA) << "byte " << at << " of the journal changed";
        // The damaged journal is kept, so a second opening fails as the first did.
        EXPECT_EQ(ReadThrough(copy, unlocked).error, outcome.error) << "byte " << at;
    }
    EXPECT_GT(reported, 0);

    // The engine calls it damage too.
    WriteBytes(path + "-journal", journal);
    FlipByte(path + "-journal", 0);
    ASSERT_EQ(dbeAddPassword("secret"), DBIERR_NONE);
    EXPECT_EQ(TryOpen("bingren.DB"), DBIERR_CORRUPT);
    EXPECT_NE(Entries().find("failed its check"), std::string::npos) << Entries();
}

// The checks bind a page to its number and its file, not to a version of it: an older copy of
// a page put back in its own place passes (protected_vfs.h), one put in another place fails.
TEST_F(ProtectedTableTest, AnOlderCopyOfAPageInItsOwnPlacePassesItsCheck) {
    MakeProtectedBingren();
    const std::string path = Path("bingren.DB");
    const std::string old = Bytes(path);
    {
        const tablecrypt::TableConnection writer(path, SQLITE_OPEN_READWRITE, "secret");
        writer.Get().Exec("UPDATE bingren SET Gzdw = 'changed' WHERE Id = 1");
    }
    // Page 2, the table's root, behind the header block and page 1.
    const std::string oldRoot = old.substr(2 * tablecrypt::kBlockSize, tablecrypt::kBlockSize);
    PutBytes(path, 2 * tablecrypt::kBlockSize, oldRoot);
    {
        const tablecrypt::TableConnection reader(path, SQLITE_OPEN_READONLY, "secret");
        sqlitekit::Statement gzdw(reader.Get().Handle(), "SELECT Gzdw FROM bingren WHERE Id = 1");
        ASSERT_TRUE(gzdw.Step());
        EXPECT_EQ(gzdw.ColumnText(0), kMarker + "1");
    }
    // Page 3 of the same file in the root's place.
    PutBytes(path, 2 * tablecrypt::kBlockSize,
             old.substr(3 * tablecrypt::kBlockSize, tablecrypt::kBlockSize));
    const tablecrypt::TableConnection reader(path, SQLITE_OPEN_READONLY, "secret");
    try {
        sqlitekit::Statement gzdw(reader.Get().Handle(), "SELECT Gzdw FROM bingren WHERE Id = 1");
        gzdw.Step();
        ADD_FAILURE() << "a page moved to another number passed its check";
    } catch (const sqlitekit::Error& error) {
        EXPECT_EQ(error.Code(), SQLITE_IOERR_DATA);
    }
}

// The physical offset of a temporary journal's block in its first run: behind the header and
// the block of checks.
std::streamoff InFirstRun(std::uint64_t block) {
    return static_cast<std::streamoff>((block + 2) * tablecrypt::kBlockSize);
}

TEST_F(ProtectedTableTest, AuxiliaryBlocksReadBackAndFailTheirChecksWhenDamaged) {
    const std::string path = Path("temp-journal");
    AuxiliaryFile file(path);
    // Past the first run of blocks and its block of checks.
    for (std::uint64_t block = 0; block < 130; ++block) {
        ASSERT_EQ(file.Write(block, static_cast<char>('a' + block % 26)), SQLITE_OK);
    }
    for (std::uint64_t block = 0; block < 130; ++block) {
        const std::string expected(tablecrypt::kBlockSize, static_cast<char>('a' + block % 26));
        EXPECT_EQ(file.Read(block), (std::variant<std::string, int>(expected))) << block;
    }
    // The header, two blocks of checks and the blocks.
    EXPECT_EQ(std::filesystem::file_size(path), (1 + 2 + 130) * tablecrypt::kBlockSize);
    FlipByte(path, std::filesystem::file_size(path) - 1);
    // Another block first: the one last used is kept in memory.
    EXPECT_EQ(file.Read(128).index(), 0u);
    EXPECT_EQ(file.Read(129), (std::variant<std::string, int>(SQLITE_IOERR_DATA)));
}

TEST_F(ProtectedTableTest, ABlockWhoseRewriteACrashCutOffPassesAsItWas) {
    const std::string path = Path("temp-journal");
    AuxiliaryFile file(path);
    ASSERT_EQ(file.Write(0, 'a'), SQLITE_OK);
    const std::string first = Bytes(path).substr(InFirstRun(0), tablecrypt::kBlockSize);
    ASSERT_EQ(file.Write(0, 'b'), SQLITE_OK);
    // The rewrite's check reached the file, the block did not. Another block is used between
    // each step: the one last used is kept in memory.
    ASSERT_EQ(file.Write(1, 'c'), SQLITE_OK);
    PutBytes(path, InFirstRun(0), first);
    const std::string a(tablecrypt::kBlockSize, 'a');
    EXPECT_EQ(file.Read(0), (std::variant<std::string, int>(a)));
    FlipByte(path, InFirstRun(0) + 100);
    EXPECT_EQ(file.Read(1).index(), 0u);
    EXPECT_EQ(file.Read(0), (std::variant<std::string, int>(SQLITE_IOERR_DATA)));
}

TEST_F(ProtectedTableTest, BlocksNotWrittenSinceATruncationReadAsZeros) {
    const std::string path = Path("temp-journal");
    AuxiliaryFile file(path);
    for (std::uint64_t block = 0; block < 4; ++block) ASSERT_EQ(file.Write(block, 'a'), SQLITE_OK);
    ASSERT_EQ(file.Truncate(1), SQLITE_OK);
    ASSERT_EQ(file.Write(3, 'd'), SQLITE_OK);
    const std::string zeros(tablecrypt::kBlockSize, '\0'), d(tablecrypt::kBlockSize, 'd');
    EXPECT_EQ(file.Read(1), (std::variant<std::string, int>(zeros)));
    EXPECT_EQ(file.Read(3), (std::variant<std::string, int>(d)));
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
            dbeInsertRecord(cur, dbiNOLOCK, rec) ||
            dbeGetField(cur, kId, rec, &id, sizeof id, nullptr) ||
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
