// Times the program as the user meets it: from the click or key to the window or row painted,
// inside the program on Qt's offscreen platform. The name search with each outcome, the
// reminder, all-patients and visit-history windows, and PgDn and Ctrl+End in every grid. Run by
// hand (bench/run); never a pass/fail test. A frame is 16 ms.
//
// Usage: gui_bench ROOT   where ROOT/d/qorvyna/bingli holds a demo database.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/Unitbinglidj.h"
#include "app/forms/UnitBingren.h"
#include "app/forms/Unitczxmjg.h"
#include "app/forms/Unitjzlc.h"
#include "app/forms/Unittsfzbr.h"
#include "base/dates.h"
#include "base/short_date_format.h"
#include "bench/bench_support.h"
#include "views/failure_reporting.h"

namespace {

constexpr double kFrameMicros = 16000;

constexpr int kRounds = 5;

// Each operation's times, in the order first measured.
std::vector<std::pair<std::string, std::vector<double>>> figures;

void Report(const std::string& what, double micros) {
    for (auto& [name, times] : figures) {
        if (name == what) return times.push_back(micros);
    }
    figures.push_back({what, {micros}});
}

// The first time (with the caches and fonts still cold) and the median of the others.
void Print() {
    std::printf("%-52s %10s %10s\n", "from the click or key to the paint", "first", "median");
    for (auto& [name, times] : figures) {
        const double first = times.front();
        std::vector<double> rest(times.begin() + 1, times.end());
        std::sort(rest.begin(), rest.end());
        const double median = rest.empty() ? first : rest[rest.size() / 2];
        std::printf("%-52s %7.1f ms %7.1f ms%s\n", name.c_str(), first / 1000, median / 1000,
                    std::max(first, median) < kFrameMicros ? "" : "  <-- over a frame");
    }
}

// `act` runs; then what it changed is painted, as the event loop paints it for the screen.
double TimePainted(const std::function<void()>& act) {
    const auto start = Clock::now();
    act();
    QApplication::processEvents();
    return MicrosSince(start);
}

// Times PgDn and Ctrl+End in `grid`, each to its repaint, and goes back to the top.
void TimeGridKeys(const std::string& name, QWidget* grid) {
    grid->setFocus();
    Report(name + ": PgDn", TimePainted([&] { QTest::keyClick(grid, Qt::Key_PageDown); }));
    Report(name + ": Ctrl+End",
           TimePainted([&] { QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier); }));
    QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
}

// Runs `open`, which shows a modal window; reports the time until that window is painted, lets
// `inside` work in it, and closes it.
void TimeModal(const std::string& what, const std::function<void()>& open,
               const std::function<void(QWidget*)>& inside) {
    const auto start = Clock::now();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        watch.stop();
        QApplication::processEvents();
        Report(what, MicrosSince(start));
        inside(modal);
        modal->close();
    });
    watch.start(0);
    open();
}

void NameSearch(TFormQorvynabldjxt& w, const char* outcome, const QString& text) {
    w.Editblhxm->setText(text);
    const std::string what =
        std::string("name search, ") + outcome + " (" + text.toStdString() + ")";
    if (std::string(outcome) != "several") {
        Report(what, TimePainted([&] { w.BitBtnczxm->click(); }));
        return;
    }
    TimeModal(
        what, [&] { w.BitBtnczxm->click(); },
        [](QWidget* modal) {
            TimeGridKeys("results window grid", static_cast<TFormczxmjg*>(modal)->DBGridDczxm);
        });
}

void RunRound(TFormQorvynabldjxt& w);

void Run(const std::string& root) {
    setenv("DBENGINE_ROOT", root.c_str(), 1);
    WarmPageCache(root + "/d/qorvyna/bingli");
    dates::SetShortDateFormat("yyyy/M/d");
    TFormQorvynabldjxt w;
    w.resize(1024, 740);
    w.show();
    QApplication::processEvents();

    for (int round = 0; round < kRounds; ++round) RunRound(w);
    Print();
}

void RunRound(TFormQorvynabldjxt& w) {
    NameSearch(w, "none", "龘");
    NameSearch(w, "one", "孔荣");
    NameSearch(w, "several", "林");
    NameSearch(w, "several", "王伟");
    TimeGridKeys("main window, patient grid", w.DBGridBingren);
    TimeGridKeys("main window, visit grid", w.DBGridbingli);
    TimeModal(
        "reminder window", [&] { w.BitBtnTsfz->click(); },
        [](QWidget* modal) {
            TimeGridKeys("reminder window grid", static_cast<TFormtsfzbr*>(modal)->DBGridtsfzbr);
        });
    TimeModal(
        "all-patients window", [&] { w.DBGridBingren->OnDblClick(w.DBGridBingren); },
        [](QWidget* modal) {
            TimeGridKeys("all-patients window grid", static_cast<TFormAllBingren*>(modal)->DBGrid1);
        });
    TimeModal(
        "visit-history window", [&] { w.DBGridbingli->OnDblClick(w.DBGridbingli); },
        [](QWidget* modal) {
            auto* history = static_cast<TFormjzlc*>(modal);
            TimeGridKeys("visit-history window, patient grid", history->DBGridBingren);
            TimeGridKeys("visit-history window, visit grid", history->DBGridBingLi);
        });
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TApplication app(argc, argv);
    return BenchMain(argc, 2, "usage: gui_bench ROOT", [&] { Run(argv[1]); });
}
