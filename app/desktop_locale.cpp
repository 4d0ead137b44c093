#include "app/desktop_locale.h"

#include "base/short_date_format.h"

std::string DesktopShortDateFormat(const QLocale& locale) {
    if (locale.language() == QLocale::C) return dates::ShortDateFormatFromDesktop("");
    return dates::ShortDateFormatFromDesktop(locale.dateFormat(QLocale::ShortFormat).toStdString());
}
