#include "base/short_date_format.h"

#include <algorithm>
#include <vector>

#include "base/dates.h"

namespace dates {
namespace {

constexpr std::string_view kFallback = "yyyy-M-d";

// A run of one field letter, or literal text.
struct Piece {
    char field = 0;  // 'y', 'M' or 'd'; 0 for literal text
    int width = 0;
    std::string text;
};

// A pattern taken apart, with what reading needs of it.
struct Layout {
    std::string pattern;
    std::vector<Piece> pieces;
    std::string order;                    // y, M and d in the pattern's order
    std::vector<std::string> separators;  // before, between and after the fields, blanks dropped
};

bool IsField(char c) {
    return c == 'y' || c == 'M' || c == 'd';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The text of a quoted literal that starts at `i`, with '' read as a quote; `i` moves past it.
std::string QuotedText(std::string_view pattern, std::size_t& i) {
    std::string text;
    for (++i; i < pattern.size(); ++i) {
        if (pattern[i] != '\'') {
            text += pattern[i];
        } else if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
            text += pattern[++i];
        } else {
            ++i;
            break;
        }
    }
    return text;
}

std::vector<Piece> PiecesOf(std::string_view pattern) {
    std::vector<Piece> pieces;
    const auto literal = [&pieces]() -> std::string& {
        if (pieces.empty() || pieces.back().field) pieces.emplace_back();
        return pieces.back().text;
    };
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (IsField(c)) {
            std::size_t run = 1;
            while (i + run < pattern.size() && pattern[i + run] == c) ++run;
            pieces.push_back({c, static_cast<int>(run), {}});
            i += run;
        } else if (c == '\'' && i + 1 < pattern.size() && pattern[i + 1] == '\'') {
            literal() += '\'';
            i += 2;
        } else if (c == '\'') {
            literal() += QuotedText(pattern, i);
        } else {
            literal() += c;
            ++i;
        }
    }
    return pieces;
}

std::string WithoutBlanks(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (!IsBlank(c)) out += c;
    }
    return out;
}

// Nothing when the pattern lacks a numeric day, month or year, repeats one, or writes two of them
// without text between, which could not be read back.
std::optional<Layout> LayoutOf(std::string_view pattern) {
    Layout layout{std::string(pattern), PiecesOf(pattern), {}, {""}};
    for (std::size_t i = 0; i < layout.pieces.size(); ++i) {
        const Piece& piece = layout.pieces[i];
        if (!piece.field) {
            layout.separators.back() = WithoutBlanks(piece.text);
            continue;
        }
        if (i > 0 && layout.pieces[i - 1].field) return std::nullopt;
        if (layout.order.find(piece.field) != std::string::npos) return std::nullopt;
        if (piece.width > (piece.field == 'y' ? 4 : 2)) return std::nullopt;  // names, not numbers
        layout.order += piece.field;
        layout.separators.emplace_back();
    }
    if (layout.order.size() != 3) return std::nullopt;
    return layout;
}

Layout& Current() {
    static Layout layout = *LayoutOf(kFallback);
    return layout;
}

