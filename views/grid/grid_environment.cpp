#include "views/grid/grid_environment.h"

#include <QApplication>
#include <QElapsedTimer>

namespace {

std::function<std::int64_t()>& Clock() {
    static std::function<std::int64_t()> clock;
    return clock;
}

std::function<void()>& BeepHook() {
    static std::function<void()> beep;
    return beep;
}

}  // namespace

namespace gridenv {

std::int64_t NowMs() {
    if (Clock()) return Clock()();
    static QElapsedTimer timer = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return timer.elapsed();
}

void SetClock(std::function<std::int64_t()> clock) {
    Clock() = std::move(clock);
}

void Beep() {
    if (BeepHook()) return BeepHook()();
    QApplication::beep();
}

void SetBeep(std::function<void()> beep) {
    BeepHook() = std::move(beep);
}

}  // namespace gridenv
