// What keeping deleted rows adds to a delete: a copy of the demo database's patients file under
// SCRATCH, then patients deleted one a transaction (synchronous=EXTRA, as the engine writes)
// without the table of deleted rows and then with it, in the same run; prints microseconds per
// delete and their ratio. Run by hand (bench/run).
//
// Usage: deleted_rows_bench ROOT SCRATCH   where ROOT/d/qorvyna/bingli holds a demo database.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/sqlitekit/deleted_rows.h"
#include "engine/sqlitekit/sqlite_support.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kDeletes = 300;

// Record numbers spread evenly over the table: `wanted` of them, or all it has.
std::vector<std::int64_t> SpreadPatients(const sqlitekit::Connection& db, std::size_t wanted) {
    sqlitekit::Statement all(db.Handle(), "SELECT Id FROM bingren ORDER BY Id");
    std::vector<std::int64_t> ids;
    while (all.Step()) ids.push_back(all.ColumnInt(0));
    std::vector<std::int64_t> spread;
    const std::size_t step = std::max<std::size_t>(ids.size() / wanted, 1);
    for (std::size_t i = 0; i < ids.size() && spread.size() < wanted; i += step)
        spread.push_back(ids[i]);
    return spread;
}

// Microseconds per delete of the given patients; each delete its own transaction.
double MicrosPerDelete(const sqlitekit::Connection& db, const std::vector<std::int64_t>& ids) {
    sqlitekit::Statement remove(db.Handle(), "DELETE FROM bingren WHERE Id = ?");
    const auto start = Clock::now();
    for (std::int64_t id : ids) {
        remove.Reset();
        remove.BindInt(1, id);
        remove.Step();
    }
    return MicrosSince(start) / static_cast<double>(ids.size());
}

void Run(const std::string& root, const std::string& scratch) {
    const fs::path source = fs::path(root) / "d/qorvyna/bingli/bingren.DB";
    const fs::path copy = fs::path(scratch) / "deleted-rows-bench.DB";
    fs::copy_file(source, copy, fs::copy_options::overwrite_existing);
    {
        const auto db = sqlitekit::Connection::Open(copy.string(), SQLITE_OPEN_READWRITE);
        const sqlitekit::DeletedRows deleted{"bingren"};
        // Alternated, so that neither gains from the other's warming of the caches.
        constexpr int kRounds = 3;
        const std::vector<std::int64_t> ids = SpreadPatients(db, 2 * kRounds * kDeletes);
        const std::size_t each = ids.size() / (2 * kRounds);
        const auto slice = [&](std::size_t n) {
            return std::vector<std::int64_t>(ids.begin() + static_cast<long>(n * each),
                                             ids.begin() + static_cast<long>((n + 1) * each));
        };
        double without = 0, with = 0;
        for (int round = 0; round < kRounds; ++round) {
            deleted.Drop(db);
            without += MicrosPerDelete(db, slice(2 * round));
            deleted.Create(db);
            with += MicrosPerDelete(db, slice(2 * round + 1));
        }
        std::printf("delete of a patient, committed            %8.1f us\n", without / kRounds);
        std::printf("the same, its row kept among the deleted  %8.1f us   %.2fx\n", with / kRounds,
                    with / without);
    }
    fs::remove(copy);
}

}  // namespace

int main(int argc, char** argv) {
    return BenchMain(argc, 3, "usage: deleted_rows_bench ROOT SCRATCH",
                     [&] { Run(argv[1], argv[2]); });
}
