#include "bench/spine_operations.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

#include "base/dates.h"
#include "base/short_date_format.h"
#include "bench/bench_support.h"
#include "data/clinic_record_sets.h"
#include "data/session.h"
#include "engine/tablecrypt/table_protection.h"

namespace {

// The plain statements, on connections of their own; a protected file opens with the password.
struct Plain {
    Plain(const std::string& dir, const std::optional<std::string>& password)
        : patientFile(dir + "/bingren.DB", SQLITE_OPEN_READWRITE, password),
          visitFile(dir + "/bingli.DB", SQLITE_OPEN_READWRITE, password) {}

    // Runs a statement with integer parameters and steps it to the end; answers the rows.
    int Rows(const sqlitekit::Connection& db, const char* sql,
             std::initializer_list<std::int64_t> args) {
        sqlitekit::Statement statement(db.Handle(), sql);
        int index = 1;
        for (std::int64_t arg : args) statement.BindInt(index++, arg);
        int rows = 0;
        while (statement.Step()) {
            for (int c = 0; c < sqlite3_column_count(statement.Handle()); ++c)
                statement.ColumnText(c);
            ++rows;
        }
        return rows;
    }

    tablecrypt::TableConnection patientFile;
    tablecrypt::TableConnection visitFile;
    const sqlitekit::Connection& patients = patientFile.Get();
    const sqlitekit::Connection& visits = visitFile.Get();
};

// The timed operations after opening, on one database: through the record sets and, where the
// database is a directory of files, as plain statements.
class Operations {
  public:
    Operations(ClinicRecordSets& data, Plain* plain, std::vector<SpineFigure>& figures)
        : data_(data), plain_(plain), figures_(figures) {
        patients_.SetDatabaseName(kClinicDatabase);
        patients_.SetTableName("bingren.DB");
        source_.SetDataSet(&patients_);
        grid_.SetDataSource(&source_);
    }

    void Run() {
        OpenPatients();
        Moves();
        Counts();
        Writes();
        Locates();
        FollowUpFilter();
    }

    // Walks every patient with Next; answers how many.
    int Walk() {
        const auto start = Clock::now();
        int walked = 0;
        for (patients_.First(); !patients_.Eof(); patients_.Next()) ++walked;
        figures_.push_back({"walk with Next, per patient", MicrosSince(start) / walked, {}});
        return walked;
    }

  private:
    // Times `recordSets` `reps` times and, without a server, `statements` (the same work as plain
    // statements) `statementReps` times.
    void Add(const char* name, int reps, const std::function<void(int)>& recordSets,
             int statementReps, const std::function<void(Plain&, int)>& statements) {
        SpineFigure figure{name, MicrosPerOp(reps, recordSets), std::nullopt};
        if (plain_) {
            figure.statements = MicrosPerOp(statementReps, [&](int i) { statements(*plain_, i); });
        }
        figures_.push_back(figure);
    }

    void OpenPatients() {
        patients_.Open();
        const auto start = Clock::now();
        count_ = patients_.RecordCount();
        middle_ = count_ / 2;
        figures_.push_back({"first RecordCount after open", MicrosSince(start), {}});
    }

