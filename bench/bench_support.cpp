#include "bench/bench_support.h"

#include <unistd.h>

#include <cstdio>
#include <exception>
#include <fstream>

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
