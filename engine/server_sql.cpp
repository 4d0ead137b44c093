#include "engine/server_sql.h"

#include <cctype>

#include "engine/schema.h"

namespace dbe {

namespace {

bool IsWordCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The end of the quoted run that opens at `at` (a doubled quote stays inside).
std::size_t QuotedEnd(std::string_view sql, std::size_t at) {
    const char quote = sql[at];
    std::size_t end = at + 1;
    while (end < sql.size()) {
        if (sql[end++] != quote) continue;
        if (end < sql.size() && sql[end] == quote) {
            ++end;
        } else {
            break;
        }
    }
    return end;
}

// The end of the token at `at`: a quoted run, a word, or one other character.
std::size_t TokenEnd(std::string_view sql, std::size_t at) {
    if (sql[at] == '"' || sql[at] == '\'') return QuotedEnd(sql, at);
    if (!IsWordCharacter(sql[at])) return at + 1;
    std::size_t end = at;
    while (end < sql.size() && IsWordCharacter(sql[end])) ++end;
    return end;
}

class Rewriter {
  public:
    Rewriter(std::string_view sql, const std::string& rowid) : sql_(sql), rowid_(rowid) {}

    std::string Run() {
        std::size_t at = 0;
        while (at < sql_.size()) at = Token(at);
        return out_;
    }

  private:
    // Copies or rewrites the token at `at`; answers where the next begins.
    std::size_t Token(std::size_t at) {
        const std::size_t end = TokenEnd(sql_, at);
        const std::string_view token = sql_.substr(at, end - at);
        if (token == "?") {
            // Appended piece by piece: g++ 12 at -O3 warns falsely on a sum of strings here.
            out_ += '$';
            out_ += std::to_string(++placeholders_);
        } else if (SameName(token, "rowid")) {
            out_ += rowid_;
        } else if (SameName(token, "LIKE")) {
            return Like(end);
        } else {
            out_ += token;
        }
        return end;
    }

    // After LIKE: the pattern operand, then the escape clause.
    std::size_t Like(std::size_t at) {
        out_ += "ILIKE";
        while (at < sql_.size() && sql_[at] == ' ') out_ += sql_[at++];
        if (at < sql_.size()) at = Token(at);
        out_ += " ESCAPE ''";
        return at;
    }

    std::string_view sql_;
    const std::string& rowid_;
    std::string out_;
    int placeholders_ = 0;
};

}  // namespace

std::string ToServerSql(std::string_view sql, const std::string& rowid) {
    return Rewriter(sql, rowid).Run();
}

}  // namespace dbe