// Literal text as a pattern writes it: letters in quotes, a quote doubled.
std::string Quoted(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '\'') {
            out += "''";
            ++i;
        } else if (IsLetter(text[i])) {
            std::size_t end = i;
            while (end < text.size() && IsLetter(text[end])) ++end;
            out.append("'").append(text, i, end - i).append("'");
            i = end;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string Padded(int value, int width) {
    std::string s = std::to_string(value);
    while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
    return s;
}

struct Number {
    int value = 0, digits = 0;
};

// A typed date taken apart: its numbers, and the texts before, between and after them with
// blanks dropped.
struct Scan {
    std::vector<Number> numbers;
    std::vector<std::string> separators{""};
};

std::optional<Scan> ScanOf(std::string_view text) {
    Scan scan;
    for (std::size_t i = 0; i < text.size();) {
        if (!IsDigit(text[i])) {
            if (!IsBlank(text[i])) scan.separators.back() += text[i];
            ++i;
            continue;
        }
        Number n;
        for (; i < text.size() && IsDigit(text[i]); ++i) {
            if (++n.digits > 4) return std::nullopt;
            n.value = n.value * 10 + (text[i] - '0');
        }
        scan.numbers.push_back(n);
        scan.separators.emplace_back();
    }
    return scan;
}

bool IsCommonSeparator(const std::string& s) {
    return s == "-" || s == "/" || s == ".";
}

// The separators of a whole date: the pattern's own, or the common ones, or 年 月 日.
bool FitsWithYear(const std::vector<std::string>& s, const Layout& layout) {
    if (s == layout.separators) return true;
    if (!s[0].empty()) return false;
    if (IsCommonSeparator(s[1]) && s[2] == s[1] && s[3].empty()) return true;
    return layout.order == "yMd" && s[1] == "年" && s[2] == "月" && (s[3].empty() || s[3] == "日");
}

// The separators of a month and day without a year.
bool FitsWithoutYear(const std::vector<std::string>& s, const Layout& layout) {
    const std::size_t y = layout.order.find('y');
    const bool monthFirst = layout.order.find('M') < layout.order.find('d');
    // The pattern's own separator between month and day, where they are neighbours.
    const std::string own = y == 0 ? layout.separators[2] : y == 2 ? layout.separators[1] : "";
    if (!s[0].empty()) return false;
    if (monthFirst && s[1] == "月") return s[2].empty() || s[2] == "日";
    return (s[1] == own || IsCommonSeparator(s[1])) &&
           (s[2].empty() || s[2] == layout.separators.back());
}

int FullYear(const Number& year) {
    if (year.digits > 2) return year.value;
    const int thisYear = ToCivil(Today()).year;
    int full = thisYear - thisYear % 100 + year.value;
    if (full > thisYear + 50) full -= 100;
    if (full <= thisYear - 50) full += 100;
    return full;
}

}  // namespace

const std::string& ShortDateFormat() {
    return Current().pattern;
}

void SetShortDateFormat(const std::string& pattern) {
    Current() = LayoutOf(pattern).value_or(*LayoutOf(kFallback));
}

std::string ShortDateFormatFromDesktop(std::string_view desktopFormat) {
    const std::optional<Layout> layout = LayoutOf(desktopFormat);
    if (!layout) return std::string(kFallback);
    std::string pattern;
    for (const Piece& piece : layout->pieces) {
        if (!piece.field) {
            pattern += Quoted(piece.text);
        } else {
            pattern.append(piece.field == 'y' ? std::max(piece.width, 4) : piece.width,
                           piece.field);
        }
    }
    return pattern;
}

std::string FormatShortDate(int days) {
    const Civil c = ToCivil(days);
    std::string out;
    for (const Piece& piece : Current().pieces) {
        switch (piece.field) {
            case 'y':
                out += piece.width <= 2 ? Padded(c.year % 100, 2) : Padded(c.year, 4);
                break;
            case 'M':
                out += Padded(c.month, piece.width);
                break;
            case 'd':
                out += Padded(c.day, piece.width);
                break;
            default:
                out += piece.text;
        }
    }
    return out;
}

std::optional<int> ParseShortDate(std::string_view text) {
    const Layout& layout = Current();
    const std::optional<Scan> scan = ScanOf(text);
    if (!scan || scan->numbers.size() < 2 || scan->numbers.size() > 3) return std::nullopt;
    const bool withYear = scan->numbers.size() == 3;
    if (!(withYear ? FitsWithYear : FitsWithoutYear)(scan->separators, layout)) return std::nullopt;
    std::string order = layout.order;
    if (!withYear) order.erase(order.find('y'), 1);
    int year = ToCivil(Today()).year, month = 0, day = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Number& n = scan->numbers[i];
        if (order[i] != 'y' && n.digits > 2) return std::nullopt;
        if (order[i] == 'y') year = FullYear(n);
        if (order[i] == 'M') month = n.value;
        if (order[i] == 'd') day = n.value;
    }
    if (!IsValid(year, month, day)) return std::nullopt;
    return FromCivil(year, month, day);
}

}  // namespace dates
