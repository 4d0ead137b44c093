#include "tools/backup.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "engine/sqlitekit/sqlite_support.h"
#include "engine/sqlitekit/table_use.h"
#include "engine/tablecrypt/protected_file.h"
#include "tests/tools/tool_test_support.h"
#include "tools/demo_loader.h"
#include "tools/protection_commands.h"
#include "tools/tool_error.h"

namespace clinicdb {
namespace {

namespace fs = std::filesystem;
using testing::Execute;
using testing::kQuickCost;
using testing::Query;
using testing::ReadBytes;
using testing::ScriptedPasswords;
using testing::TempDir;

class Backups : public ::testing::Test {
  protected:
    void SetUp() override { LoadDemo(dir_, {60, dates::FromCivil(2024, 5, 1), 7}); }

    std::string Bytes(std::string_view table) const {
        return ReadBytes(dir_ / (std::string(table) + ".DB"));
    }

    TempDir scratch_;
    fs::path dir_ = scratch_ / "db";
    fs::path dest_ = scratch_ / "backups";
};

TEST_F(Backups, CopiesBothTablesVerifiesThemAndPutsThemBack) {
    const std::string patients = Bytes("bingren"), visits = Bytes("bingli");
    const BackupDone done = TakeBackup(dir_, dest_, 0);
    ASSERT_EQ(done.tables.size(), 2u);
    EXPECT_EQ(done.tables[0].rows, 60);
    EXPECT_EQ(ReadBytes(done.folder / "bingren.DB"), patients);
    EXPECT_EQ(ReadBytes(done.folder / "bingli.DB"), visits);
    EXPECT_EQ(VerifyBackup(done.folder).size(), 2u);

    Execute(dir_ / "bingren.DB", "DELETE FROM bingren WHERE Id < 10");
    Execute(dir_ / "bingli.DB", "UPDATE bingli SET Zhsu = 'changed'");
    RestoreBackup(done.folder, dir_);
    EXPECT_EQ(Bytes("bingren"), patients);
    EXPECT_EQ(Bytes("bingli"), visits);
    EXPECT_FALSE(fs::exists(dir_ / "bingren.DB.replaced"));
    EXPECT_FALSE(fs::exists(dir_ / "bingren.DB.restoring"));

    // A byte changed in the copy, or a file gone, fails the verification and the restore.
    testing::Scribble(done.folder / "bingli.DB", 5000, 8);
    EXPECT_THROW(VerifyBackup(done.folder), ToolError);
    EXPECT_THROW(RestoreBackup(done.folder, dir_), ToolError);
    EXPECT_EQ(Bytes("bingli"), visits);
    EXPECT_THROW(VerifyBackup(scratch_.Path()), ToolError) << "no manifest";
}

TEST_F(Backups, AProtectedTableStaysEncryptedUnderItsPassword) {
    ScriptedPasswords password({"secret"});
    ProtectTable(dir_ / "bingren.DB", password, kQuickCost);
    const BackupDone done = TakeBackup(dir_, dest_, 0);
    EXPECT_TRUE(done.tables[0].isProtected);
    EXPECT_FALSE(done.tables[0].rows);
    EXPECT_TRUE(tablecrypt::IsProtected((done.folder / "bingren.DB").string()));
    EXPECT_EQ(ReadBytes(done.folder / "bingren.DB"), Bytes("bingren"));
    EXPECT_EQ(Query(done.folder / "bingren.DB", "SELECT count(*) FROM bingren", "secret"),
              std::vector<testing::Row>({{"60"}}));
    EXPECT_EQ(VerifyBackup(done.folder).size(), 2u);
}

TEST_F(Backups, KeepRemovesOnlyTheOldestBackupsItWrote) {
    fs::create_directories(dest_ / "clinic-20000101-000000");  // no manifest: not a backup
    fs::create_directories(dest_ / "photos");
    std::vector<fs::path> taken;
    for (int i = 0; i < 3; ++i) taken.push_back(TakeBackup(dir_, dest_, 0).folder);
    const BackupDone last = TakeBackup(dir_, dest_, 2);
    EXPECT_EQ(last.removed, std::vector<fs::path>({taken[0], taken[1]}));
    EXPECT_TRUE(fs::exists(taken[2]));
    EXPECT_TRUE(fs::exists(last.folder));
    EXPECT_TRUE(fs::exists(dest_ / "clinic-20000101-000000"));
    EXPECT_TRUE(fs::exists(dest_ / "photos"));
    EXPECT_TRUE(TakeBackup(dir_, dest_, 1).removed.size() == 2u) << "never the one just written";

    const int another = open(dest_.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(another, LOCK_EX), 0);
    EXPECT_THROW(TakeBackup(dir_, dest_, 1), ToolError) << "one backup at a time";
    close(another);
    EXPECT_EQ(std::distance(fs::directory_iterator(dest_), fs::directory_iterator()), 3);
}

TEST_F(Backups, RestoreIsRefusedWhileAProgramHasATableOpen) {
    const BackupDone done = TakeBackup(dir_, dest_, 0);
    Execute(dir_ / "bingren.DB", "DELETE FROM bingren");
    const std::string emptied = Bytes("bingren");
    {
        const dbe::TableUse program((dir_ / "bingli.DB").string(), dbe::TableUse::Kind::Shared);
        EXPECT_THROW(RestoreBackup(done.folder, dir_), ToolError);
    }
    EXPECT_EQ(Bytes("bingren"), emptied) << "nothing was changed";
    RestoreBackup(done.folder, dir_);
    EXPECT_EQ(Query(dir_ / "bingren.DB", "SELECT count(*) FROM bingren"),
              std::vector<testing::Row>({{"60"}}));
}

// Another process posts visits one by one, each in its own transaction, while backups are taken:
// every copy holds a prefix of those visits and passes its checks.
TEST_F(Backups, ACopyTakenWhilePostingHoldsAPrefixOfThePosts) {
    const auto highest = [](const fs::path& file) {
        return std::stoll(Query(file, "SELECT coalesce(max(Id), 0) FROM bingli")[0][0]);
    };
    const std::int64_t before = highest(dir_ / "bingli.DB");
    const pid_t child = fork();
    if (child == 0) {
        auto db = sqlitekit::Connection::Open((dir_ / "bingli.DB").string(), SQLITE_OPEN_READWRITE);
        sqlite3_busy_timeout(db.Handle(), 20000);
        for (int i = 1; i <= 1000; ++i) {
            db.Exec("INSERT INTO bingli (Id, Brid, Zhsu) VALUES (" + std::to_string(before + i) +
                    ", 1, 'posted')");
        }
        _exit(0);
    }
    std::vector<fs::path> copies;
    for (int i = 0; i < 6; ++i) {
        copies.push_back(TakeBackup(dir_, dest_, 0).folder);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    for (const fs::path& copy : copies) {
        const fs::path visits = copy / "bingli.DB";
        const std::int64_t top = highest(visits);
        EXPECT_EQ(std::stoll(Query(visits, "SELECT count(*) FROM bingli WHERE Id > " +
                                               std::to_string(before))[0][0]),
                  std::max<std::int64_t>(top - before, 0))
            << copy;
        EXPECT_NO_THROW(VerifyBackup(copy));
    }
}

// Kills a backup, then a restore, at random moments: the tables stay whole (the old bytes or the
// backup's), and a restore run again finishes.
TEST_F(Backups, KilledBackupsAndRestoresLeaveEveryTableWhole) {
    const BackupDone first = TakeBackup(dir_, dest_, 0);
    Execute(dir_ / "bingli.DB", "UPDATE bingli SET Zhsu = 'later'");
    const std::string patients = Bytes("bingren"), visits = Bytes("bingli");
    const std::string restoredVisits = ReadBytes(first.folder / "bingli.DB");
    std::mt19937 random(7);
    for (int round = 0; round < 16; ++round) {
        const bool restoring = round % 2 == 1;
        const pid_t child = fork();
        if (child == 0) {
            for (;;) {
                if (restoring) {
                    RestoreBackup(first.folder, dir_);
                } else {
                    TakeBackup(dir_, dest_, 3);
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        EXPECT_EQ(Bytes("bingren"), patients);
        const std::string now = Bytes("bingli");
        EXPECT_TRUE(now == visits || now == restoredVisits) << "round " << round;
        for (const fs::directory_entry& entry : fs::directory_iterator(dest_)) {
            if (entry.path().filename().string()[0] != '.') {
                EXPECT_NO_THROW(VerifyBackup(entry.path())) << entry.path();
            }
        }
        if (restoring) {
            RestoreBackup(first.folder, dir_);
            EXPECT_EQ(Bytes("bingli"), restoredVisits);
            Execute(dir_ / "bingli.DB", "UPDATE bingli SET Zhsu = 'later'");
            EXPECT_EQ(Bytes("bingli"), visits);
        }
    }
    // What the killed backups left is removed by the next one, and nothing else hidden is.
    fs::create_directory(dest_ / ".clinic-20240101-000000");
    fs::create_directory(dest_ / ".thumbnails");
    std::vector<fs::path> left;
    for (const fs::directory_entry& entry : fs::directory_iterator(dest_)) {
        if (entry.path().filename().string().starts_with(".clinic-")) left.push_back(entry.path());
    }
    std::vector<fs::path> removed = TakeBackup(dir_, dest_, 0).unfinished;
    std::sort(left.begin(), left.end());
    std::sort(removed.begin(), removed.end());
    EXPECT_EQ(removed, left);
    for (const fs::path& folder : left) EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(fs::exists(dest_ / ".thumbnails"));
}

}  // namespace
}  // namespace clinicdb
