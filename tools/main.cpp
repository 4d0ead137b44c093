// clinicdb: creates, fills with demo data, checks, summarises and protects the tables of a clinic
// database directory; creates, fills, checks and summarises them on a PostgreSQL server, and
// copies a directory onto a server and back.
#include <iostream>
#include <string_view>
#include <vector>

#include "tools/clinicdb_app.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const auto passwords = clinicdb::StandardInputPasswords(std::cerr);
    return clinicdb::RunClinicDb(args, *passwords, std::cout, std::cerr);
}
