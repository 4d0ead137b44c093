// Sessions that end under their seat: what a lost statement may have done, taking a session up
// again, and the advisory locks that a session holds until it ends.
#include <gtest/gtest.h>

#include <optional>

#include "tests/engine/pg/cluster.h"

namespace pgkit_test {
namespace {

using pgkit::Connection;
using pgkit::Failure;
using pgkit::Transaction;

class PgSessionLoss : public ::testing::Test {
  protected:
    // Ends the seat's session as a server restart or a broken network would; returns when its
    // server process is gone.
    void Terminate() {
        const std::string sql = "SELECT pg_terminate_backend($1, 60000)";
        ASSERT_EQ(admin_.Query(sql, {BackendPid(seat_)}).Text(0, 0), "t");
    }

    pgkit::Error LostInsert() {
        return FailureOf([&] { seat_.Query("INSERT INTO lost_post VALUES (1)"); });
    }

    Connection admin_ = Connect();
    Connection seat_ = Connect();
};

TEST_F(PgSessionLoss, TellsWhetherALostStatementMayHaveCommitted) {
    // Only this test makes the table: two sessions that make one table at once can collide.
    admin_.Exec("CREATE TABLE IF NOT EXISTS lost_post (id integer)");
    Terminate();
    // Outside a block the statement commits by itself, and nobody can tell whether it had.
    const pgkit::Error autocommitted = LostInsert();
    EXPECT_EQ(autocommitted.Kind(), Failure::ConnectionLost);
    EXPECT_TRUE(autocommitted.OutcomeUnknown());
    // Nothing more is sent on a lost session.
    const pgkit::Error unsent = LostInsert();
    EXPECT_EQ(unsent.Kind(), Failure::ConnectionLost);
    EXPECT_FALSE(unsent.OutcomeUnknown());

    seat_.Reset();
    {
        Transaction transaction(seat_);
        Terminate();
        const pgkit::Error inBlock = LostInsert();
        EXPECT_EQ(inBlock.Kind(), Failure::ConnectionLost);
        EXPECT_FALSE(inBlock.OutcomeUnknown());
    }

    seat_.Reset();
    {
        Transaction transaction(seat_);
        seat_.Query("INSERT INTO lost_post VALUES (2)");
        Terminate();
        const pgkit::Error commit = FailureOf([&] { transaction.Commit(); });
        EXPECT_EQ(commit.Kind(), Failure::ConnectionLost);
        EXPECT_TRUE(commit.OutcomeUnknown());
    }
    seat_.Reset();
    EXPECT_EQ(seat_.Query("SELECT count(*) FROM lost_post WHERE id = 2").Int(0, 0), 0);
}

TEST_F(PgSessionLoss, StatementsPreparedOnALostSessionArePreparedAgainOnTheNewOne) {
    const auto read = [&] { return seat_.QueryPrepared("SELECT 1 + $1", {"1"}).Int(0, 0); };
    EXPECT_EQ(read(), 2);
    Terminate();
    EXPECT_EQ(FailureOf(read).Kind(), Failure::ConnectionLost);
    seat_.Reset();
    EXPECT_EQ(read(), 2);
}

TEST(PgAdvisoryLock, IsHeldUntilItsSessionEnds) {
    const std::string key = "7340021";
    const auto tryLock = [&](Connection& db) {
        return db.Query("SELECT pg_try_advisory_lock($1)", {key}).Text(0, 0) == "t";
    };
    std::optional<Connection> first = Connect();
    Connection second = Connect();
    ASSERT_TRUE(tryLock(*first));
    EXPECT_FALSE(tryLock(second));

    const std::string pid = BackendPid(*first);
    first.reset();
    // The server process of a closed session ends a moment after its client has gone.
    while (second.Query("SELECT 1 FROM pg_stat_activity WHERE pid = $1", {pid}).Rows() != 0) {
    }
    EXPECT_TRUE(tryLock(second));
}

}  // namespace
}  // namespace pgkit_test
