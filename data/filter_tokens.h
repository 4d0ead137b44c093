// The tokens of the filter language, read one at a time from the filter text.
//
// The text is UTF-8. Bytes up to and including the space are blanks; /* ... */ is a comment.
// A name starts with an ASCII letter, '_' or a multi-byte character (every valid multi-byte
// UTF-8 character counts as one letter) and continues over letters, digits, '_', '.', '[' and
// ']'; LIKE, IN, IS, NULL, NOT, AND, OR, TRUE and FALSE (any case) are keywords, every other
// name names a field. [A bracketed name] may hold any bytes and is never a keyword. A quoted
// literal runs between single quotes, '' standing for one quote.
//
// A number literal starts with '-' or a digit, unless the previous token was a value (a name, a
// literal, NULL, TRUE, FALSE) or ')': there that '-' or digit would be a minus operator. It runs
// over every following digit, '+', '-', 'E', 'e' and the system decimal separator, so with the
// short date format yyyy-M-d a date such as 2026-12-9 is one number literal.
//
// Tokens are read on demand, so a failure is raised only when the reader reaches it: a parser
// that stops early never sees the failures of the text beyond.
//
// Failures (EDatabaseError, no prefix):
// - '+', '*', '/' and the minus operator: "Arithmetic in filter expressions not supported";
// - a byte outside the language, including a byte that is not valid UTF-8 and a NUL inside a
//   quoted literal or bracketed name (texts that reach the engine and messages as C strings):
//   "Invalid filter expression character: '%s'"; printable ASCII is named as itself, any other
//   byte as \xNN;
// - a comment, quoted literal or bracketed name that is never closed is the same failure naming
//   its opening mark: '/', the quote or '['.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum class TFilterTokenKind {
    End,
    Name,    // a field name
    Text,    // a quoted literal
    Number,  // a number literal
    Null,
    True,
    False,
    Like,
    In,
    Is,
    Not,
    And,
    Or,
    Compare,  // =, <>, <, <=, >, >=
    Open,
    Close,
    Comma,  // between the values of an IN list
};

struct TFilterToken {
    TFilterTokenKind kind = TFilterTokenKind::End;
    std::string text;      // a name or literal without its quotes or brackets, '' made one quote
    std::uint16_t op = 0;  // fltop* of a comparison
};

class TFilterTokenizer {
  public:
    // Requires: `text` outlives the tokenizer.
    explicit TFilterTokenizer(std::string_view text) : text_(text) {}

    // The next token; End at the end of the text, and again on every later call.
    TFilterToken Next();

  private:
    void SkipBlanksAndComments();
    TFilterToken Read();
    TFilterToken ReadQuoted();
    TFilterToken ReadBracketed();
    TFilterToken ReadNumber();
    TFilterToken ReadName();
    TFilterToken ReadComparison();
    // The length of the letter that may start a name at `at`; 0 when there is none.
    std::size_t LetterAt(std::size_t at) const;
    [[noreturn]] void InvalidCharacter(std::size_t at) const;

    std::string_view text_;
    std::size_t pos_ = 0;
    bool afterValue_ = false;  // the previous token was a value or ')'
};
