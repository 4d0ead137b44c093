// Calendar dates as the tool writes them: days counted from 1970-01-01, shown as YYYY-MM-DD.
//
// The tool needs only whole days (first visits, follow-up dates, "tomorrow"), so a date is a
// plain day number and arithmetic on it is integer arithmetic.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace clinicdb {

using Day = int;  // days since 1970-01-01, negative before it

// The day of a proleptic Gregorian date. Requires: a real date (month 1-12, day in month).
Day DayOf(int year, int month, int day);

// Parses YYYY-MM-DD exactly; nullopt for anything else, including 2023-02-30.
std::optional<Day> ParseDay(std::string_view text);

// YYYY-MM-DD, as the database stores dates.
std::string FormatDay(Day day);

// Today in the machine's local time zone.
Day LocalToday();

}  // namespace clinicdb
