// Times the record sets over the engine against plain SQLite statements that do the same work,
// and reports the process's resident memory. Run by hand (bench/run); never a pass/fail test.
//
// Usage: spine_bench ROOT   where ROOT/d/qorvyna/bingli holds a demo database.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "data/clinic_record_sets.h"
#include "data/dates.h"
#include "engine/sqlite_support.h"

namespace {

using Clock = std::chrono::steady_clock;

double MicrosPerOp(int reps, const std::function<void(int)>& op) {
    op(0);  // warm the caches and prepared statements
    const auto start = Clock::now();
    for (int i = 1; i <= reps; ++i) op(i);
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / reps;
}

double ResidentMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

void Report(const char* name, double ours, double plain) {
    std::printf("%-34s %10.1f us %10.1f us %7.2fx %s\n", name, ours, plain, ours / plain,
                ours < 5000 && ours <= 3 * plain ? "" : "  <-- over target");
}

// A view of a grid's height: the record sets keep this many records at hand.
class GridRows : public TDataLink {
public:
    int BufferCount() const override { return 30; }
    void DataEvent(TDataEvent, TField*, int) override {}
};

// The plain statements, on connections of their own.
struct Plain {
    explicit Plain(const std::string& dir)
        : patients(sqlitekit::Connection::Open(dir + "/bingren.DB", SQLITE_OPEN_READWRITE)),
          visits(sqlitekit::Connection::Open(dir + "/bingli.DB", SQLITE_OPEN_READWRITE)) {}

    // Runs a statement with integer parameters and steps it to the end; answers the rows.
    int Rows(const sqlitekit::Connection& db, const char* sql, std::initializer_list<std::int64_t> args) {
        sqlitekit::Statement statement(db.Handle(), sql);
        int index = 1;
        for (std::int64_t arg : args) statement.BindInt(index++, arg);
        int rows = 0;
        while (statement.Step()) {
            for (int c = 0; c < sqlite3_column_count(statement.Handle()); ++c) statement.ColumnText(c);
            ++rows;
        }
        return rows;
    }

