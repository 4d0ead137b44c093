// Times the spine operations on a demo database and on its protected copy, and prints the cost
// of the protection as the ratio of the two: through the record sets over the engine, and as
// plain SQLite statements through the protected files' VFS. Run by hand (bench/run); never a
// pass/fail test.
//
// Usage: protected_bench ROOT PROTECTED_ROOT PASSWORD
//   where each ROOT/d/qorvyna/bingli holds a demo database, the second's files protected by
//   PASSWORD (bench/make_databases makes both).
#include <cstdio>
#include <stdexcept>

#include "bench/bench_support.h"
#include "bench/spine_operations.h"
#include "engine/tablecrypt/protected_file.h"

namespace {

void RequireProtected(const std::string& root) {
    for (const char* name : {"/bingren.DB", "/bingli.DB"}) {
        const std::string file = root + "/d/qorvyna/bingli" + name;
        if (!tablecrypt::IsProtected(file)) throw std::runtime_error(file + " is not protected");
    }
}

void PrintRatio(double plain, double protectedFile) {
    std::printf(" %10.1f %10.1f %6.2fx", plain, protectedFile, protectedFile / plain);
}

void Print(const SpineFigures& plain, const SpineFigures& protectedRun) {
    std::printf("plain file: %s\nprotected:  %s\n", plain.dir.c_str(), protectedRun.dir.c_str());
    std::printf("%-34s %29s   %29s\n", "microseconds per operation", "record sets",
                "plain SQLite statements");
    std::printf("%-34s %10s %10s %7s   %10s %10s %7s\n", "operation", "plain", "protected", "ratio",
                "plain", "protected", "ratio");
    for (std::size_t i = 0; i < plain.figures.size(); ++i) {
        const SpineFigure& a = plain.figures[i];
        const SpineFigure& b = protectedRun.figures[i];
        std::printf("%-34s", a.name.c_str());
        PrintRatio(a.recordSets, b.recordSets);
        if (a.statements && b.statements) {
            std::printf("  ");
            PrintRatio(*a.statements, *b.statements);
        }
        std::printf("\n");
    }
    std::printf("walked %d and %d patients with Next\n", plain.walked, protectedRun.walked);
    std::printf(
        "resident memory after walking: %.1f MiB plain, then %.1f MiB with the protected "
        "run\n",
        plain.walkedMiB, protectedRun.walkedMiB);
}

}  // namespace

int main(int argc, char** argv) {
    return BenchMain(argc, 4, "usage: protected_bench ROOT PROTECTED_ROOT PASSWORD", [&] {
        RequireProtected(argv[2]);
        const SpineFigures plain = RunSpine(argv[1], std::nullopt);
        const SpineFigures protectedRun = RunSpine(argv[2], std::string(argv[3]));
        Print(plain, protectedRun);
    });
}
