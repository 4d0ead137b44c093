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
#pragma once

#include <filesystem>

#include "engine/file_cipher.h"
#include "tools/password_source.h"

namespace clinicdb {

void ProtectTable(const std::filesystem::path& file, PasswordSource& passwords,
                  const tablecrypt::KdfCost& cost = {});
void UnprotectTable(const std::filesystem::path& file, PasswordSource& passwords);
void ChangeTablePassword(const std::filesystem::path& file, PasswordSource& passwords,
                         const tablecrypt::KdfCost& cost = {});

}  // namespace clinicdb
