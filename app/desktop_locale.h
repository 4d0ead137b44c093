// What the program takes from the desktop's locale: the short date format in which it shows,
// reads and filters dates.
#pragma once

#include <QLocale>
#include <string>

// The locale's short date format as Qt reports it, made a pattern for every date the program
// shows (data/short_date_format.h): two-digit years widened to four; yyyy-M-d for the bare C
// locale, whose format names the month.
std::string DesktopShortDateFormat(const QLocale& locale);
