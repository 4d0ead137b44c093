// Several seats posting and browsing at once on a database that a server serves, each a process
// of its own with the clinic's record sets, as the clinic's machines would: the posts a second
// that they manage together, how often a seat finds a record locked by another (expected: they
// all edit the same few patients), and that no update is lost: a post adds one to the age (Nl)
// of one of the first 32 patients, read and written under the record's lock, so that at the end
// those ages have grown by the number of posts that returned. Any other failure is a fault.
// Run by hand (bench/run_server); never a pass/fail test.
//
// Usage: seats_bench CONN [SECONDS] [SEATS]
//   CONN, a libpq connection string, reaches a server whose current schema holds the clinic's
//   tables with at least 32 patients (clinicdb push or demo); their ages are set to 0 first.
//   SECONDS defaults to 60, SEATS to 8.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "data/clinic_record_sets.h"
#include "engine/pgkit/pg_connection.h"

namespace {

constexpr const char* kCounters = "(SELECT id FROM bingren ORDER BY id LIMIT 32)";

// What one seat did; sent whole through a pipe, within PIPE_BUF.
struct SeatResult {
    std::int64_t posts = 0;
    std::int64_t locked = 0;  // edits refused: another seat held the record
    std::int64_t failed = 0;  // any other failure
    std::int64_t browses = 0;
    double postMicros = 0;  // time spent in posts that returned
    double browseMicros = 0;
    char firstFailure[256] = {};
};

struct Plan {
    std::vector<std::int64_t> counters;  // the patients whose ages count posts
    std::int64_t lastId = 0;             // browses go anywhere up to it
    double seconds = 60;
};

class SeatRun {
  public:
    SeatRun(const Plan& plan, int seat) : plan_(plan), random_(seat) {}

    // Opens the record sets, tells `ready` (whether or not they opened: the others wait for
    // every seat), waits for a byte on `go`, then posts and browses until the time is up.
    SeatResult Run(int ready, int go) {
        double opening = 0;
        Attempt(opening, [&] { data_.Open(); });
        grid_.SetDataSource(&data_.DataSourceBingren);
        char byte = 1;
        if (write(ready, &byte, 1) != 1 || read(go, &byte, 1) != 1) return result_;
        const auto deadline = Clock::now() + std::chrono::duration<double>(plan_.seconds);
        while (result_.failed == 0 && Clock::now() < deadline) {
            Attempt(result_.postMicros, [&] { PostCounter(); });
            Attempt(result_.browseMicros, [&] { Browse(); });
        }
        return result_;
    }

  private:
    // Adds one to a counter under its lock: the edit reads the record afresh once locked.
    void PostCounter() {
        TTable& patients = data_.Tablebingren;
        const std::int64_t id = plan_.counters[random_() % plan_.counters.size()];
        patients.Locate("Id", {std::to_string(id)}, {});
        patients.Edit();
        data_.TablebingrenNl->SetAsInteger(data_.TablebingrenNl->AsInteger() + 1);
        patients.Post();
        ++result_.posts;
    }

    // A page of the patients' grid somewhere in the table, the visits following the master.
    void Browse() {
        const std::int64_t id = 1 + static_cast<std::int64_t>(random_() % plan_.lastId);
        data_.Tablebingren.Locate("Id", {std::to_string(id)}, {});
        data_.Tablebingren.MoveBy(30);
        ++result_.browses;
    }

    // Runs `step`, adding its time to `micros` when it returns; a refused edit is counted apart
    // from every other failure.
    void Attempt(double& micros, const std::function<void()>& step) {
        const auto start = Clock::now();
        try {
            step();
            micros += MicrosSince(start);
            return;
        } catch (const EDBEngineError& e) {
            if (e.ErrorCode() == DBIERR_LOCKED) {
                ++result_.locked;
                return;
            }
            Failed(e.Message());
        } catch (const Exception& e) {
            Failed(e.Message());
        }
        data_.Tablebingren.Cancel();
    }

    void Failed(const std::string& message) {
        if (result_.failed++ == 0) {
            std::strncpy(result_.firstFailure, message.c_str(), sizeof result_.firstFailure - 1);
        }
    }

