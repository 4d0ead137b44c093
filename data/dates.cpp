#include "data/dates.h"

#include <langinfo.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <vector>

namespace dates {
namespace {

namespace chr = std::chrono;

// 1899-12-30 as days since 1970-01-01.
constexpr int kEpoch = -25569;

std::string PatternFromLocale() {
    const std::string previous = std::setlocale(LC_TIME, nullptr);
    const char* chosen = std::setlocale(LC_TIME, "");
    const std::string locale = chosen ? chosen : "C";
    const std::string fmt = nl_langinfo(D_FMT);
    std::setlocale(LC_TIME, previous.c_str());
    // The bare C locale says nothing about the clinic's preference.
    if (locale == "C" || locale == "POSIX" || locale.rfind("C.", 0) == 0) return "yyyy-M-d";
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

bool InStoredRange(int days) {
    const int year = ToCivil(days).year;
    return year >= 1 && year <= 9999;
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
