// What the grid takes from its surroundings besides the record set: the time that the pick
// list's incremental search measures, and the beep for a refused character. Both default to the
// system's (a monotonic clock, QApplication::beep); tests replace them to run without waiting
// and to hear the beep. Process-wide, like the system's own.
#pragma once

#include <cstdint>
#include <functional>

namespace gridenv {

// Milliseconds of a monotonic clock.
std::int64_t NowMs();
// nullptr restores the system's clock.
void SetClock(std::function<std::int64_t()> clock);

void Beep();
// nullptr restores the system's beep.
void SetBeep(std::function<void()> beep);

}  // namespace gridenv
