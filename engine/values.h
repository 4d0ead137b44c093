// Values as the engine holds them, and their conversions to and from the file.
//
// A Value is what one SQLite column holds: null, an integer, a real or a text. Record buffers
// hold interface values (dates as whole days since 1899-12-30); keys and SQL parameters hold
// storage values (dates as 'YYYY-MM-DD' text). Conversions between the two go through the
// field's kind; a stored value that does not fit its field reads as null.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/statement.h"

namespace dbe {

using Value = std::variant<std::monostate, std::int64_t, double, std::string>;

inline bool IsNull(const Value& value) {
    return std::holds_alternative<std::monostate>(value);
}

// The raw value of a result column.
Value ColumnValue(const Statement& statement, int column);

// Binds `values` to the parameters 1..n of `statement`.
void BindAll(Statement& statement, const std::vector<Value>& values);

// The longest prefix of UTF-8 `text` within `maxBytes` bytes that ends on a character boundary.
std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes);

// Copies `name` into a fixed char array, cut to fit at a character boundary.
template <std::size_t N>
void CopyName(char (&dest)[N], std::string_view name) {
    const std::string_view cut = Utf8Prefix(name, N - 1);
    name.copy(dest, cut.size());
    dest[cut.size()] = '\0';
}

// Appends a self-delimiting form of `value` to `out`, for cache keys.
void AppendKeyText(const Value& value, std::string& out);

}  // namespace dbe
