// The throwaway cluster that scripts/pg_cluster started for these tests, as the settings file
// that $PG_CLUSTER_ENV names describes it, and short helpers over it.
#pragma once

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

}  // namespace pgkit_test
