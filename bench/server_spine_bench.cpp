// Times the spine operations through the record sets on a demo database's files and then on a
// server that holds a copy of it, and prints both with their ratio (server over files), as a
// clinic would see its seats move from a shared directory to a server. Run by hand
// (bench/run_server); never a pass/fail test.
//
// Usage: server_spine_bench ROOT CONN
//   where ROOT/d/qorvyna/bingli holds a demo database and CONN, a libpq connection string,
//   reaches the server whose current schema holds its copy (clinicdb push).
#include <cstdio>

#include "bench/bench_support.h"
#include "bench/spine_operations.h"

namespace {

void Print(const SpineFigures& files, const SpineFigures& server) {
    std::printf("files:  %s\nserver: %s\n", files.dir.c_str(), server.dir.c_str());
    std::printf("%-34s %13s %13s %8s\n", "operation (us per operation)", "files", "server",
                "ratio");
    for (std::size_t i = 0; i < files.figures.size(); ++i) {
        const SpineFigure& a = files.figures[i];
        const SpineFigure& b = server.figures[i];
        std::printf("%-34s %13.1f %13.1f %7.2fx%s\n", a.name.c_str(), a.recordSets, b.recordSets,
                    b.recordSets / a.recordSets, b.recordSets < 5000 ? "" : "  <-- over 5 ms");
    }
    std::printf("walked %d and %d patients with Next\n", files.walked, server.walked);
    std::printf("resident memory after walking: %.1f MiB on the files, %.1f MiB on the server\n",
                files.walkedMiB, server.walkedMiB);
}

}  // namespace

int main(int argc, char** argv) {
    return BenchMain(argc, 3, "usage: server_spine_bench ROOT CONN", [&] {
        const SpineFigures files = RunSpine(argv[1], std::nullopt);
        const SpineFigures server = RunSpine(argv[1], std::nullopt, std::string(argv[2]));
        Print(files, server);
    });
}
