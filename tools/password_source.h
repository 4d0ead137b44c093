// Where clinicdb's commands get the passwords of protected table files: the terminal, read
// without echo, or the lines of standard input when that is no terminal (a script, a pipe).
//
// Contracts:
// - Next() answers the next password as its bytes were typed, without the end of its line, or
//   nullopt when the input has ended.
// - Confirms() is true when a person types at a terminal: a new password is then asked twice,
//   since nobody sees what was typed. A script gives each password once.
#pragma once

#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace clinicdb {

class PasswordSource {
  public:
    virtual ~PasswordSource() = default;
    virtual std::optional<std::string> Next(std::string_view prompt) = 0;
    virtual bool Confirms() const = 0;
};

// One password a line of `in`, without prompts. A line may end in "\r\n", as a file written
// on Windows does.
class LinePasswords final : public PasswordSource {
  public:
    explicit LinePasswords(std::istream& in) : in_(in) {}
    std::optional<std::string> Next(std::string_view prompt) override;
    bool Confirms() const override { return false; }

  private:
    std::istream& in_;
};

// Reads the terminal `fd` with its echo off; prompts go to `prompts`. The echo comes back after
// each password, also when a signal ends the program while it waits for one.
class TerminalPasswords final : public PasswordSource {
  public:
    TerminalPasswords(int fd, std::ostream& prompts) : fd_(fd), prompts_(prompts) {}
    std::optional<std::string> Next(std::string_view prompt) override;
    bool Confirms() const override { return true; }

  private:
    int fd_;
    std::ostream& prompts_;
};

// The terminal when standard input is one, prompting on `prompts`; else standard input's lines.
std::unique_ptr<PasswordSource> StandardInputPasswords(std::ostream& prompts);

}  // namespace clinicdb
