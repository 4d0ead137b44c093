#include "engine/query.h"

#include <cctype>

#include "engine/errors.h"
#include "engine/schema.h"
#include "engine/values.h"

namespace dbe {

namespace {

// How much of the text an error quotes from where it went wrong.
constexpr std::size_t kQuoteBytes = 24;

enum class TokenKind { kName, kLiteral, kComma, kDot, kEnd };

struct Token {
    TokenKind kind = TokenKind::kEnd;
    std::string text;  // a name as written, or a literal's value
    std::size_t offset = 0;
};

bool IsNameByte(char c, bool first) {
    const auto byte = static_cast<unsigned char>(c);
    return std::isalpha(byte) || c == '_' || byte >= 0x80 || (!first && std::isdigit(byte));
}

class Parser {
  public:
    explicit Parser(std::string_view text) : text_(text) { Advance(); }

    ParsedQuery Parse();

  private:
    [[noreturn]] void Fail(std::size_t offset, const std::string& what) const;
    [[noreturn]] void Expected(const std::string& what) const { Fail(token_.offset, what); }
    void Advance();
    void ReadLiteral(std::size_t start);
    bool AtKeyword(std::string_view keyword) const {
        return token_.kind == TokenKind::kName && SameName(token_.text, keyword);
    }
    void ExpectKeyword(std::string_view keyword);
    std::string ExpectName(const std::string& what);
    std::vector<std::string> NameList();
    std::string TableName();
    LikeCondition Condition();

    std::string_view text_;
    std::size_t next_ = 0;
    Token token_;
};

void Parser::Fail(std::size_t offset, const std::string& what) const {
    const std::string where =
        offset >= text_.size()
            ? "at end of text"
            : "near '" + std::string(Utf8Prefix(text_.substr(offset), kQuoteBytes)) + "'";
    throw EngineError(DBIERR_QRYSYNTAX, "Invalid query syntax " + where + ": " + what);
}

void Parser::Advance() {
    while (next_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[next_]))) {
        ++next_;
    }
    const std::size_t start = next_;
    token_ = Token{TokenKind::kEnd, "", start};
    if (start == text_.size()) return;
    const char c = text_[start];
    if (c == ',' || c == '.') {
        token_.kind = c == ',' ? TokenKind::kComma : TokenKind::kDot;
        ++next_;
    } else if (c == '\'') {
        ReadLiteral(start);
    } else if (IsNameByte(c, true)) {
        while (next_ < text_.size() && IsNameByte(text_[next_], false)) ++next_;
        token_.kind = TokenKind::kName;
        token_.text = std::string(text_.substr(start, next_ - start));
    } else {
        Fail(start, "unexpected character");
    }
}

void Parser::ReadLiteral(std::size_t start) {
    token_.kind = TokenKind::kLiteral;
    for (next_ = start + 1; next_ < text_.size(); ++next_) {
        if (text_[next_] != '\'') {
            token_.text += text_[next_];
        } else if (next_ + 1 < text_.size() && text_[next_ + 1] == '\'') {
            token_.text += '\'';
            ++next_;
        } else {
            ++next_;
            return;
        }
    }
    Fail(start, "unterminated literal");
}

void Parser::ExpectKeyword(std::string_view keyword) {
    if (!AtKeyword(keyword)) Expected("expected " + std::string(keyword));
    Advance();
}

std::string Parser::ExpectName(const std::string& what) {
    if (token_.kind != TokenKind::kName) Expected("expected " + what);
    std::string name = token_.text;
    Advance();
    return name;
}

std::vector<std::string> Parser::NameList() {
    std::vector<std::string> names{ExpectName("a field name")};
    while (token_.kind == TokenKind::kComma) {
        Advance();
        names.push_back(ExpectName("a field name"));
    }
    return names;
}

std::string Parser::TableName() {
    std::string name = ExpectName("a table name");
    if (token_.kind == TokenKind::kDot) {
        Advance();
        name += '.' + ExpectName("the table's extension");
    }
    return name;
}

LikeCondition Parser::Condition() {
    LikeCondition condition;
    condition.field = ExpectName("a field name");
    condition.pinyin = AtKeyword("PINYIN");
    if (!condition.pinyin && !AtKeyword("LIKE")) Expected("expected LIKE or PINYIN");
    Advance();
    if (condition.pinyin && token_.kind != TokenKind::kLiteral)
        Expected("expected a quoted literal");
    if (token_.kind == TokenKind::kLiteral) {
        condition.literal = token_.text;
        Advance();
    } else {
        condition.otherField = ExpectName("a quoted literal or a field name");
    }
    return condition;
}

ParsedQuery Parser::Parse() {
    ParsedQuery query;
    ExpectKeyword("SELECT");
    query.fields = NameList();
    ExpectKeyword("FROM");
    query.table = TableName();
    if (AtKeyword("WHERE")) {
        Advance();
        query.where = Condition();
    }
    if (AtKeyword("ORDER")) {
        Advance();
        ExpectKeyword("BY");
        query.orderBy = NameList();
    }
    if (token_.kind != TokenKind::kEnd) {
        Expected(!query.orderBy.empty() ? "expected the end"
                 : query.where          ? "expected ORDER BY or the end"
                                        : "expected WHERE, ORDER BY or the end");
    }
    return query;
}

}  // namespace

ParsedQuery ParseQuery(std::string_view text) {
    return Parser(text).Parse();
}

}  // namespace dbe
