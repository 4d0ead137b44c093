// The failure classes. Every operation of the system signals failure by throwing one of these;
// each carries one message text, and its class name is part of what the start-up box shows.
// Messages are composed here too, in the program's language: the data layer's texts and the
// engine's are English, and the translator that the program installs at start-up turns them
// into its language as they become messages.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class Exception : public std::runtime_error {
  public:
    // Remembers the code address that raised the failure, for the start-up failure box.
    [[gnu::noinline]] explicit Exception(const std::string& message)
        : std::runtime_error(message),
          raiseAddress_(__builtin_extract_return_addr(__builtin_return_address(0))) {}
    const std::string Message() const { return what(); }
    // The class name as the start-up failure box names it.
    virtual const char* ClassName() const { return "Exception"; }
    const void* RaiseAddress() const { return raiseAddress_; }

  private:
    const void* raiseAddress_;
};

// A refusal of the data layer: record sets, fields, the filter parser.
class EDatabaseError : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "EDatabaseError"; }
};

// One entry of the engine's error stack.
struct TDBError {
    std::uint16_t ErrorCode = 0;
    std::int32_t NativeError = 0;
    std::string Message;  // at most 127 characters
};

// A refusal of the database engine, with the engine's error stack of the failed call.
class EDBEngineError : public EDatabaseError {
  public:
    EDBEngineError(const std::string& message, std::vector<TDBError> errors)
        : EDatabaseError(message), errors_(std::move(errors)) {}
    const char* ClassName() const override { return "EDBEngineError"; }
    // Entry 0 is the failure's own code, with native error 0.
    const std::vector<TDBError>& Errors() const { return errors_; }
    std::uint16_t ErrorCode() const { return errors_.empty() ? 0 : errors_[0].ErrorCode; }

  private:
    std::vector<TDBError> errors_;
};

// A text that does not convert to a date or an integer.
class EConvertError : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "EConvertError"; }
};

// A silent stop: never shown.
class EAbort : public Exception {
  public:
    EAbort() : Exception("Operation aborted") {}
    const char* ClassName() const override { return "EAbort"; }
};

// The context under which the engine's texts and the data layer's messages are marked for
// translation (base/translatable.h).
inline constexpr const char* kMessageContext = "Database";

// Answers the translation of `text`, marked under `context`, or "" when it has none.
using TextTranslator = std::function<std::string(const char* context, const std::string& text)>;

// Installs the program's translator for every message composed from now on; without one (the
// default, and after SetTextTranslator(nullptr)) texts stay as written.
void SetTextTranslator(TextTranslator translator);

// `text` in the program's language: its translation under kMessageContext, or `text` itself,
// byte for byte, when there is none.
std::string TranslatedText(const std::string& text);

// Fills a message template: the template is translated (TranslatedText), then each "%s" takes
// the next argument in turn.
std::string FormatMessage(std::string_view pattern, const std::vector<std::string>& args = {});
