// clinicdb on a database directory that several logins share: each login is a child process of
// its own uid (tests/support/other_user.h).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "engine/sqlitekit/table_use.h"
#include "engine/tablecrypt/table_protection.h"
#include "tests/support/other_user.h"
#include "tests/tools/tool_test_support.h"
#include "tools/demo_loader.h"

namespace clinicdb {
namespace {

using test_support::kFirstLogin;
using test_support::kSecondLogin;
using test_support::kStaffGroup;
using testing::RunTool;
using testing::TempDir;

class SharedDirectory : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "only root can run steps as other logins";
        LoadDemo(dir_.Path(), {20, dates::FromCivil(2024, 5, 1), 5});
    }

    // Gives `file` (made if missing) an owner, the staff's group and a mode.
    void Give(const std::filesystem::path& file, uid_t owner, mode_t mode) {
        const int fd = open(file.c_str(), O_RDONLY | O_CREAT, mode);
        ASSERT_GE(fd, 0) << file;
        EXPECT_EQ(fchown(fd, owner, kStaffGroup), 0);
        EXPECT_EQ(fchmod(fd, mode), 0);
        close(fd);
    }

    TempDir dir_;
};

TEST_F(SharedDirectory, ACopyInClearThatTheCheckCannotRemoveFailsIt) {
    ASSERT_EQ(chmod(dir_.Path().c_str(), 0755), 0);
    const auto copy = dir_ / "bingren.DB.copy";
    std::filesystem::copy_file(dir_ / "bingren.DB", copy);
    for (const char* lockFile : {"bingren.LCK", "bingli.LCK"}) Give(dir_ / lockFile, 0, 0644);
    const std::string report = test_support::RunAs(kFirstLogin, kStaffGroup, [&] {
        const auto run = RunTool({"check", dir_.Path()});
        if (run.status != 1) return "status " + std::to_string(run.status) + ": " + run.out;
        if (run.err.find(copy.string() + ": cannot be removed: Permission denied\n") ==
            std::string::npos) {
            return "the copy is not named: " + run.err;
        }
        return std::string();
    });
    EXPECT_EQ(report, "");
    EXPECT_TRUE(std::filesystem::exists(copy));
}

TEST_F(SharedDirectory, ADirectoryThatALoginCannotReadIsSaidToBeSo) {
    ASSERT_EQ(chmod(dir_.Path().c_str(), 0), 0);
    const std::string said =
        "clinicdb: cannot read " + dir_.Path().string() + ": Permission denied\n";
    const auto check = [&] {
        const auto run = RunTool({"check", dir_.Path()});
        return run.err == said ? std::string() : run.err;
    };
    EXPECT_EQ(test_support::RunAs(kFirstLogin, kStaffGroup, check), "");
}

// A login whose program has the table open, with a lock file that it may read but not write,
// still keeps every tool from replacing the file under it.
TEST_F(SharedDirectory, NoToolReplacesATableThatAnotherLoginHasOpen) {
    const auto file = dir_ / "bingren.DB";
    ASSERT_EQ(chmod(dir_.Path().c_str(), 0777), 0);
    Give(file, kFirstLogin, 0666);
    Give(dir_ / "bingren.LCK", kFirstLogin, 0644);
    const test_support::OpenLogin program(kSecondLogin, kStaffGroup, [&] {
        static std::optional<dbe::TableUse> use;
        use.emplace(file, dbe::TableUse::Kind::Shared);
        return std::string();
    });
    ASSERT_EQ(program.Report(), "");
    const auto run = RunTool({"protect", dir_.Path(), "bingren"}, {"pw"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is open in a running program"), std::string::npos) << run.err;
    EXPECT_FALSE(tablecrypt::IsProtected(file));
}

// A tool that cannot take the table exclusively changes nothing.
TEST_F(SharedDirectory, AToolThatCannotClaimTheTableRefuses) {
    const auto file = dir_ / "bingren.DB";
    ASSERT_EQ(chmod(dir_.Path().c_str(), 0777), 0);
    Give(file, kFirstLogin, 0666);
    Give(dir_ / "bingren.LCK", kFirstLogin, 0644);
    const auto refused = [&] {
        const auto run = RunTool({"protect", dir_.Path(), "bingren"}, {"pw"});
        return run.status == 1 ? std::string() : run.out;
    };
    EXPECT_EQ(test_support::RunAs(kSecondLogin, kStaffGroup, refused), "");
    EXPECT_FALSE(tablecrypt::IsProtected(file));
}

}  // namespace
}  // namespace clinicdb
