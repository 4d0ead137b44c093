#include "data/dates.h"

#include <langinfo.h>

#include <clocale>
#include <ctime>
#include <vector>

namespace dates {
namespace {

// Howard Hinnant's civil calendar algorithms, counting from 0000-03-01.
constexpr int DaysFromCivilRaw(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
}

constexpr int kEpochShift = DaysFromCivilRaw(1899, 12, 30);

std::string PatternFromLocale() {
    const std::string previous = std::setlocale(LC_TIME, nullptr);
    const char* chosen = std::setlocale(LC_TIME, "");
    const std::string locale = chosen ? chosen : "C";
    const std::string fmt = nl_langinfo(D_FMT);
    std::setlocale(LC_TIME, previous.c_str());
    // The bare C locale says nothing about the clinic's preference.
    if (locale == "C" || locale == "POSIX") return "yyyy-M-d";
    std::string pattern;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != '%' || i + 1 == fmt.size()) {
            pattern += fmt[i];
            continue;
        }
        switch (fmt[++i]) {
            case 'Y': pattern += "yyyy"; break;
            case 'y': pattern += "yy"; break;
            case 'm': pattern += "MM"; break;
            case 'd': pattern += "dd"; break;
            case 'e': pattern += "d"; break;
            default: return "yyyy-M-d";  // names of months or days: no numeric short form
        }
    }
    return pattern;
}

std::string& Pattern() {
    static std::string pattern = PatternFromLocale();
    return pattern;
}

std::optional<int>& FixedToday() {
    static std::optional<int> today;
    return today;
}

struct Layout {
    std::string order;  // the letters y, M, d in the pattern's order
    char separator = '-';
};

Layout LayoutOf(const std::string& pattern) {
    Layout layout;
    for (char c : pattern) {
        if (c == 'y' || c == 'M' || c == 'd') {
            if (layout.order.empty() || layout.order.back() != c) layout.order += c;
        } else if (c != ' ') {
            layout.separator = c;
        }
    }
    return layout;
}

std::string Padded(int value, int width) {
    std::string s = std::to_string(value);
    while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
    return s;
}

struct Number {
    int value, digits;
};

// The numbers of the text between single separators; empty when it holds anything else.
std::vector<Number> NumbersOf(std::string_view text, char separator) {
    std::vector<Number> numbers;
    std::size_t i = 0;
    while (true) {
        Number n{0, 0};
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && n.digits < 5) {
            n.value = n.value * 10 + (text[i++] - '0');
            ++n.digits;
        }
        if (n.digits == 0) return {};
        numbers.push_back(n);
        if (i == text.size()) return numbers;
        if (text[i] != separator || numbers.size() == 3) return {};
        ++i;
    }
}

int FullYear(int year, int digits) {
    if (digits > 2) return year;
    const int thisYear = ToCivil(Today()).year;
    int full = thisYear - thisYear % 100 + year;
    if (full > thisYear + 50) full -= 100;
    if (full <= thisYear - 50) full += 100;
    return full;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

}  // namespace

int FromCivil(int year, int month, int day) {
    return DaysFromCivilRaw(year, month, day) - kEpochShift;
}

Civil ToCivil(int days) {
    const int z = days + kEpochShift;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const int doe = z - era * 146097;
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    const int d = doy - (153 * mp + 2) / 5 + 1;
    const int m = mp < 10 ? mp + 3 : mp - 9;
    return {yoe + era * 400 + (m <= 2), m, d};
}

bool IsValid(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap);
}

const std::string& ShortDateFormat() { return Pattern(); }
void SetShortDateFormat(const std::string& pattern) { Pattern() = pattern; }

std::string FormatShortDate(int days) {
    const Civil c = ToCivil(days);
    const std::string& pattern = Pattern();
    std::string out;
    for (std::size_t i = 0; i < pattern.size();) {
        const char letter = pattern[i];
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == letter) ++run;
        switch (letter) {
            case 'y': out += run <= 2 ? Padded(c.year % 100, 2) : Padded(c.year, 4); break;
            case 'M': out += Padded(c.month, static_cast<int>(run)); break;
            case 'd': out += Padded(c.day, static_cast<int>(run)); break;
            default: out.append(run, letter);
        }
        i += run;
    }
    return out;
}

std::optional<int> ParseShortDate(std::string_view text) {
    const Layout layout = LayoutOf(Pattern());
    const std::vector<Number> numbers = NumbersOf(Trimmed(text), layout.separator);
    if (numbers.size() < 2 || layout.order.size() != 3) return std::nullopt;
    // Without a year, the pattern's order of month and day still holds.
    std::string order = layout.order;
    if (numbers.size() == 2) order.erase(order.find('y'), 1);
    int year = ToCivil(Today()).year, month = 0, day = 0;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (order[i] == 'y') year = FullYear(numbers[i].value, numbers[i].digits);
        if (order[i] == 'M') month = numbers[i].value;
        if (order[i] == 'd') day = numbers[i].value;
    }
    if (!IsValid(year, month, day)) return std::nullopt;
    return FromCivil(year, month, day);
}

int Today() {
    if (FixedToday()) return *FixedToday();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return FromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

void SetToday(std::optional<int> days) { FixedToday() = days; }

}  // namespace dates
