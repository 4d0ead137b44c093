// The passwords of protected table files as clinicdb takes them, and opening a directory's
// table files whether they are protected or plain.
//
// A password is typed in UTF-8 and handed to the table files in GBK, the program's code page,
// as the program's password dialog hands it to the engine: one typed password opens a table in
// both. A character outside GBK goes as its GB18030 bytes there and here alike.
//
// Contracts:
// - AskPassword and AskNewPassword answer the password's GBK bytes, or throw ToolError when the
//   input has ended, the password is empty, holds a NUL byte or is longer than the engine takes,
//   or (new ones asked twice) the two differ.
// - TableOpener tries the passwords it was given on every protected file it opens, and asks for
//   another only when none of them opens the file, naming the file after the first; plain files
//   need none.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tablecrypt/table_protection.h"
#include "tools/password_source.h"

namespace clinicdb {

std::string AskPassword(PasswordSource& source, std::string_view prompt);
std::string AskNewPassword(PasswordSource& source);

class TableOpener {
  public:
    explicit TableOpener(PasswordSource& source) : source_(source) {}

    // `flags` as for sqlite3_open_v2. Throws ToolError when the password does not open the
    // file, tablecrypt::DamagedHeader (naming the file) for a damaged protection header,
    // sqlitekit::Error when SQLite cannot open it.
    tablecrypt::TableConnection Open(const std::filesystem::path& file, int flags);

    // Every password given so far (GBK bytes), in the order given.
    const std::vector<std::string>& Passwords() const { return passwords_; }

  private:
    PasswordSource& source_;
    std::vector<std::string> passwords_;
};

}  // namespace clinicdb
