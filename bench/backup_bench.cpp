// Times clinicdb's backup of a demo database (copy, check, sync) against `cp` of the same files
// followed by `sync` of the copies, in the same run, and prints both throughputs and their
// ratio; then a verification and a restore of that backup. Run by hand (bench/run); needs free
// space for two copies of the database under SCRATCH.
//
// Usage: backup_bench ROOT SCRATCH   where ROOT/d/qorvyna/bingli holds a demo database.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_support.h"
#include "tools/backup.h"

namespace {

namespace fs = std::filesystem;

std::uintmax_t BytesOf(const fs::path& dir) {
    return fs::file_size(dir / "bingren.DB") + fs::file_size(dir / "bingli.DB");
}

double SecondsOf(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return MicrosSince(start) / 1e6;
}

void Print(const char* what, double seconds, std::uintmax_t bytes) {
    std::printf("%-40s %8.2f s %8.0f MB/s\n", what, seconds,
                static_cast<double>(bytes) / 1e6 / seconds);
}

void Run(const std::string& root, const std::string& scratch) {
    const fs::path dir = root + "/d/qorvyna/bingli";
    const fs::path copies = fs::path(scratch) / "backup-bench";
    fs::remove_all(copies);
    fs::create_directories(copies / "cp");
    WarmPageCache(dir.string());
    const std::uintmax_t bytes = BytesOf(dir);
    std::printf("database %s: %.0f MB\n", dir.c_str(), static_cast<double>(bytes) / 1e6);
    const std::string cp = "cp " + (dir / "bingren.DB").string() + " " +
                           (dir / "bingli.DB").string() + " " + (copies / "cp").string() +
                           " && sync " + (copies / "cp").string() + "/*.DB";
    const double cpSeconds = SecondsOf([&] {
        if (std::system(cp.c_str()) != 0) throw std::runtime_error("cp failed");
    });
    fs::remove_all(copies / "cp");
    clinicdb::BackupDone done;
    const double backupSeconds = SecondsOf([&] { done = clinicdb::TakeBackup(dir, copies, 0); });
    const double verifySeconds = SecondsOf([&] { clinicdb::VerifyBackup(done.folder); });
    fs::create_directories(copies / "restored");
    const double restoreSeconds =
        SecondsOf([&] { clinicdb::RestoreBackup(done.folder, copies / "restored"); });
    Print("cp + sync of both files", cpSeconds, bytes);
    Print("backup (copy, check, sync)", backupSeconds, bytes);
    std::printf("backup throughput over cp's: %.2f\n", cpSeconds / backupSeconds);
    Print("verify of the backup", verifySeconds, bytes);
    Print("restore into an empty directory", restoreSeconds, bytes);
    fs::remove_all(copies);
}

}  // namespace

int main(int argc, char** argv) {
    return BenchMain(argc, 3, "usage: backup_bench ROOT SCRATCH", [&] { Run(argv[1], argv[2]); });
}
