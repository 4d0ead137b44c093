// Calendar dates and today.
//
// A date is a whole day, counted as days since 1899-12-30 (day 0, the value a missing date
// reads as). A date-time (TDateTime) is the same count with the time of day as its fraction.
// The files store dates as 'YYYY-MM-DD'; the user sees them in the short date format
// (data/short_date_format.h). Today comes from one clock, which tests may fix.
#pragma once

#include <optional>
#include <string>
#include <string_view>

using TDateTime = double;

namespace dates {

// Days since 1899-12-30 of a calendar date; the date must be valid.
int FromCivil(int year, int month, int day);
struct Civil {
    int year, month, day;
};
Civil ToCivil(int days);
bool IsValid(int year, int month, int day);

// Dates as the table files store them: 'YYYY-MM-DD'.
std::optional<int> ParseStoredDate(std::string_view text);
// Requires: InStoredRange(days), a day of the years 1 to 9999.
std::string FormatStoredDate(int days);
bool InStoredRange(int days);

// Today's date: the local date of the system clock, unless fixed.
int Today();
void SetToday(std::optional<int> days);

}  // namespace dates