    const Plan& plan_;
    std::minstd_rand random_;
    ClinicRecordSets data_;
    GridRows grid_;
    SeatResult result_;
};

Plan Prepare(pgkit::Connection& server, double seconds) {
    Plan plan;
    plan.seconds = seconds;
    const pgkit::Result ids = server.Query(std::string("SELECT id FROM ") + kCounters + " q");
    for (int row = 0; row < ids.Rows(); ++row) plan.counters.push_back(ids.Int(row, 0));
    if (plan.counters.size() < 32) throw std::runtime_error("the server holds too few patients");
    plan.lastId = server.Query("SELECT max(id) FROM bingren").Int(0, 0);
    server.Exec(std::string("UPDATE bingren SET nl = 0 WHERE id IN ") + kCounters);
    return plan;
}

// Starts the seats, each in a process of its own, lets them go at once and gathers what they did.
std::vector<SeatResult> RunSeats(const Plan& plan, int seats) {
    int ready[2], go[2], results[2];
    if (pipe(ready) != 0 || pipe(go) != 0 || pipe(results) != 0)
        throw std::runtime_error("no pipe");
    std::vector<pid_t> children;
    for (int seat = 0; seat < seats; ++seat) {
        const pid_t child = fork();
        if (child == 0) {
            // The child never returns into this process's frames, which hold its server session.
            const SeatResult result = SeatRun(plan, seat).Run(ready[1], go[0]);
            _exit(write(results[1], &result, sizeof result) == sizeof result ? 0 : 1);
        }
        children.push_back(child);
    }
    close(ready[1]);
    close(results[1]);
    char byte = 0;
    for (int seat = 0; seat < seats; ++seat) {
        if (read(ready[0], &byte, 1) != 1) throw std::runtime_error("a seat did not open");
    }
    const std::string bytes(static_cast<std::size_t>(seats), 'g');
    if (write(go[1], bytes.data(), bytes.size()) != seats) throw std::runtime_error("no start");
    std::vector<SeatResult> done(static_cast<std::size_t>(seats));
    for (SeatResult& result : done) {
        if (read(results[0], &result, sizeof result) != sizeof result)
            throw std::runtime_error("a seat ended without its figures");
    }
    for (pid_t child : children) waitpid(child, nullptr, 0);
    return done;
}

void Report(const std::vector<SeatResult>& seats, double seconds, std::int64_t counted) {
    SeatResult total;
    std::printf("%-6s %10s %10s %10s %10s %12s %12s\n", "seat", "posts", "locked", "failed",
                "browses", "us/post", "us/browse");
    for (std::size_t i = 0; i < seats.size(); ++i) {
        const SeatResult& s = seats[i];
        std::printf("%-6zu %10lld %10lld %10lld %10lld %12.0f %12.0f\n", i + 1,
                    static_cast<long long>(s.posts), static_cast<long long>(s.locked),
                    static_cast<long long>(s.failed), static_cast<long long>(s.browses),
                    s.postMicros / static_cast<double>(std::max<std::int64_t>(s.posts, 1)),
                    s.browseMicros / static_cast<double>(std::max<std::int64_t>(s.browses, 1)));
        total.posts += s.posts;
        total.locked += s.locked;
        total.failed += s.failed;
        total.browses += s.browses;
        if (s.failed != 0) std::printf("       first failure: %s\n", s.firstFailure);
    }
    std::printf(
        "%zu seats, %.0f s: %lld posts (%.1f a second), %lld refused edits (locked), "
        "%lld browses (%.1f a second), %lld other failures\n",
        seats.size(), seconds, static_cast<long long>(total.posts),
        static_cast<double>(total.posts) / seconds, static_cast<long long>(total.locked),
        static_cast<long long>(total.browses), static_cast<double>(total.browses) / seconds,
        static_cast<long long>(total.failed));
    std::printf("the counters grew by %lld for %lld posts: %s\n", static_cast<long long>(counted),
                static_cast<long long>(total.posts),
                counted == total.posts ? "no update lost" : "UPDATES LOST");
    if (counted != total.posts || total.failed != 0)
        throw std::runtime_error("seats_bench: a seat lost an update or failed");
}

void Run(const std::string& conninfo, double seconds, int seats) {
    pgkit::Connection server = pgkit::Connection::Open(conninfo);
    const Plan plan = Prepare(server, seconds);
    const ServerConfig config(conninfo);
    std::printf("server %s: %d seats for %.0f s\n", conninfo.c_str(), seats, seconds);
    const std::vector<SeatResult> results = RunSeats(plan, seats);
    const std::int64_t counted =
        server.Query(std::string("SELECT sum(nl) FROM bingren WHERE id IN ") + kCounters).Int(0, 0);
    Report(results, seconds, counted);
}

}  // namespace

int main(int argc, char** argv) {
    return BenchMain(
        argc, std::clamp(argc, 2, 4), "usage: seats_bench CONN [SECONDS] [SEATS]", [&] {
            Run(argv[1], argc > 2 ? std::atof(argv[2]) : 60.0, argc > 3 ? std::atoi(argv[3]) : 8);
        });
}
