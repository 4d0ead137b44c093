// Times the record sets over the engine against plain SQLite statements that do the same work,
// and reports the process's resident memory. Run by hand (bench/run); never a pass/fail test.
//
// Usage: spine_bench ROOT   where ROOT/d/qorvyna/bingli holds a demo database.
#include <cstdio>

#include "bench/bench_support.h"
#include "bench/spine_operations.h"

namespace {

void Report(const SpineFigure& f) {
    if (!f.statements) {
        std::printf("%-34s %10.1f us\n", f.name.c_str(), f.recordSets);
        return;
    }
    const double plain = *f.statements;
    std::printf("%-34s %10.1f us %10.1f us %7.2fx %s\n", f.name.c_str(), f.recordSets, plain,
                f.recordSets / plain,
                f.recordSets < 5000 && f.recordSets <= 3 * plain ? "" : "  <-- over target");
}

void Print(const SpineFigures& run) {
    std::printf("database %s\n", run.dir.c_str());
    std::printf("%-34s %13s %13s %8s\n", "operation", "record sets", "plain SQLite", "ratio");
    for (const SpineFigure& f : run.figures) Report(f);
    std::printf("walked %d patients with Next\n", run.walked);
    std::printf(
        "resident memory: %.1f MiB at start, %.1f MiB after opening, %.1f MiB after "
        "walking to the last record\n",
        run.baseMiB, run.openedMiB, run.walkedMiB);
}

}  // namespace

int main(int argc, char** argv) {
    return BenchMain(argc, 2, "usage: spine_bench ROOT",
                     [&] { Print(RunSpine(argv[1], std::nullopt)); });
}
