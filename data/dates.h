// Calendar dates and today.
//
// A date is a whole day, counted as days since 1899-12-30 (day 0, the value a missing date
// reads as). A date-time (TDateTime) is the same count with the time of day as its fraction.
// Dates are shown, typed and filtered in the short date format: one process-wide pattern read
// once from the system locale, which tests may set (`yyyy-M-d`, `d/M/yyyy`, ...). Today comes
// from one clock, which tests may fix.
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

// The short date format pattern: y, M and d runs (yyyy, yy, M, MM, d, dd) between separators.
const std::string& ShortDateFormat();
void SetShortDateFormat(const std::string& pattern);

// The date in the short date format.
std::string FormatShortDate(int days);
// Reads text in the short date format: day, month and year in the pattern's order, separated by
// its separator; a missing year is this year, a two-digit year lies within 50 years of today.
// Blanks around the text are ignored. Nothing on failure.
std::optional<int> ParseShortDate(std::string_view text);

// Today's date: the local date of the system clock, unless fixed.
int Today();
void SetToday(std::optional<int> days);

}  // namespace dates
