// The short date format: how dates are shown, typed and written in filters.
//
// One process-wide pattern. The program sets it at start-up from the desktop's own short date
// format; until then, and under the bare C locale, it is yyyy-M-d. Tests set it directly.
//
// A pattern holds one run each of y, M and d (yyyy or yy, M or MM, d or dd) between literal
// text; text in single quotes is literal, '' is a quote. Every date shown in the pattern reads
// back as the same day. Reading is also lenient where no text that the pattern reads changes
// meaning: blanks around and inside the separators, the common separators '-', '/' and '.' in
// place of the pattern's own, 年 月 日 for a year-month-day order, and a missing year.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dates {

const std::string& ShortDateFormat();
void SetShortDateFormat(const std::string& pattern);

// The pattern that a desktop's short date format gives: its two-digit years widened to four,
// since the clinic's records span decades. A format without a numeric day, month and year (the
// C locale's, or one with names of months) gives yyyy-M-d.
std::string ShortDateFormatFromDesktop(std::string_view desktopFormat);

// The date in the short date format.
std::string FormatShortDate(int days);

// Reads a date in the short date format's order of day, month and year. A missing year is this
// year; a one- or two-digit year lies within 50 years of today. Nothing on failure.
std::optional<int> ParseShortDate(std::string_view text);

}  // namespace dates
