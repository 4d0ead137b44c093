// Times the name search through the record sets (the statement set, the query opened, none /
// one / several decided, pinyin tried where letters match no name, the first 30 rows read in
// name order) for a fixed list of search texts, against the plain SQLite statement that scans
// the patients for the same rows (for pinyin texts: the LIKE scan that finds none). Run by
// hand (bench/run); never a pass/fail test.
//
// Usage: name_search_bench ROOT [CONN]   where ROOT/d/qorvyna/bingli holds a demo database.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/record_rules.h"
#include "bench/bench_support.h"
#include "data/clinic_record_sets.h"
#include "engine/sqlitekit/sqlite_support.h"

namespace {

struct SearchText {
    const char* what;
    std::string text;
};

// Common and rare characters of the demo's names, one to three of them, a full name, Latin
// letters, digits, a text found nowhere, the empty text, and pinyin.
const std::vector<SearchText> kTexts = {
    {"one common character", "林"},
    {"one rare character", "孔"},
    {"two common characters", "王伟"},
    {"two rare characters", "孔荣"},
    {"three characters", "王秀英"},
    {"full name, compound surname", "欧阳娜"},
    {"a Latin letter", "a"},
    {"digits", "123"},
    {"found nowhere", "龘"},
    {"the empty text", ""},
    {"pinyin initials", "zs"},
    {"full pinyin", "wangxiuying"},
    {"full pinyin, found nowhere", "zhangsan"},
    {"one pinyin letter", "o"},
};

struct Outcome {
    int found = 0;  // 0, 1 or 2 for several
    int rows = 0;   // rows read for the first page
};

// What the main window does: the search with its decision, then a grid's first page, from the
// first record, where the search leaves the query.
Outcome SearchThroughRecordSets(TRecordRules& rules, TQuery& query, const std::string& text) {
    Outcome outcome;
    outcome.found = rules.FindNames(text);
    for (; !query.Eof() && outcome.rows < 30; query.Next()) ++outcome.rows;
    return outcome;
}

// The same rows read by scanning: the first page and one more to decide.
int SearchByScan(const sqlitekit::Connection& db, const std::string& text) {
    sqlitekit::Statement statement(db.Handle(),
                                   "SELECT Id, Xm, Xb, Nl, Gzdw, Lxdh FROM bingren WHERE Xm LIKE ? "
                                   "ORDER BY Xm COLLATE GBK, Id LIMIT 31");
    statement.BindText(1, "%" + text + "%");
    int rows = 0;
    while (statement.Step()) ++rows;
    return rows;
}

// One text's search through the record sets: its outcome and time, or why it failed.
struct Timed {
    Outcome outcome;
    double micros = 0;
    std::string failure;
};

// Every text searched `reps` times through fresh record sets on the database that the engine
// finds now.
std::vector<Timed> SearchAll(int reps) {
    ClinicRecordSets data;
    TRecordRules rules(data);
    data.Open();
    GridRows grid;
    grid.SetDataSource(&data.DataSourceczxm);
    std::vector<Timed> timed(kTexts.size());
    for (std::size_t i = 0; i < kTexts.size(); ++i) {
        try {
            timed[i].micros = MicrosPerOp(reps, [&](int) {
                timed[i].outcome = SearchThroughRecordSets(rules, data.Queryczxm, kTexts[i].text);
            });
        } catch (const Exception& e) {
            timed[i].failure = e.Message();
        }
    }
    return timed;
}

const char* Found(const Outcome& outcome) {
    const char* found[] = {"none", "one", "several"};
    return found[outcome.found];
}

void PrintServer(const Timed& server, const Timed& files) {
    if (!server.failure.empty()) {
        std::printf("  server fails: %s", server.failure.c_str());
        return;
    }
    std::printf(" %10.1f us %7.2fx%s", server.micros, server.micros / files.micros,
                server.outcome.found == files.outcome.found ? "" : "  <-- another outcome");
}

void Run(const std::string& root, const std::optional<std::string>& server) {
    setenv("DBENGINE_ROOT", root.c_str(), 1);
    const std::string dir = root + "/d/qorvyna/bingli";
    WarmPageCache(dir);
    const std::vector<Timed> files = SearchAll(20);
    std::vector<Timed> onServer;
    if (server) {
        const ServerConfig config(*server);
        // A search that reads a large table on the server takes seconds: as few as the scans.
        onServer = SearchAll(3);
    }
    const auto plain = sqlitekit::Connection::Open(dir + "/bingren.DB", SQLITE_OPEN_READONLY);
    std::printf("database %s%s\n", dir.c_str(), server ? (" and server " + *server).c_str() : "");
    std::printf("%-30s %-10s %8s %13s %13s %8s%s\n", "search text", "", "outcome", "record sets",
                "plain scan", "ratio", server ? "        server   ratio" : "");
    for (std::size_t i = 0; i < kTexts.size(); ++i) {
        const SearchText& t = kTexts[i];
        const double scan = MicrosPerOp(3, [&](int) { SearchByScan(plain, t.text); });
        const double sets = files[i].micros;
        std::printf("%-30s %-10s %8s %10.1f us %10.1f us %7.3fx%s", t.what, t.text.c_str(),
                    Found(files[i].outcome), sets, scan, sets / scan,
                    sets < 5000 ? "" : "  <-- over target");
        if (server) PrintServer(onServer[i], files[i]);
        std::printf("\n");
    }
}

}  // namespace

// With CONN, a libpq connection string that reaches a server holding a copy of the database
// (clinicdb push), the record sets search it too, and its times stand beside the files' with
// their ratio (server over files).
int main(int argc, char** argv) {
    return BenchMain(argc, argc == 3 ? 3 : 2, "usage: name_search_bench ROOT [CONN]", [&] {
        Run(argv[1], argc == 3 ? std::optional<std::string>(argv[2]) : std::nullopt);
    });
}
