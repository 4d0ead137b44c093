// Protecting a table file, unprotecting it, and opening it either way (a password change is
// ChangePassword() of protected_file.h); for the tools and the tests (the engine opens its
// tables through KeyRing and TableFile).
//
// Contracts:
// - Protect() and Unprotect() change a file in place safely: its content is copied (VACUUM
//   INTO, which, unlike the backup interface, gives the copy the room that the page checks
//   need) into a new file beside it, the copy is checked and made durable, then renamed over
//   the old file; a crash at any moment leaves the old file or the new one, whole. A leftover
//   copy of an earlier crash is removed first. Both take the table exclusively (table_use.h):
//   they throw dbe::TableInUse while a program has it open, and no program opens it meanwhile.
// - The new file has the old one's permission bits, group and (where permitted: root) owner
//   from the moment it is made, before any content reaches it.
// - A password that is not the file's throws WrongPassword and changes nothing.
// - A protected table's pages are kBlockSize bytes; Protect() converts any other page size.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/sqlitekit/sqlite_support.h"
#include "engine/tablecrypt/protected_vfs.h"

namespace tablecrypt {

class WrongPassword : public std::runtime_error {
  public:
    WrongPassword() : std::runtime_error("The password does not open the table file") {}
};

// A connection to a table file, plain or protected, holding the grant a protected one needs.
class TableConnection {
  public:
    // `password` is used only when the file is protected; none then throws WrongPassword.
    TableConnection(const std::string& path, int flags, std::optional<std::string_view> password);
    ~TableConnection();
    TableConnection(TableConnection&&) = delete;

    const sqlitekit::Connection& Get() const { return connection_; }
    bool Protected() const { return grant_ != nullptr; }
    // A URI that opens this file from another connection (ATTACH, VACUUM INTO) while this
    // one lives; such a connection needs SQLITE_OPEN_URI.
    std::string Uri() const;

  private:
    std::string path_;
    std::unique_ptr<KeyGrant> grant_;
    sqlitekit::Connection connection_;
};

// The URI of `path`, through the protected VFS when `protectedFile`, else the default VFS.
std::string UriOf(const std::string& path, bool protectedFile);

void Protect(const std::string& path, std::string_view password, const KdfCost& cost = {});
void Unprotect(const std::string& path, std::string_view password);

// The copy that Protect() and Unprotect() build beside the table file `path`.
std::string CopyPath(const std::string& path);

// Removes the copy that an interrupted Protect() or Unprotect() left beside the table file
// `path`, and answers whether there was one: a copy in clear must not outlive the operation
// that made it. The copy of one that is running is left alone: it holds the table exclusively,
// so this throws dbe::TableInUse. Throws std::system_error when the copy cannot be removed, or
// the table cannot be claimed to tell.
bool RemoveLeftoverCopy(const std::string& path);

}  // namespace tablecrypt