    void Moves() {
        Add(
            "First (30-row grid)", 200, [&](int) { patients_.First(); }, 200,
            [](Plain& p, int) {
                p.Rows(p.patients, "SELECT * FROM bingren ORDER BY Id LIMIT 30", {});
            });
        Add(
            "Last (30-row grid)", 200, [&](int) { patients_.Last(); }, 200,
            [](Plain& p, int) {
                p.Rows(p.patients, "SELECT * FROM bingren ORDER BY Id DESC LIMIT 30", {});
            });
        // Without a grid the record set keeps one record: each move reads 30 new ones.
        grid_.SetDataSource(nullptr);
        patients_.First();
        patients_.MoveBy(count_ / 2);
        Add(
            "MoveBy(30) back and forth", 400, [&](int i) { patients_.MoveBy(i % 2 ? 30 : -30); },
            400,
            [&](Plain& p, int i) {
                p.Rows(p.patients,
                       i % 2 ? "SELECT * FROM bingren WHERE Id > ? ORDER BY Id LIMIT 30"
                             : "SELECT * FROM bingren WHERE Id < ? ORDER BY Id DESC LIMIT 30",
                       {middle_});
            });
        TTable& master = data_.Tablebingren;
        master.First();
        master.MoveBy(count_ / 2);
        Add(
            "master move + visit re-range", 400, [&](int i) { master.MoveBy(i % 2 ? 1 : -1); }, 400,
            [&](Plain& p, int i) {
                const std::int64_t id = middle_ + i % 2;
                p.Rows(p.patients, "SELECT * FROM bingren WHERE Id = ?", {id});
                p.Rows(p.visits, "SELECT * FROM bingli WHERE Brid = ? ORDER BY Id LIMIT 1", {id});
            });
    }

    void Counts() {
        Add(
            "RecordCount (patients)", 200, [&](int) { patients_.RecordCount(); }, 20,
            [](Plain& p, int) { p.Rows(p.patients, "SELECT count(*) FROM bingren", {}); });
        Add(
            "RecordCount (visits of a patient)", 200, [&](int) { data_.TableBingli.RecordCount(); },
            200,
            [&](Plain& p, int) {
                p.Rows(p.visits, "SELECT count(*) FROM bingli WHERE Brid = ?", {middle_});
            });
    }

    void Writes() {
        TTable& master = data_.Tablebingren;
        Add(
            "Edit+Post of a patient", 100,
            [&](int i) {
                master.Edit();
                data_.TablebingrenNl->SetAsInteger(20 + i % 50);
                master.Post();
            },
            100,
            [&](Plain& p, int i) {
                sqlitekit::Transaction t(p.patients);
                p.Rows(p.patients, "SELECT * FROM bingren WHERE Id = ?", {middle_});
                p.Rows(p.patients, "UPDATE bingren SET Nl = ? WHERE Id = ?",
                       {20 + i % 50, middle_});
                t.Commit();
            });
        Add(
            "Edit+Post of a patient's name", 100,
            [&](int i) {
                master.Edit();
                data_.TablebingrenXm->SetAsString(i % 2 ? "基准甲" : "基准乙");
                master.Post();
            },
            100,
            [&](Plain& p, int i) {
                sqlitekit::Transaction t(p.patients);
                p.Rows(p.patients, "SELECT * FROM bingren WHERE Id = ?", {middle_});
                p.Rows(p.patients,
                       i % 2 ? "UPDATE bingren SET Xm = '基准甲' WHERE Id = ?"
                             : "UPDATE bingren SET Xm = '基准乙' WHERE Id = ?",
                       {middle_});
                t.Commit();
            });
        Add(
            "Insert+Post of a patient", 100,
            [&](int) {
                master.Insert();
                data_.TablebingrenXm->SetAsString("基准测试");
                master.Post();
            },
            100,
            [](Plain& p, int) {
                sqlitekit::Transaction t(p.patients);
                p.Rows(p.patients, "INSERT INTO bingren (Xm) VALUES ('基准测试')", {});
                t.Commit();
            });
        Add(
            "Insert+Post of a visit", 100,
            [&](int) {
                data_.TableBingli.Insert();
                data_.TableBingliZhsu->SetAsString("基准测试");
                data_.TableBingli.Post();
            },
            100,
            [&](Plain& p, int) {
                sqlitekit::Transaction t(p.visits);
                p.Rows(p.visits, "INSERT INTO bingli (Brid, Zhsu) VALUES (?, 'x')", {middle_});
                t.Commit();
            });
    }

