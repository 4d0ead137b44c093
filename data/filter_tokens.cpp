#include "data/filter_tokens.h"

#include <array>
#include <cstdio>
#include <utility>

#include "data/exceptions.h"
#include "data/fields.h"
#include "data/messages.h"
#include "data/number_format.h"
#include "engine/dbengine.h"

namespace {

using Kind = TFilterTokenKind;

unsigned char Byte(std::string_view text, std::size_t at) {
    return static_cast<unsigned char>(text[at]);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The length of the valid multi-byte UTF-8 character at the start of `text`; 0 when the text
// starts with anything else (ASCII, a stray continuation byte, an overlong form, a surrogate, a
// code point above U+10FFFF or a cut-off sequence).
std::size_t MultiByteLength(std::string_view text) {
    const unsigned char lead = Byte(text, 0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    }
    if (length == 0 || text.size() < length) return 0;
    if (Byte(text, 1) < low || Byte(text, 1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (Byte(text, i) < 0x80 || Byte(text, i) > 0xBF) return 0;
    }
    return length;
}

// A byte as the invalid-character message names it.
std::string CharacterName(unsigned char c) {
    if (c > ' ' && c < 0x7F) return std::string(1, static_cast<char>(c));
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    return hex;
}

Kind KeywordKind(std::string_view name) {
    static constexpr std::array<std::pair<const char*, Kind>, 9> kKeywords{{
        {"LIKE", Kind::Like},
        {"IN", Kind::In},
        {"IS", Kind::Is},
        {"NULL", Kind::Null},
        {"NOT", Kind::Not},
        {"AND", Kind::And},
        {"OR", Kind::Or},
        {"TRUE", Kind::True},
        {"FALSE", Kind::False},
    }};
    for (const auto& [keyword, kind] : kKeywords) {
        if (SameFieldName(name, keyword)) return kind;
    }
    return Kind::Name;
}

bool IsValue(Kind kind) {
    switch (kind) {
        case Kind::Name:
        case Kind::Text:
        case Kind::Number:
        case Kind::Null:
        case Kind::True:
        case Kind::False:
        case Kind::Close:
            return true;
        default:
            return false;
    }
}

[[noreturn]] void Arithmetic() {
    throw EDatabaseError(FormatMessage(msg::FilterArithmetic));
}

}  // namespace

TFilterToken TFilterTokenizer::Next() {
    SkipBlanksAndComments();
    TFilterToken token = Read();
    afterValue_ = IsValue(token.kind);
    return token;
}

void TFilterTokenizer::SkipBlanksAndComments() {
    while (pos_ < text_.size()) {
        if (Byte(text_, pos_) <= ' ') {
            ++pos_;
        } else if (text_.substr(pos_, 2) == "/*") {
            const std::size_t close = text_.find("*/", pos_ + 2);
            if (close == std::string_view::npos) InvalidCharacter(pos_);
            pos_ = close + 2;
        } else {
            return;
        }
    }
}

TFilterToken TFilterTokenizer::Read() {
    if (pos_ == text_.size()) return {};
    const char c = text_[pos_];
    if (c == '-' || IsDigit(c)) {
        if (afterValue_) Arithmetic();
        return ReadNumber();
    }
    if (LetterAt(pos_) > 0) return ReadName();
    switch (c) {
        case '\'':
            return ReadQuoted();
        case '[':
            return ReadBracketed();
        case '+':
        case '*':
        case '/':
            Arithmetic();
        case '=':
        case '<':
        case '>':
            return ReadComparison();
        case '(':
            ++pos_;
            return {Kind::Open, {}, 0};
        case ')':
            ++pos_;
            return {Kind::Close, {}, 0};
        case ',':
            ++pos_;
            return {Kind::Comma, {}, 0};
        default:
            InvalidCharacter(pos_);
    }
}

TFilterToken TFilterTokenizer::ReadQuoted() {
    const std::size_t open = pos_++;
    TFilterToken token{Kind::Text, {}, 0};
    while (true) {
        if (pos_ == text_.size()) InvalidCharacter(open);
        const char c = text_[pos_++];
        if (c == '\0') InvalidCharacter(pos_ - 1);
        if (c != '\'') {
            token.text += c;
        } else if (pos_ < text_.size() && text_[pos_] == '\'') {
            token.text += c;
            ++pos_;
        } else {
            return token;
        }
    }
}

TFilterToken TFilterTokenizer::ReadBracketed() {
    const std::size_t open = pos_;
    const std::size_t close = text_.find(']', open + 1);
    if (close == std::string_view::npos) InvalidCharacter(open);
    const std::string_view name = text_.substr(open + 1, close - open - 1);
    if (const std::size_t nul = name.find('\0'); nul != std::string_view::npos) {
        InvalidCharacter(open + 1 + nul);
    }
    pos_ = close + 1;
    return {Kind::Name, std::string(name), 0};
}

TFilterToken TFilterTokenizer::ReadNumber() {
    const std::size_t start = pos_++;
    const char separator = DecimalSeparator();
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (!IsDigit(c) && c != '+' && c != '-' && c != 'E' && c != 'e' && c != separator) break;
        ++pos_;
    }
    return {Kind::Number, std::string(text_.substr(start, pos_ - start)), 0};
}

TFilterToken TFilterTokenizer::ReadName() {
    const std::size_t start = pos_;
    pos_ += LetterAt(pos_);
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (IsDigit(c) || c == '.' || c == '[' || c == ']') {
            ++pos_;
        } else if (const std::size_t letter = LetterAt(pos_)) {
            pos_ += letter;
        } else {
            break;
        }
    }
    std::string name(text_.substr(start, pos_ - start));
    const Kind kind = KeywordKind(name);
    return {kind, kind == Kind::Name ? std::move(name) : std::string(), 0};
}

TFilterToken TFilterTokenizer::ReadComparison() {
    const char first = text_[pos_++];
    const char second = pos_ < text_.size() ? text_[pos_] : '\0';
    std::uint16_t op = fltopEQ;
    if (first == '<' && second == '>') {
        op = fltopNE;
    } else if (first == '<') {
        op = second == '=' ? fltopLE : fltopLT;
    } else if (first == '>') {
        op = second == '=' ? fltopGE : fltopGT;
    }
    if (op == fltopNE || op == fltopLE || op == fltopGE) ++pos_;
    return {Kind::Compare, {}, op};
}

std::size_t TFilterTokenizer::LetterAt(std::size_t at) const {
    const char c = text_[at];
    if (IsAsciiLetter(c) || c == '_') return 1;
    return Byte(text_, at) >= 0x80 ? MultiByteLength(text_.substr(at)) : 0;
}

void TFilterTokenizer::InvalidCharacter(std::size_t at) const {
    throw EDatabaseError(
        FormatMessage(msg::FilterInvalidCharacter, {CharacterName(Byte(text_, at))}));
}
