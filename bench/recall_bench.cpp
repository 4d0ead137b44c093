// Times clinicdb recall for tomorrow, the week after today and --overdue: reading the patients
// and their latest visits (both files opened anew each time), printing the aligned table and
// writing the CSV, and the reading's cost per patient listed, which sets how many follow-ups a
// range may hold within the target. Run by hand (bench/run); never a pass/fail test.
//
// Usage: recall_bench ROOT   where ROOT/d/qorvyna/bingli holds a demo database whose
// follow-ups are spread around today (bench/make_databases).
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "tools/password_source.h"
#include "tools/recall.h"

namespace {

using clinicdb::RecallLine;
using clinicdb::RecallOptions;

constexpr double kTargetMs = 50;

struct Case {
    const char* what;
    RecallOptions options;
    int reps;
    bool targeted;  // wanted under kTargetMs; --overdue reads most patients
};

std::vector<Case> Cases(clinicdb::Day today) {
    RecallOptions tomorrow;
    tomorrow.from = tomorrow.to = today + 1;
    RecallOptions week = tomorrow;
    week.to = today + 7;
    RecallOptions overdue;
    overdue.overdue = true;
    return {{"tomorrow", tomorrow, 5, true},
            {"week after today", week, 5, true},
            {"--overdue", overdue, 2, false}};
}

void Time(const std::string& dir, const Case& c, clinicdb::Day today) {
    std::istringstream noInput;
    clinicdb::LinePasswords none(noInput);
    std::vector<RecallLine> lines;
    const double read = MicrosPerOp(c.reps, [&](int) {
        clinicdb::TableOpener tables(none);
        lines = clinicdb::ReadRecall(dir, c.options, today, tables);
    });
    std::ostringstream table;
    const double print = MicrosPerOp(c.reps, [&](int) {
        table.str("");
        clinicdb::PrintRecallTable(lines, table);
    });
    const auto csv = std::filesystem::temp_directory_path() / "recall_bench.csv";
    const double write = MicrosPerOp(c.reps, [&](int) { clinicdb::WriteRecallCsv(lines, csv); });
    std::filesystem::remove(csv);
    const double perPatient = lines.empty() ? 0 : read / static_cast<double>(lines.size());
    std::printf("%-22s %9zu %10.1f ms %10.1f ms %10.1f ms %8.1f us%s\n", c.what, lines.size(),
                read / 1000, print / 1000, write / 1000, perPatient,
                c.targeted && read / 1000 >= kTargetMs ? "  <-- over target" : "");
}

void Run(const std::string& root) {
    const std::string dir = root + "/d/qorvyna/bingli";
    WarmPageCache(dir);
    const clinicdb::Day today = dates::Today();
    std::printf("database %s, today %s\n", dir.c_str(), dates::FormatStoredDate(today).c_str());
    std::printf("%-22s %9s %13s %13s %13s %11s\n", "recall", "patients", "read", "table", "csv",
                "read/patient");
    for (const Case& c : Cases(today)) Time(dir, c, today);
}

}  // namespace

int main(int argc, char** argv) {
    return BenchMain(argc, 2, "usage: recall_bench ROOT", [&] { Run(argv[1]); });
}
