// A session with the test cluster: values bound as parameters, the prepared statements it
// keeps, the failures the server reports, transaction blocks and logins.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "tests/engine/pg/cluster.h"

namespace pgkit_test {
namespace {

using pgkit::Connection;
using pgkit::Failure;
using pgkit::Transaction;

TEST(PgConnection, ValuesRoundTripAsBoundParameters) {
    Connection db = Connect();
    db.Exec("CREATE TEMP TABLE visit (id integer, note text, doctor text)");
    const std::string quoted = "O'Brien said \"no\"; \\ $1'); DROP TABLE visit; --";
    // The last character is outside GBK.
    const std::string chinese = "张三 牙龈出血，复诊 𠀀";
    const std::string insert = "INSERT INTO visit VALUES ($1, $2, $3)";
    EXPECT_EQ(db.Query(insert, {"1", quoted, std::nullopt}).Affected(), 1);
    EXPECT_EQ(db.QueryPrepared(insert, {"2", chinese, ""}).Affected(), 1);

    const std::string select = "SELECT id, note, doctor FROM visit ORDER BY id";
    for (const pgkit::Result& rows : {db.Query(select), db.QueryPrepared(select)}) {
        ASSERT_EQ(rows.Rows(), 2);
        ASSERT_EQ(rows.Columns(), 3);
        EXPECT_EQ(rows.Int(0, 0), 1);
        EXPECT_EQ(rows.Text(0, 1), quoted);
        EXPECT_TRUE(rows.IsNull(0, 2));
        EXPECT_EQ(rows.Text(1, 1), chinese);
        EXPECT_FALSE(rows.IsNull(1, 2));
        EXPECT_EQ(rows.Text(1, 2), "");
        EXPECT_EQ(FailureOf([&] { rows.Int(0, 2); }).Kind(), Failure::Other);
    }
    EXPECT_EQ(db.Query("SELECT id FROM visit WHERE note = $1", {chinese}).Int(0, 0), 2);

    // The server cannot store a NUL; libpq would cut the value at it.
    const pgkit::Error nul = FailureOf([&] {
        db.Query(insert, {"3", std::string("a\0b", 3), ""});
    });
    EXPECT_EQ(nul.Kind(), Failure::Other);
    EXPECT_EQ(db.Query("SELECT count(*) FROM visit").Int(0, 0), 2);
}

TEST(PgConnection, KeepsTheMostRecentlyUsedPreparedStatements) {
    Connection db = Connect();
    for (std::size_t i = 0; i < Connection::kPreparedCacheSize; ++i) {
        db.QueryPrepared("SELECT " + std::to_string(i));
    }
    db.QueryPrepared("SELECT 0");
    // One too many: "SELECT 1" is now the least recently used and goes.
    db.QueryPrepared("SELECT " + std::to_string(Connection::kPreparedCacheSize));

    const auto prepared = [&](const std::string& sql) {
        return db.Query("SELECT count(*) FROM pg_prepared_statements WHERE statement = $1", {sql})
            .Int(0, 0);
    };
    EXPECT_EQ(db.Query("SELECT count(*) FROM pg_prepared_statements").Int(0, 0),
              static_cast<std::int64_t>(Connection::kPreparedCacheSize));
    EXPECT_EQ(prepared("SELECT 0"), 1);
    EXPECT_EQ(prepared("SELECT 1"), 0);
    EXPECT_EQ(db.QueryPrepared("SELECT 1").Int(0, 0), 1);
}

TEST(PgConnection, ServerFailuresAreClassified) {
    Connection db = Connect();
    Connection other = Connect();
    db.Exec("CREATE TABLE IF NOT EXISTS probe (id integer PRIMARY KEY, n integer)");
    db.Exec("INSERT INTO probe VALUES (1, 0) ON CONFLICT DO NOTHING");

    const pgkit::Error unique = FailureOf([&] { db.Query("INSERT INTO probe VALUES (1, 0)"); });
    EXPECT_EQ(unique.Kind(), Failure::UniqueViolation);
    EXPECT_EQ(unique.SqlState(), "23505");
    EXPECT_FALSE(unique.OutcomeUnknown());

    const pgkit::Error missing = FailureOf([&] { db.Query("SELECT * FROM no_such_table"); });
    EXPECT_EQ(missing.Kind(), Failure::UndefinedTable);
    EXPECT_EQ(missing.SqlState(), "42P01");
    EXPECT_NE(std::string(missing.what()).find("no_such_table"), std::string::npos);

    db.Exec("SET statement_timeout = 1");
    EXPECT_EQ(FailureOf([&] { db.Query("SELECT pg_sleep(60)"); }).Kind(), Failure::Canceled);
    db.Exec("RESET statement_timeout");

    {
        Transaction holder(db);
        db.Exec("LOCK TABLE probe");
        Transaction waiter(other);
        EXPECT_EQ(FailureOf([&] { other.Exec("LOCK TABLE probe NOWAIT"); }).Kind(),
                  Failure::LockNotAvailable);
    }
    {
        Transaction reader(db);
        db.Exec("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ");
        db.Query("SELECT n FROM probe WHERE id = 1");
        other.Exec("UPDATE probe SET n = n + 1 WHERE id = 1");
        EXPECT_EQ(FailureOf([&] { db.Exec("UPDATE probe SET n = n + 1 WHERE id = 1"); }).Kind(),
                  Failure::SerializationFailure);
    }
    Connection stranger = Connection::Open(TestCluster().passwordConninfo, TestCluster().password);
    EXPECT_EQ(FailureOf([&] { stranger.Query("SELECT * FROM probe"); }).Kind(),
              Failure::InsufficientPrivilege);

    // None of these ends the session.
    EXPECT_EQ(db.Query("SELECT 1").Int(0, 0), 1);
    EXPECT_FALSE(db.InTransaction());
}

TEST(PgTransaction, RollsBackOnUnwindAndNeverCommitsAFailedBlock) {
    Connection db = Connect();
    db.Exec("CREATE TEMP TABLE post (id integer PRIMARY KEY)");
    const std::string insert = "INSERT INTO post VALUES ($1)";
    const auto count = [&] { return db.Query("SELECT count(*) FROM post").Int(0, 0); };
    struct Unwind {};

    EXPECT_THROW(
        {
            Transaction transaction(db);
            db.Query(insert, {"1"});
            throw Unwind();
        },
        Unwind);
    EXPECT_FALSE(db.InTransaction());
    EXPECT_EQ(count(), 0);

    {
        Transaction transaction(db);
        db.Query(insert, {"2"});
        transaction.Commit();
    }
    EXPECT_EQ(count(), 1);

    {
        Transaction transaction(db);
        db.Query(insert, {"3"});
        EXPECT_EQ(FailureOf([&] { db.Query(insert, {"2"}); }).Kind(), Failure::UniqueViolation);
        EXPECT_TRUE(db.InTransaction());
        EXPECT_EQ(FailureOf([&] { transaction.Commit(); }).Kind(), Failure::Other);
    }
    EXPECT_EQ(count(), 1);
}

TEST(PgLogin, PasswordIsAskedForAndChecked) {
    const Cluster& cluster = TestCluster();
    EXPECT_EQ(FailureOf([&] { Connection::Open(cluster.passwordConninfo); }).Kind(),
              Failure::PasswordNeeded);

    const pgkit::Error wrong =
        FailureOf([&] { Connection::Open(cluster.passwordConninfo, "wrong"); });
    EXPECT_EQ(wrong.Kind(), Failure::InvalidPassword);
    EXPECT_EQ(wrong.SqlState(), "28P01");
    // One line, without the SQLSTATE and the server's source location.
    EXPECT_EQ(std::string(wrong.what()).find('\n'), std::string::npos) << wrong.what();
    EXPECT_EQ(std::string(wrong.what()).find("28P01"), std::string::npos) << wrong.what();

    // The password given beside the string wins over one written in it.
    Connection db =
        Connection::Open(cluster.passwordConninfo + " password=wrong", cluster.password);
    EXPECT_EQ(db.Query("SELECT current_user").Text(0, 0), "clinicpw");

    const pgkit::Error stranger =
        FailureOf([&] { Connection::Open(cluster.conninfo + " user=nobody_here"); });
    EXPECT_EQ(stranger.Kind(), Failure::AuthorizationFailed);
    EXPECT_EQ(stranger.SqlState(), "28000");

    const pgkit::Error refused = FailureOf([&] { Connection::Open(cluster.conninfo + " port=1"); });
    EXPECT_EQ(refused.Kind(), Failure::ConnectionLost);
    EXPECT_EQ(refused.SqlState(), "");
}

TEST(PgLogin, ConnectTimeoutEndsTheWaitForASilentServer) {
    // Where a server's socket would be, one that takes connections and never answers.
    std::string dir = ::testing::TempDir() + "pgkit_XXXXXX";
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    const std::string path = dir + "/.s.PGSQL.5999";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, path.c_str());
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);

    const pgkit::Error silent = FailureOf(
        [&] { Connection::Open("host=" + dir + " port=5999 dbname=clinic connect_timeout=2"); });
    EXPECT_EQ(silent.Kind(), Failure::ConnectionLost);

    close(listener);
    unlink(path.c_str());
    rmdir(dir.c_str());
}

}  // namespace
}  // namespace pgkit_test