    void Locates() {
        patients_.Locate("id", {std::to_string(middle_)}, {});
        const std::string middleName = patients_.FieldByName("Xm")->AsString();
        Add(
            "Locate Id (key path)", 400,
            [&](int i) { patients_.Locate("id", {std::to_string(1 + (i * 7919) % count_)}, {}); },
            400,
            [&](Plain& p, int i) {
                p.Rows(p.patients, "SELECT * FROM bingren WHERE Id = ?", {1 + (i * 7919) % count_});
            });
        Add(
            "Locate Xm, partial key (scan path)", 100,
            [&](int) { patients_.Locate("xm", {middleName}, {.loPartialKey = true}); }, 100,
            [&](Plain& p, int) {
                sqlitekit::Statement s(p.patients.Handle(),
                                       "SELECT * FROM bingren WHERE substr(Xm, 1, length(?1)) = ?1 "
                                       "ORDER BY Id LIMIT 1");
                s.BindText(1, middleName);
                s.Step();
            });
    }

    void FollowUpFilter() {
        const std::string tomorrow = dates::FormatStoredDate(dates::Today() + 1);
        dates::SetShortDateFormat("yyyy-M-d");
        const std::string followUp = "Fzyysj =" + dates::FormatShortDate(dates::Today() + 1);
        Add(
            "follow-up filter + RecordCount", 100,
            [&](int i) {
                patients_.SetFilter(i % 2 ? followUp : followUp + " ");
                patients_.SetFiltered(true);
                patients_.RecordCount();
                patients_.SetFiltered(false);
            },
            100,
            [&](Plain& p, int) {
                sqlitekit::Statement first(
                    p.patients.Handle(),
                    "SELECT * FROM bingren WHERE Fzyysj = ? ORDER BY Id LIMIT 1");
                first.BindText(1, tomorrow);
                first.Step();
                sqlitekit::Statement count(p.patients.Handle(),
                                           "SELECT count(*) FROM bingren WHERE Fzyysj = ?");
                count.BindText(1, tomorrow);
                count.Step();
            });
    }

    ClinicRecordSets& data_;
    Plain* plain_;
    std::vector<SpineFigure>& figures_;
    TTable patients_{"patients"};
    TDataSource source_;
    GridRows grid_;
    int count_ = 0;
    std::int64_t middle_ = 0;
};

// Opens the record sets, then, for a directory of files, the plain statements' files from
// nothing, as the program would.
std::unique_ptr<ClinicRecordSets> OpenBoth(const std::string& dir,
                                           const std::optional<std::string>& password, bool files,
                                           std::vector<SpineFigure>& figures) {
    auto data = std::make_unique<ClinicRecordSets>();
    const auto openStart = Clock::now();
    data->Open();
    SpineFigure figure{"open (patients, query, visits)", MicrosSince(openStart), std::nullopt};
    if (files) {
        const auto plainOpenStart = Clock::now();
        Plain fresh(dir, password);
        fresh.Rows(fresh.patients, "SELECT * FROM bingren ORDER BY Id LIMIT 30", {});
        fresh.Rows(fresh.visits, "SELECT * FROM bingli WHERE Brid = 1 ORDER BY Id LIMIT 30", {});
        figure.statements = MicrosSince(plainOpenStart);
    }
    figures.push_back(figure);
    return data;
}

}  // namespace

SpineFigures RunSpine(const std::string& root, const std::optional<std::string>& password,
                      const std::optional<std::string>& server) {
    setenv("DBENGINE_ROOT", root.c_str(), 1);
    std::optional<ServerConfig> config;
    if (server) config.emplace(*server);
    SpineFigures result;
    result.dir = server ? "server " + *server : root + "/d/qorvyna/bingli";
    if (!server) WarmPageCache(result.dir);
    if (password) Session().AddPassword(*password);

    result.baseMiB = ResidentMiB();
    auto data = OpenBoth(result.dir, password, !server, result.figures);
    std::optional<Plain> plain;
    if (!server) plain.emplace(result.dir, password);
    result.openedMiB = ResidentMiB();

    Operations operations(*data, plain ? &*plain : nullptr, result.figures);
    operations.Run();
    result.walked = operations.Walk();
    result.walkedMiB = ResidentMiB();
    return result;
}
