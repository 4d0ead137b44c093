#include "tools/civil_date.h"

#include <cstdio>
#include <ctime>

namespace clinicdb {
namespace {

// Gregorian calendar arithmetic on eras of 400 years (146097 days), which repeat exactly.
struct YearMonthDay {
    int year;
    int month;
    int day;
};

YearMonthDay CivilOf(Day days) {
    const int z = days + 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const int doe = z - era * 146097;
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    const int month = mp < 10 ? mp + 3 : mp - 9;
    return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, doy - (153 * mp + 2) / 5 + 1};
}

bool AllDigits(std::string_view s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

int Number(std::string_view digits) {
    int n = 0;
    for (char c : digits) n = n * 10 + (c - '0');
    return n;
}

}  // namespace

Day DayOf(int year, int month, int day) {
    const int y = month <= 2 ? year - 1 : year;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::optional<Day> ParseDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const std::string_view y = text.substr(0, 4), m = text.substr(5, 2), d = text.substr(8, 2);
    if (!AllDigits(y) || !AllDigits(m) || !AllDigits(d)) return std::nullopt;
    const int month = Number(m);
    const int day = Number(d);
    if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    const Day result = DayOf(Number(y), month, day);
    // A day past the month's end rolls into the next month; the round trip exposes it.
    if (CivilOf(result).day != day) return std::nullopt;
    return result;
}

std::string FormatDay(Day day) {
    const YearMonthDay c = CivilOf(day);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", c.year, c.month, c.day);
    return text;
}

Day LocalToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return DayOf(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

}  // namespace clinicdb
