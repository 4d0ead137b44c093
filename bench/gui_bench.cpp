// Times the program as the user meets it: from the click or key to the window or row painted,
// inside the program on Qt's offscreen platform. The name search with each outcome, the
// reminder, all-patients and visit-history windows, and PgDn and Ctrl+End in every grid. Run by
// hand (bench/run); never a pass/fail test. A frame is 16 ms.
//
// Usage: gui_bench ROOT   where ROOT/d/qorvyna/bingli holds a demo database.
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

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

// Each operation's times, in the order first measured, and the memory pages it first faulted in.
struct Figure {
    std::string name;
    std::vector<double> times;
    long firstFaults = 0;
};
std::vector<Figure> figures;

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

void Report(const std::string& what, double micros, long faults) {
    for (Figure& figure : figures) {
        if (figure.name == what) return figure.times.push_back(micros);
    }
    figures.push_back({what, {micros}, faults});
}

// What the kernel takes to hand this process one fresh page: a window's first paint touches
// every page of its new buffer, and on a virtual machine each costs far more than on hardware.
double MicrosPerFreshPage() {
    constexpr std::size_t kBytes = 8 << 20;
    const long page = sysconf(_SC_PAGESIZE);
    void* memory =
        mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return 0;
    const auto start = Clock::now();
    for (std::size_t at = 0; at < kBytes; at += page) static_cast<volatile char*>(memory)[at] = 1;
    const double micros = MicrosSince(start) / static_cast<double>(kBytes / page);
    munmap(memory, kBytes);
    return micros;
}

// The first time (with the caches and fonts still cold, and the pages it faulted in) and the
// median of the others.
void Print() {
    std::printf("%-52s %10s %10s %12s\n", "from the click or key to the paint", "first", "median",
                "first faults");
    for (const Figure& figure : figures) {
        const double first = figure.times.front();
        std::vector<double> rest(figure.times.begin() + 1, figure.times.end());
        std::sort(rest.begin(), rest.end());
        const double median = rest.empty() ? first : rest[rest.size() / 2];
        std::printf("%-52s %7.1f ms %7.1f ms %12ld%s\n", figure.name.c_str(), first / 1000,
                    median / 1000, figure.firstFaults,
                    std::max(first, median) < kFrameMicros ? "" : "  <-- over a frame");
    }
    std::printf("a fresh page of memory costs %.1f us on this machine\n", MicrosPerFreshPage());
}

// `act` runs; then what it changed is painted, as the event loop paints it for the screen.
void TimePainted(const std::string& what, const std::function<void()>& act) {
    const long faults = MinorFaults();
    const auto start = Clock::now();
    act();
    QApplication::processEvents();
    Report(what, MicrosSince(start), MinorFaults() - faults);
}

// Times PgDn and Ctrl+End in `grid`, each to its repaint, and goes back to the top.
void TimeGridKeys(const std::string& name, QWidget* grid) {
    grid->setFocus();
    TimePainted(name + ": PgDn", [&] { QTest::keyClick(grid, Qt::Key_PageDown); });
    TimePainted(name + ": Ctrl+End",
                [&] { QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier); });
    QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
}

// Runs `open`, which shows a modal window; reports the time until that window is painted, lets
// `inside` work in it, and closes it.
void TimeModal(const std::string& what, const std::function<void()>& open,
               const std::function<void(QWidget*)>& inside) {
    const long faults = MinorFaults();
    const auto start = Clock::now();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        watch.stop();
        QApplication::processEvents();
        Report(what, MicrosSince(start), MinorFaults() - faults);
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
        return TimePainted(what, [&] { w.BitBtnczxm->click(); });
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
