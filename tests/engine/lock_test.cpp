// Record locks, table claims and access failures between logins that share a database
// directory: each login is a child process of its own uid (tests/support/other_user.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/sqlitekit/table_use.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/other_user.h"

namespace dbe_test {
namespace {

using test_support::kFirstLogin;
using test_support::kSecondLogin;
using test_support::kStaffGroup;
using test_support::OpenLogin;
using test_support::RunAs;

class LoginTest : public EngineTest {
  protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "only root can run steps as other logins";
        EngineTest::SetUp();
    }

    // The clinic's directory as staff share it: theirs to write through their group, with one
    // patient in bingren.DB.
    void ShareDirectory() {
        MakeBingren();
        Exec("bingren.DB", "INSERT INTO bingren (Xm) VALUES ('A')");
        for (const std::string& path : {dir_, Path("bingren.DB")}) {
            ASSERT_EQ(chown(path.c_str(), 0, kStaffGroup), 0);
        }
        ASSERT_EQ(chmod(dir_.c_str(), 02775), 0);
        ASSERT_EQ(chmod(Path("bingren.DB").c_str(), 0664), 0);
    }

    // A lock file as an engine that honoured the umask made it for the first login.
    void LockFileOfTheFirstLogin() {
        const int fd = open(Path("bingren.LCK").c_str(), O_RDWR | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(fchown(fd, kFirstLogin, kStaffGroup), 0);
        EXPECT_EQ(fchmod(fd, 0644), 0);
        close(fd);
    }

    // In a login's process: opens `table` in a database of its own and reads its first record.
    std::string OpenFirstRecord(const std::string& dir, hDBICur& cur, hDBIRec& rec,
                                const char* table = "bingren.DB") {
        hDBIDb db = nullptr;
        if (dbeOpenDatabase("", dbiREADWRITE, dbiOPENSHARED, &db) != DBIERR_NONE ||
            dbeSetDirectory(db, dir.c_str()) != DBIERR_NONE) {
            return "no database: " + Entries();
        }
        if (dbeOpenTable(db, table, "", dbiREADWRITE, dbiOPENSHARED, xltFIELD, &cur) !=
            DBIERR_NONE) {
            return "no table: " + Entries();
        }
        if (dbeAllocRecord(cur, &rec) != DBIERR_NONE ||
            dbeGetNextRecord(cur, dbiNOLOCK, rec) != DBIERR_NONE) {
            return "no record: " + Entries();
        }
        return "";
    }

    // In a login's process: edits the first patient and keeps its lock.
    std::string EditFirstPatient() {
        hDBICur cur = nullptr;
        hDBIRec rec = nullptr;
        const std::string opened = OpenFirstRecord(dir_, cur, rec);
        if (!opened.empty()) return opened;
        if (dbeGetRecord(cur, dbiWRITELOCK, rec) != DBIERR_NONE) return "no lock: " + Entries();
        return "";
    }

    // In a login's process: the first patient must be refused for editing and for writing,
    // each time with the engine's lock failure; answers the entries of the last refusal.
    std::string RefusedEdit(std::string& entries) {
        hDBICur cur = nullptr;
        hDBIRec rec = nullptr;
        const std::string opened = OpenFirstRecord(dir_, cur, rec);
        if (!opened.empty()) return opened;
        if (dbeGetRecord(cur, dbiWRITELOCK, rec) != DBIERR_LOCKED) {
            return "the edit was not refused: " + Entries();
        }
        if (dbePutField(cur, kXm, rec, "B") != DBIERR_NONE) return "no field: " + Entries();
        if (dbeModifyRecord(cur, rec, 1) != DBIERR_LOCKED) {
            return "the write was not refused: " + Entries();
        }
        entries = Entries();
        return "";
    }

    // In a login's process: "" when the call answered that this user may not read `what`,
    // rather than that it does not exist.
    static std::string DeniedAndSaid(DBIResult result, const std::string& what) {
        const std::string entries = Entries();
        if (result == DBIERR_NONE || result == DBIERR_NOTFOUND_FILE ||
            entries.find("Permission denied") == std::string::npos ||
            entries.find("does not exist") != std::string::npos) {
            return what + " answered " + std::to_string(result) + ": " + entries + "\n";
        }
        return "";
    }

    // In a login's process: the directory `closed` and the table bingren.DB, either way.
    std::string OpenWhatCannotBeRead() {
        hDBIDb db = nullptr;
        dbeOpenDatabase("", dbiREADWRITE, dbiOPENSHARED, &db);
        std::string report =
            DeniedAndSaid(dbeSetDirectory(db, Path("closed").c_str()), "directory");
        dbeSetDirectory(db, dir_.c_str());
        for (const int mode : {dbiREADWRITE, dbiREADONLY}) {
            hDBICur cur = nullptr;
            report += DeniedAndSaid(
                dbeOpenTable(db, "bingren.DB", "", mode, dbiOPENSHARED, xltFIELD, &cur), "table");
        }
        return report;
    }

    struct stat LockFile() const {
        struct stat info {};
        EXPECT_EQ(stat(Path("bingren.LCK").c_str(), &info), 0);
        return info;
    }
};

TEST_F(LoginTest, TwoLoginsNeverEditTheSamePatientAtOnce) {
    ShareDirectory();
    const OpenLogin first(kFirstLogin, kStaffGroup, [&] { return EditFirstPatient(); });
    ASSERT_EQ(first.Report(), "");
    std::string entries;
    EXPECT_EQ(RunAs(kSecondLogin, kStaffGroup, [&] { return RefusedEdit(entries); }), "");
    // Whoever may write the table may lock its records.
    EXPECT_EQ(LockFile().st_mode & 07777, 0664u);
    EXPECT_EQ(LockFile().st_gid, kStaffGroup);
}

TEST_F(LoginTest, ALockFileThatALoginCannotWriteRefusesItsEditsAndStillClaimsTheTable) {
    ShareDirectory();
    LockFileOfTheFirstLogin();
    const OpenLogin second(kSecondLogin, kStaffGroup, [&] {
        std::string entries;
        const std::string refused = RefusedEdit(entries);
        if (!refused.empty()) return refused;
        if (entries.find(Path("bingren.LCK")) == std::string::npos ||
            entries.find("Permission denied") == std::string::npos) {
            return "the refusal does not say why: " + entries;
        }
        return std::string();
    });
    EXPECT_EQ(second.Report(), "");
    // The second login has the table open: no tool may replace the file under it.
    EXPECT_THROW(dbe::TableUse(Path("bingren.DB"), dbe::TableUse::Kind::Exclusive),
                 dbe::TableInUse);
}

TEST_F(LoginTest, TheOwnerOfALockFileGivesItTheTablesModeAgain) {
    ShareDirectory();
    LockFileOfTheFirstLogin();
    EXPECT_EQ(RunAs(kFirstLogin, kStaffGroup, [&] { return EditFirstPatient(); }), "");
    EXPECT_EQ(LockFile().st_mode & 07777, 0664u);
    EXPECT_EQ(LockFile().st_uid, kFirstLogin);
}

TEST_F(LoginTest, ADirectoryOrTableThatCannotBeReadSaysSo) {
    MakeBingren();
    ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(Path("closed").c_str(), 0), 0);
    ASSERT_EQ(chmod(Path("bingren.DB").c_str(), 0), 0);
    EXPECT_EQ(RunAs(kFirstLogin, kFirstLogin, [&] { return OpenWhatCannotBeRead(); }), "");
}

}  // namespace
}  // namespace dbe_test
