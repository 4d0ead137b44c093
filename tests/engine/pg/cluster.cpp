#include "tests/engine/pg/cluster.h"

#include <gtest/gtest.h>

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
