#include "bench/bench_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>

#include "data/clinic_record_sets.h"

double MicrosSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double MicrosPerOp(int reps, const std::function<void(int)>& op) {
    op(0);
    const auto start = Clock::now();
    for (int i = 1; i <= reps; ++i) op(i);
    return MicrosSince(start) / reps;
}

double ResidentMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

void WarmPageCache(const std::string& dir) {
    for (const char* name : {"/bingren.DB", "/bingli.DB"}) {
        std::ifstream file(dir + name, std::ios::binary);
        static char buffer[1 << 20];
        while (file.read(buffer, sizeof buffer)) {
        }
    }
}

ServerConfig::ServerConfig(const std::string& conninfo)
    : file_((std::filesystem::temp_directory_path() /
             ("clinic-bench-" + std::to_string(getpid()) + ".conf"))
                .string()) {
    std::ofstream(file_) << "SERVER " << kClinicDatabase << " = " << conninfo << "\n";
    setenv("DBENGINE_CONF", file_.c_str(), 1);
}

ServerConfig::~ServerConfig() {
    unsetenv("DBENGINE_CONF");
    std::filesystem::remove(file_);
}

int BenchMain(int argc, int argcWanted, const char* usage, const std::function<void()>& run) {
    if (argc != argcWanted) {
        std::fprintf(stderr, "%s\n", usage);
        return 2;
    }
    try {
        run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
