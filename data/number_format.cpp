#include "data/number_format.h"

#include <clocale>
#include <string>

namespace {

char SeparatorFromLocale() {
    // Only the numeric category is switched, and only for this read: the rest of the program
    // keeps the locale it runs with.
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "");
    const std::string point = std::localeconv()->decimal_point;
    std::setlocale(LC_NUMERIC, previous.c_str());
    const bool plainAscii = point.size() == 1 && static_cast<unsigned char>(point[0]) < 0x80;
    return plainAscii ? point[0] : '.';
}

char& Separator() {
    static char separator = SeparatorFromLocale();
    return separator;
}

}  // namespace

char DecimalSeparator() {
    return Separator();
}
void SetDecimalSeparator(char separator) {
    Separator() = separator;
}
