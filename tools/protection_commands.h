// The protect, unprotect and password commands: a table file encrypted under a password, made
// plain again, or given another password.
//
// Contracts:
// - Each throws ToolError, and changes nothing, when the file is missing, is already in the
//   state asked for, has a damaged protection header, or the password is refused or wrong.
// - Protect and unprotect replace the file whole (tablecrypt::Protect, Unprotect): a crash
//   leaves the old file or the new one, and a copy left by an earlier crash is replaced. They
//   refuse a table that a running program has open. A password change rewrites the header only.
// - `cost` is scrypt's cost for the new password; the commands use the default.
// - The clinicdb commands that protect, unprotect, change a password or check call
//   RemoveLeftoverCopy on each table first and print what it answers.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "engine/tablecrypt/file_cipher.h"
#include "tools/password_source.h"

namespace clinicdb {

void ProtectTable(const std::filesystem::path& file, PasswordSource& passwords,
                  const tablecrypt::KdfCost& cost = {});
void UnprotectTable(const std::filesystem::path& file, PasswordSource& passwords);
void ChangeTablePassword(const std::filesystem::path& file, PasswordSource& passwords,
                         const tablecrypt::KdfCost& cost = {});

// Removes the copy that an interrupted protect or unprotect left beside `file`, which may be a
// whole copy in clear; answers the line that tells the user so, or nullopt when there was none.
// Throws as tablecrypt::RemoveLeftoverCopy does.
std::optional<std::string> RemoveLeftoverCopy(const std::filesystem::path& file);

}  // namespace clinicdb
