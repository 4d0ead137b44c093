// The throwaway cluster that scripts/pg_cluster started for these tests, as the settings file
// that $PG_CLUSTER_ENV names describes it, and short helpers over it.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/pgkit/pg_connection.h"

namespace pgkit_test {

struct Cluster {
    std::string conninfo;          // database clinic as clinic, admitted without a password
    std::string passwordConninfo;  // the same as clinicpw, of whom the server asks a password
    std::string password;          // clinicpw's
};

// Throws std::runtime_error when the settings cannot be read.
const Cluster& TestCluster();

// A new session as clinic.
pgkit::Connection Connect();

// The process id of the server's side of `connection`, as a parameter value.
std::string BackendPid(const pgkit::Connection& connection);

// The failure that `statement` throws; a failure of the test when it throws none.
pgkit::Error FailureOf(const std::function<void()>& statement);

// The storage a test runs on: a directory's SQLite files, or a server.
enum class Storage { kFiles, kServer };
std::string StorageName(const ::testing::TestParamInfo<Storage>& info);

// A fresh schema on the cluster, dropped with everything in it at the end.
class FreshSchema {
  public:
    // With `ownedByPasswordUser`, the schema is clinicpw's, and Conninfo() logs in as clinicpw.
    explicit FreshSchema(bool ownedByPasswordUser = false);
    ~FreshSchema();
    FreshSchema(const FreshSchema&) = delete;
    FreshSchema& operator=(const FreshSchema&) = delete;

    const std::string& Name() const { return name_; }
    // A connection string whose sessions see the schema's tables by their bare names.
    const std::string& Conninfo() const { return conninfo_; }
    // A session of the test's own as clinic, whose search_path is the schema.
    pgkit::Connection& Session() { return session_; }

  private:
    std::string name_;
    std::string conninfo_;
    pgkit::Connection session_;
};

// A fresh schema that the engine's configuration gives a directory to while it lives: a
// configuration file of its own that $DBENGINE_CONF names. The engine's sessions go by the
// schema's name, so that a test can end them.
class TestSchema : public FreshSchema {
  public:
    // `directory` as the engine is given it; the configuration is written to `confFile`.
    TestSchema(const std::string& directory, const std::string& confFile);
    ~TestSchema();

    // Ends the engine's sessions on the schema, as a lost connection would.
    void EndEngineSessions();
};

}  // namespace pgkit_test
