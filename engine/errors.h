// The engine's failures: the exception that carries a result code through the engine, the
// per-process error stack that the C interface reads, and the English text of every code.
//
// Contracts:
// - Inside the engine every failure is an EngineError (or a sqlitekit::Error, which
//   FromSqlite() turns into one); only the entry points in api*.cpp catch.
// - Entry 0 of the stack is the failing code with its standard text; the error's context
//   entries follow. Texts are cut to DBIMAXMSGLEN bytes at a UTF-8 character boundary.
// - The texts of the codes and the engine's own words stay English through the C interface;
//   they are marked where they are written for the program, which shows them translated.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "base/translatable.h"
#include "engine/dbengine.h"
#include "engine/sqlitekit/sqlite_support.h"

namespace dbe {

struct ErrorEntry {
    DBIResult code = DBIERR_NONE;
    std::int32_t native = 0;
    std::string text;
};

class EngineError : public std::exception {
  public:
    explicit EngineError(DBIResult code) : code_(code) {}
    // With one context entry of the same code.
    EngineError(DBIResult code, std::string context);

    // Adds a context entry; returns *this so that a catch block can add and rethrow.
    EngineError& With(DBIResult code, std::int32_t native, std::string text);
    EngineError& With(std::string text) { return With(code_, 0, std::move(text)); }

    DBIResult Code() const { return code_; }
    const std::vector<ErrorEntry>& Context() const { return context_; }
    const char* what() const noexcept override;

  private:
    DBIResult code_;
    std::vector<ErrorEntry> context_;
};

// The engine code for a SQLite failure, with SQLite's code and SqliteMessage() as a context
// entry.
EngineError FromSqlite(const sqlitekit::Error& error);

// The engine's words for a SQLite failure: SQLite's message, except for a page of a protected
// table that fails its check, which SQLite calls a mere I/O error.
std::string SqliteMessage(const sqlitekit::Error& error);

// The engine's text for `code`; "" for a code the engine does not know.
const char* ErrorText(DBIResult code);

// Copies `text` into a buffer of DBIMAXMSGLEN + 1 bytes, cut at a character boundary.
void CopyMessage(const std::string& text, char* buffer);

// The context lines that say what a failure concerns, "<label>: <value>". The labels are marked
// for translation with their place marker; the program translates a line through its label.
inline constexpr const char* kTableLine = CLINIC_TEXT("Database", "Table: %s");
inline constexpr const char* kFieldLine = CLINIC_TEXT("Database", "Field: %s");
inline constexpr const char* kIndexLine = CLINIC_TEXT("Database", "Index: %s");
inline constexpr const char* kRecordLine = CLINIC_TEXT("Database", "Record: %s");
inline constexpr const char* kDirectoryLine = CLINIC_TEXT("Database", "Directory: %s");
inline constexpr const char* kVersionLine = CLINIC_TEXT("Database", "Version: %s");
// `line` with its "%s" replaced by `value`.
std::string ContextLine(const char* line, const std::string& value);

// The error stack of the last failed call.
class ErrorStack {
  public:
    static void Clear();
    // Records `error` and answers its code.
    static DBIResult Set(const EngineError& error);
    // Entry `i`, or an entry with DBIERR_NOMORE past the last.
    static ErrorEntry Entry(std::size_t i);
};

}  // namespace dbe
