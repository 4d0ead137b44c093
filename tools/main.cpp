// clinicdb: creates, fills with demo data, checks and summarises a clinic database directory.
#include <iostream>
#include <string_view>
#include <vector>

#include "tools/clinicdb_app.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return clinicdb::RunClinicDb(args, std::cout, std::cerr);
}