    sqlitekit::Connection patients;
    sqlitekit::Connection visits;
};

void Run(const std::string& root) {
    setenv("DBENGINE_ROOT", root.c_str(), 1);
    const std::string dir = root + "/d/qorvyna/bingli";
    std::printf("database %s\n", dir.c_str());
    std::printf("%-34s %13s %13s %8s\n", "operation", "record sets", "plain SQLite", "ratio");

    const double baseMiB = ResidentMiB();
    auto data = std::make_unique<ClinicRecordSets>();
    const auto openStart = Clock::now();
    data->Open();
    const double openUs =
        std::chrono::duration<double, std::micro>(Clock::now() - openStart).count();
    Plain plain(dir);
    const auto plainOpenStart = Clock::now();
    {
        Plain fresh(dir);
        fresh.Rows(fresh.patients, "SELECT * FROM bingren ORDER BY Id LIMIT 30", {});
        fresh.Rows(fresh.visits, "SELECT * FROM bingli WHERE Brid = 1 ORDER BY Id LIMIT 30", {});
    }
    const double plainOpenUs =
        std::chrono::duration<double, std::micro>(Clock::now() - plainOpenStart).count();
    std::printf("%-34s %10.1f us %10.1f us %7.2fx\n", "open (patients, query, visits)", openUs,
                plainOpenUs, openUs / plainOpenUs);
    const double openedMiB = ResidentMiB();

    TTable patients("patients");
    patients.SetDatabaseName(kClinicDatabase);
    patients.SetTableName("bingren.DB");
    TDataSource source;
    source.SetDataSet(&patients);
    GridRows grid;
    grid.SetDataSource(&source);
    patients.Open();
    const auto countStart = Clock::now();
    const int count = patients.RecordCount();
    std::printf("%-34s %10.1f us\n", "first RecordCount after open",
                std::chrono::duration<double, std::micro>(Clock::now() - countStart).count());

    Report("First (30-row grid)", MicrosPerOp(200, [&](int) { patients.First(); }),
           MicrosPerOp(200, [&](int) {
               plain.Rows(plain.patients, "SELECT * FROM bingren ORDER BY Id LIMIT 30", {});
           }));
    Report("Last (30-row grid)", MicrosPerOp(200, [&](int) { patients.Last(); }),
           MicrosPerOp(200, [&](int) {
               plain.Rows(plain.patients, "SELECT * FROM bingren ORDER BY Id DESC LIMIT 30", {});
           }));
    // Without a grid the record set keeps one record: each move reads 30 new ones.
    grid.SetDataSource(nullptr);
    patients.First();
    patients.MoveBy(count / 2);
    const std::int64_t middle = count / 2;
    Report("MoveBy(30) back and forth",
           MicrosPerOp(400, [&](int i) { patients.MoveBy(i % 2 ? 30 : -30); }),
           MicrosPerOp(400, [&](int i) {
               plain.Rows(plain.patients,
                          i % 2 ? "SELECT * FROM bingren WHERE Id > ? ORDER BY Id LIMIT 30"
                                : "SELECT * FROM bingren WHERE Id < ? ORDER BY Id DESC LIMIT 30",
                          {middle});
           }));

    TTable& master = data->Tablebingren;
    master.First();
    master.MoveBy(count / 2);
    Report("master move + visit re-range",
           MicrosPerOp(400, [&](int i) { master.MoveBy(i % 2 ? 1 : -1); }),
           MicrosPerOp(400, [&](int i) {
               const std::int64_t id = middle + i % 2;
               plain.Rows(plain.patients, "SELECT * FROM bingren WHERE Id = ?", {id});
               plain.Rows(plain.visits, "SELECT * FROM bingli WHERE Brid = ? ORDER BY Id LIMIT 1", {id});
           }));
    Report("RecordCount (patients)", MicrosPerOp(200, [&](int) { patients.RecordCount(); }),
           MicrosPerOp(20, [&](int) { plain.Rows(plain.patients, "SELECT count(*) FROM bingren", {}); }));
    Report("RecordCount (visits of a patient)",
           MicrosPerOp(200, [&](int) { data->TableBingli.RecordCount(); }),
           MicrosPerOp(200, [&](int) {
               plain.Rows(plain.visits, "SELECT count(*) FROM bingli WHERE Brid = ?", {middle});
           }));
    Report("Edit+Post of a patient",
           MicrosPerOp(100, [&](int i) {
               master.Edit();
               data->TablebingrenNl->SetAsInteger(20 + i % 50);
               master.Post();
           }),
           MicrosPerOp(100, [&](int i) {
               sqlitekit::Transaction t(plain.patients);
               plain.Rows(plain.patients, "SELECT * FROM bingren WHERE Id = ?", {middle});
               plain.Rows(plain.patients, "UPDATE bingren SET Nl = ? WHERE Id = ?", {20 + i % 50, middle});
               t.Commit();
           }));
    Report("Insert+Post of a visit",
           MicrosPerOp(100, [&](int) {
               data->TableBingli.Insert();
               data->TableBingliZhsu->SetAsString("基准测试");
               data->TableBingli.Post();
           }),
           MicrosPerOp(100, [&](int) {
               sqlitekit::Transaction t(plain.visits);
               plain.Rows(plain.visits, "INSERT INTO bingli (Brid, Zhsu) VALUES (?, 'x')", {middle});
               t.Commit();
           }));

    const std::string middleName = [&] {
        patients.Locate("id", {std::to_string(middle)}, {});
        return patients.FieldByName("Xm")->AsString();
    }();
    Report("Locate Id (key path)",
           MicrosPerOp(400, [&](int i) {
               patients.Locate("id", {std::to_string(1 + (i * 7919) % count)}, {});
           }),
           MicrosPerOp(400, [&](int i) {
               plain.Rows(plain.patients, "SELECT * FROM bingren WHERE Id = ?", {1 + (i * 7919) % count});
           }));
    Report("Locate Xm, partial key (scan path)",
           MicrosPerOp(100, [&](int) { patients.Locate("xm", {middleName}, {.loPartialKey = true}); }),
           MicrosPerOp(100, [&](int) {
               sqlitekit::Statement s(plain.patients.Handle(),
                                      "SELECT * FROM bingren WHERE substr(Xm, 1, length(?1)) = ?1 "
                                      "ORDER BY Id LIMIT 1");
               s.BindText(1, middleName);
               s.Step();
           }));
    const std::string tomorrow = dates::FormatStoredDate(dates::Today() + 1);
    dates::SetShortDateFormat("yyyy-M-d");
    const std::string followUp = "Fzyysj =" + dates::FormatShortDate(dates::Today() + 1);
    Report("follow-up filter + RecordCount",
           MicrosPerOp(100, [&](int i) {
               patients.SetFilter(i % 2 ? followUp : followUp + " ");
               patients.SetFiltered(true);
               patients.RecordCount();
               patients.SetFiltered(false);
           }),
           MicrosPerOp(100, [&](int) {
               sqlitekit::Statement first(plain.patients.Handle(),
                                          "SELECT * FROM bingren WHERE Fzyysj = ? ORDER BY Id LIMIT 1");
               first.BindText(1, tomorrow);
               first.Step();
               sqlitekit::Statement count(plain.patients.Handle(),
                                          "SELECT count(*) FROM bingren WHERE Fzyysj = ?");
               count.BindText(1, tomorrow);
               count.Step();
           }));

    const auto walkStart = Clock::now();
    int walked = 0;
    for (patients.First(); !patients.Eof(); patients.Next()) ++walked;
    const double walkS = std::chrono::duration<double>(Clock::now() - walkStart).count();
    std::printf("walked %d patients with Next in %.2f s (%.2f us each)\n", walked, walkS,
                walkS * 1e6 / walked);
    std::printf("resident memory: %.1f MiB at start, %.1f MiB after opening, %.1f MiB after "
                "walking to the last record\n",
                baseMiB, openedMiB, ResidentMiB());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: spine_bench ROOT\n");
        return 2;
    }
    try {
        Run(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
