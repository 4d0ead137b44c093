#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/sqlitekit/sqlite_support.h"
#include "tests/tools/tool_test_support.h"
#include "tools/deleted_commands.h"
#include "tools/demo_loader.h"
#include "tools/tool_error.h"

namespace clinicdb {
namespace {

namespace fs = std::filesystem;
using testing::Execute;
using testing::Query;
using testing::Row;
using testing::RunTool;
using testing::TempDir;

class DeletedRowsTest : public ::testing::Test {
  protected:
    void SetUp() override { LoadDemo(dir_.Path(), {40, dates::FromCivil(2024, 5, 1), 3}); }

    // Every row of the table with every value quoted as SQL writes it: type and bytes alike.
    std::vector<Row> Content(const std::string& table) const {
        std::string columns;
        for (const Row& column :
             Query(File(table), "SELECT name FROM pragma_table_info('" + table + "') ORDER BY cid"))
            columns += (columns.empty() ? "quote(\"" : " || ',' || quote(\"") + column[0] + "\")";
        return Query(File(table),
                     "SELECT rowid, " + columns + " FROM " + table + " ORDER BY rowid");
    }

    fs::path File(const std::string& table) const { return dir_ / (table + ".DB"); }

    std::string Undo(const std::string& table, std::int64_t id) {
        testing::PlainTables plain;
        return Undelete(dir_.Path(), table, id, plain.Get());
    }

    TempDir dir_;
};

// Deletes are kept with their time; bringing every deleted row back gives the tables their
// earlier content exactly, and the name indexes agree with it.
TEST_F(DeletedRowsTest, EveryDeletedRowComesBackExactly) {
    const auto patients = Content("bingren"), visits = Content("bingli");
    Execute(File("bingren"), "DELETE FROM bingren WHERE Id IN (3, 7, 11)");
    Execute(File("bingli"), "DELETE FROM bingli WHERE Id % 5 = 0");
    Execute(File("bingren"), "DELETE FROM bingren WHERE Id = 20");
    testing::PlainTables plain;
    const std::vector<DeletedRow> deleted = ListDeleted(dir_.Path(), plain.Get());
    ASSERT_FALSE(deleted.empty());
    EXPECT_EQ(deleted.front().table, "bingren") << "newest first";
    EXPECT_EQ(deleted.front().id, 20);
    EXPECT_EQ(deleted.front().what, Query(File("bingren"),
                                          "SELECT Xm FROM bingren_deleted WHERE "
                                          "deleted_rowid = 20")[0][0]);

    const auto report = testing::CheckPlain(dir_.Path());
    ASSERT_FALSE(report.missingPatients.empty());
    EXPECT_TRUE(report.missingPatients.front().deleted);

    EXPECT_THROW(Undo("bingren", 1), ToolError) << "never deleted: taken";
    EXPECT_THROW(Undo("bingren", 999), ToolError) << "never deleted";
    for (const DeletedRow& row : deleted)
        EXPECT_EQ(Undo(row.table, row.id).substr(0, 12), "brought back");
    EXPECT_EQ(Content("bingren"), patients);
    EXPECT_EQ(Content("bingli"), visits);
    EXPECT_TRUE(ListDeleted(dir_.Path(), plain.Get()).empty());
    EXPECT_TRUE(testing::CheckPlain(dir_.Path()).Passed());
    EXPECT_EQ(testing::CheckPlain(dir_.Path()).orphanCount, 0);

    // A number taken since is refused, and nothing changes.
    Execute(File("bingren"), "DELETE FROM bingren WHERE Id = 5");
    Execute(File("bingren"), "INSERT INTO bingren (Id, Xm) VALUES (5, '新人')");
    EXPECT_THROW(Undo("bingren", 5), ToolError);
    EXPECT_EQ(Query(File("bingren"), "SELECT Xm FROM bingren WHERE Id = 5"),
              std::vector<Row>({{"新人"}}));
}

TEST_F(DeletedRowsTest, ADeleteCutOffBeforeItsCommitLeavesNoTrace) {
    const auto patients = Content("bingren");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        const auto db =
            sqlitekit::Connection::Open(File("bingren").string(), SQLITE_OPEN_READWRITE);
        db.Exec("BEGIN; DELETE FROM bingren WHERE Id < 10");
        const char done = 1;
        if (write(ready[1], &done, 1) != 1) _exit(3);
        pause();
    }
    char done = 0;
    ASSERT_EQ(read(ready[0], &done, 1), 1);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(Content("bingren"), patients);
    EXPECT_EQ(Query(File("bingren"), "SELECT count(*) FROM bingren_deleted"),
              std::vector<Row>({{"0"}}));
}

// A file made by another tool, with just the table, still works; its deletes cannot be undone
// until check --repair adds what keeps them.
TEST_F(DeletedRowsTest, AFileWithoutDeletedRowsSaysSoAndRepairAddsThem) {
    Execute(File("bingli"), "DROP TRIGGER bingli_deleted_keep; DROP TABLE bingli_deleted");
    Execute(File("bingli"), "DELETE FROM bingli WHERE Id = 1");
    EXPECT_THROW(Undo("bingli", 1), ToolError);
    const auto run = RunTool({"check", dir_.Path()});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("bingli.DB: no bingli_deleted: deletes in bingli cannot be undone"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(RunTool({"check", dir_.Path(), "--repair"}).status, 0);
    Execute(File("bingli"), "DELETE FROM bingli WHERE Id = 2");
    EXPECT_EQ(Undo("bingli", 2), "brought back bingli 2\n");
}

}  // namespace
}  // namespace clinicdb
