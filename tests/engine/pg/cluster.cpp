#include "tests/engine/pg/cluster.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>

namespace pgkit_test {

namespace {

Cluster ReadCluster() {
    const char* path = std::getenv("PG_CLUSTER_ENV");
    if (path == nullptr) throw std::runtime_error("PG_CLUSTER_ENV is not set: run through ctest");
    std::ifstream file(path);
    std::map<std::string, std::string> settings;
    std::string line;
    while (std::getline(file, line)) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) settings[line.substr(0, equals)] = line.substr(equals + 1);
    }
    if (settings.size() != 3) throw std::runtime_error(std::string(path) + ": no cluster settings");
    return {settings["CONNINFO"], settings["PASSWORD_CONNINFO"], settings["PASSWORD"]};
}

}  // namespace

const Cluster& TestCluster() {
    static const Cluster cluster = ReadCluster();
    return cluster;
}

pgkit::Connection Connect() {
    return pgkit::Connection::Open(TestCluster().conninfo);
}

std::string BackendPid(const pgkit::Connection& connection) {
    return std::to_string(PQbackendPID(connection.Handle()));
}

std::string StorageName(const ::testing::TestParamInfo<Storage>& info) {
    return info.param == Storage::kServer ? "Server" : "Files";
}

namespace {

std::string NewSchemaName() {
    static std::atomic<int> serial = 0;
    return "t" + std::to_string(getpid()) + "_" + std::to_string(++serial);
}

}  // namespace

FreshSchema::FreshSchema(bool ownedByPasswordUser)
    : name_(NewSchemaName()),
      conninfo_((ownedByPasswordUser ? TestCluster().passwordConninfo : TestCluster().conninfo) +
                " options='-csearch_path=" + name_ + "'"),
      session_(Connect()) {
    session_.Exec("CREATE SCHEMA " + name_ +
                  (ownedByPasswordUser ? " AUTHORIZATION clinicpw" : "") +
                  "; SET search_path = " + name_);
}

FreshSchema::~FreshSchema() {
    session_.Exec("DROP SCHEMA " + Name() + " CASCADE");
}

TestSchema::TestSchema(const std::string& directory, const std::string& confFile) {
    std::ofstream(confFile) << "SERVER " << directory << " = " << Conninfo()
                            << " application_name=" << Name() << "\n";
    setenv("DBENGINE_CONF", confFile.c_str(), 1);
}

TestSchema::~TestSchema() {
    unsetenv("DBENGINE_CONF");
}

void TestSchema::EndEngineSessions() {
    Session().Query(
        "SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity "
        "WHERE application_name = $1",
        {Name()});
}

pgkit::Error FailureOf(const std::function<void()>& statement) {
    try {
        statement();
    } catch (const pgkit::Error& error) {
        return error;
    }
    ADD_FAILURE() << "the statement did not fail";
    return pgkit::Error(pgkit::Failure::Other, "", "no failure");
}

}  // namespace pgkit_test
