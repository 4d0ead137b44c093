#include "engine/values.h"

namespace dbe {

Value ColumnValue(const Statement& statement, int column) {
    switch (statement.Kind(column)) {
        case ColumnKind::kNull:
            return {};
        case ColumnKind::kInteger:
            return statement.ColumnInt(column);
        case ColumnKind::kReal:
            return statement.ColumnDouble(column);
        case ColumnKind::kText:
            break;
    }
    return std::string(statement.ColumnText(column));
}

void BindAll(Statement& statement, const std::vector<Value>& values) {
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
