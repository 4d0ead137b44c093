#include "base/dates.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace dates {
namespace {

namespace chr = std::chrono;

// 1899-12-30 as days since 1970-01-01.
constexpr int kEpoch = -25569;

std::optional<int>& FixedToday() {
    static std::optional<int> today;
    return today;
}

}  // namespace

int FromCivil(int year, int month, int day) {
    const chr::year_month_day date{chr::year(year), chr::month(static_cast<unsigned>(month)),
                                   chr::day(static_cast<unsigned>(day))};
    return static_cast<int>(chr::sys_days(date).time_since_epoch().count()) - kEpoch;
}

Civil ToCivil(int days) {
    const chr::year_month_day date(chr::sys_days(chr::days(days + kEpoch)));
    return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day()))};
}

bool IsValid(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) return false;
    return chr::year_month_day{chr::year(year), chr::month(static_cast<unsigned>(month)),
                               chr::day(static_cast<unsigned>(day))}
        .ok();
}

// Compared with the range's ends before any arithmetic on `days`, which could overflow.
bool InStoredRange(int days) {
    static const int first = FromCivil(1, 1, 1), last = FromCivil(9999, 12, 31);
    return days >= first && days <= last;
}

std::optional<int> ParseStoredDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    int parts[3] = {0, 0, 0};
    const std::size_t starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int i = 0; i < 3; ++i) {
        for (std::size_t k = starts[i]; k < starts[i] + lengths[i]; ++k) {
            if (text[k] < '0' || text[k] > '9') return std::nullopt;
            parts[i] = parts[i] * 10 + (text[k] - '0');
        }
    }
    if (!IsValid(parts[0], parts[1], parts[2])) return std::nullopt;
    return FromCivil(parts[0], parts[1], parts[2]);
}

std::string FormatStoredDate(int days) {
    const Civil c = ToCivil(days);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", c.year, c.month, c.day);
    return text;
}

int Today() {
    if (FixedToday()) return *FixedToday();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return FromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

void SetToday(std::optional<int> days) {
    FixedToday() = days;
}

}  // namespace dates
