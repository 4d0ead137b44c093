// Helpers for the clinicdb tests: a scratch directory, reading tables back through SQLite, files
// as bytes, and passwords as a script gives them.
#pragma once

#include <filesystem>
#include <ios>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tablecrypt/file_cipher.h"
#include "tools/database_check.h"
#include "tools/password_source.h"
#include "tools/table_passwords.h"

namespace clinicdb::testing {

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

using Row = std::vector<std::string>;  // NULL reads as "<null>"

// Every row the query returns, each value as text; a protected file opens with `password`.
std::vector<Row> Query(const std::filesystem::path& file, std::string_view sql,
                       std::optional<std::string_view> password = std::nullopt);

// Runs a statement that changes the file.
void Execute(const std::filesystem::path& file, std::string_view sql);

// Every byte of the file.
std::string ReadBytes(const std::filesystem::path& file);

// Overwrites `bytes` bytes of the file from `offset` with a pattern that no page holds.
void Scribble(const std::filesystem::path& file, std::streamoff offset, std::size_t bytes);

// Runs clinicdb with the arguments, `passwords` as the lines of its standard input; the output
// and errors are kept.
struct ToolRun {
    int status;
    std::string out;
    std::string err;
};
ToolRun RunTool(const std::vector<std::string>& args,
                const std::vector<std::string>& passwords = {});

// The cheapest scrypt cost that a protection header takes: tests protect files quickly with it.
// The commands themselves use the default cost.
inline constexpr tablecrypt::KdfCost kQuickCost{14, 8, 1};

// Gives its passwords one after another and keeps the prompts it was shown.
class ScriptedPasswords final : public PasswordSource {
  public:
    explicit ScriptedPasswords(std::vector<std::string> passwords, bool confirms = false)
        : passwords_(std::move(passwords)), confirms_(confirms) {}
    std::optional<std::string> Next(std::string_view prompt) override;
    bool Confirms() const override { return confirms_; }

    const std::vector<std::string>& Prompts() const { return prompts_; }

  private:
    std::vector<std::string> passwords_;
    bool confirms_;
    std::size_t given_ = 0;
    std::vector<std::string> prompts_;
};

// Gives no password.
class NoPasswords final : public PasswordSource {
  public:
    std::optional<std::string> Next(std::string_view) override { return std::nullopt; }
    bool Confirms() const override { return false; }
};

// Opens plain table files; a protected one finds no password.
class PlainTables {
  public:
    TableOpener& Get() { return tables_; }

  private:
    NoPasswords none_;
    TableOpener tables_{none_};
};

inline CheckReport CheckPlain(const std::filesystem::path& dir) {
    PlainTables plain;
    return CheckDatabase(dir, plain.Get());
}

}  // namespace clinicdb::testing
