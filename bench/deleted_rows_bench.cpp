// What keeping deleted rows adds to a delete: a copy of the demo database's patients file under
// SCRATCH, then patients deleted one a transaction (synchronous=EXTRA, as the engine writes)
// without the table of deleted rows and then with it, in the same run; prints microseconds per
// delete and their ratio. Run by hand (bench/run).
//
// Usage: deleted_rows_bench ROOT SCRATCH   where ROOT/d/qorvyna/bingli holds a demo database.
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/bench_support.h"
#include "engine/sqlitekit/deleted_rows.h"
#include "engine/sqlitekit/sqlite_support.h"

namespace {

namespace fs = std::filesystem;

constexpr int kDeletes = 300;

// Microseconds per delete of patients from, from + 1, ...; each delete its own transaction.
double MicrosPerDelete(const sqlitekit::Connection& db, std::int64_t from) {
    sqlitekit::Statement remove(db.Handle(), "DELETE FROM bingren WHERE Id = ?");
    const auto start = Clock::now();
    for (int i = 0; i < kDeletes; ++i) {
        remove.Reset();
        remove.BindInt(1, from + i * 997);
        remove.Step();
    }
    return MicrosSince(start) / kDeletes;
}

void Run(const std::string& root, const std::string& scratch) {
    const fs::path source = fs::path(root) / "d/qorvyna/bingli/bingren.DB";
    const fs::path copy = fs::path(scratch) / "deleted-rows-bench.DB";
    fs::copy_file(source, copy, fs::copy_options::overwrite_existing);
    {
        const auto db = sqlitekit::Connection::Open(copy.string(), SQLITE_OPEN_READWRITE);
        const sqlitekit::DeletedRows deleted{"bingren"};
        // Alternated, so that neither gains from the other's warming of the caches.
        double without = 0, with = 0;
        for (int round = 0; round < 3; ++round) {
            deleted.Drop(db);
            without += MicrosPerDelete(db, 1 + round * 2);
            deleted.Create(db);
            with += MicrosPerDelete(db, 2 + round * 2);
        }
        std::printf("delete of a patient, committed            %8.1f us\n", without / 3);
        std::printf("the same, its row kept among the deleted  %8.1f us   %.2fx\n", with / 3,
                    with / without);
    }
    fs::remove(copy);
}

}  // namespace

int main(int argc, char** argv) {
    return BenchMain(argc, 3, "usage: deleted_rows_bench ROOT SCRATCH",
                     [&] { Run(argv[1], argv[2]); });
}
