#include "engine/values.h"

#include <charconv>
#include <chrono>
#include <cstdio>

namespace dbe {

namespace {

// 1899-12-30 counted from 1970-01-01.
constexpr int kEpochOffset = -25569;

bool ParseNumber(std::string_view text, int& value) {
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc();
}

}  // namespace

std::optional<std::int32_t> ParseDate(std::string_view text) {
    int year = 0, month = 0, day = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    if (!ParseNumber(text.substr(0, 4), year) || !ParseNumber(text.substr(5, 2), month) ||
        !ParseNumber(text.substr(8, 2), day)) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(year),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    if (year < 1 || !date.ok()) return std::nullopt;
    const auto days = std::chrono::sys_days(date).time_since_epoch().count();
    return static_cast<std::int32_t>(days - kEpochOffset);
}

std::optional<std::string> FormatDate(std::int32_t days) {
    const std::chrono::sys_days point{std::chrono::days(std::int64_t{days} + kEpochOffset)};
    const std::chrono::year_month_day date(point);
    const int year = static_cast<int>(date.year());
    if (year < 1 || year > 9999) return std::nullopt;
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", year, static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()));
    return std::string(text);
}

Value ColumnValue(const sqlitekit::Statement& statement, int column) {
    switch (statement.ColumnType(column)) {
        case SQLITE_NULL:
            return {};
        case SQLITE_INTEGER:
            return statement.ColumnInt(column);
        case SQLITE_FLOAT:
            return statement.ColumnDouble(column);
        default:
            return std::string(statement.ColumnText(column));
    }
}

void BindAll(sqlitekit::Statement& statement, const std::vector<Value>& values) {
    int index = 1;
    for (const Value& value : values) {
        if (const auto* i = std::get_if<std::int64_t>(&value)) {
            statement.BindInt(index, *i);
        } else if (const auto* d = std::get_if<double>(&value)) {
            statement.BindDouble(index, *d);
        } else if (const auto* s = std::get_if<std::string>(&value)) {
            statement.BindText(index, *s);
        } else {
            statement.BindNull(index);
        }
        ++index;
    }
}

std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

void AppendKeyText(const Value& value, std::string& out) {
    out += static_cast<char>('0' + value.index());
    if (const auto* i = std::get_if<std::int64_t>(&value)) {
        out += std::to_string(*i);
    } else if (const auto* d = std::get_if<double>(&value)) {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", *d);
        out += text;
    } else if (const auto* s = std::get_if<std::string>(&value)) {
        out += std::to_string(s->size()) + ':' + *s;
    }
    out += ';';
}

}  // namespace dbe
