#include "engine/tablecrypt/table_protection.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/durable_files.h"
#include "engine/sqlitekit/paths.h"
#include "engine/sqlitekit/table_use.h"

namespace tablecrypt {

namespace {

std::unique_ptr<KeyGrant> GrantIfProtected(const std::string& path,
                                           std::optional<std::string_view> password) {
    if (!IsProtected(path)) return nullptr;
    if (!password) throw WrongPassword();
    const std::optional<UnlockedFile> unlocked = Unlock(path, *password);
    if (!unlocked) throw WrongPassword();
    return std::make_unique<KeyGrant>(path, *unlocked);
}

// The copy that Protect() and Unprotect() build beside a table file: removed on the way in
// (a leftover of a crash) and on the way out unless it replaced the table.
class Copy {
  public:
    explicit Copy(const std::string& table)
        : table_(table), path_(CopyPath(table)), pending_(table, path_) {}

    const std::string& Path() const { return path_; }

    // Creates the copy empty, for Fill().
    void CreateEmpty() const {
        const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) throw std::system_error(errno, std::generic_category(), path_);
        ::close(fd);
        TakeTablesAccess();
    }

    // Gives the copy, still without content, the table's owner, group and permission bits.
    void TakeTablesAccess() const {
        struct stat table {};
        const int fd = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        const bool taken =
            fd >= 0 && ::stat(table_.c_str(), &table) == 0 && dbe::TakeAccessOf(fd, table, 07777);
        const int error = errno;
        if (fd >= 0) ::close(fd);
        if (!taken) {
            throw std::system_error(error, std::generic_category(),
                                    "The new file cannot be given the access of " + table_);
        }
    }

    // Fills the copy from `source`; `target` is the copy's URI.
    void Fill(const TableConnection& source, const std::string& target) const {
        sqlitekit::Statement vacuum(source.Get().Handle(), "VACUUM INTO ?1");
        vacuum.BindText(1, target);
        vacuum.Step();
    }

    // Checks the copy, makes it durable and renames it over the table.
    void Replace(std::optional<std::string_view> password) {
        {
            const TableConnection copy(path_, SQLITE_OPEN_READONLY, password);
            sqlitekit::Statement check(copy.Get().Handle(), "PRAGMA integrity_check");
            check.Step();
            if (check.ColumnText(0) != "ok") {
                throw std::runtime_error("The new copy of the table failed its check: " +
                                         std::string(check.ColumnText(0)));
            }
        }
        pending_.Publish(durable::Rename::Replace);
    }

  private:
    std::string table_;
    std::string path_;
    durable::PendingFile pending_;
};

}  // namespace

TableConnection::TableConnection(const std::string& path, int flags,
                                 std::optional<std::string_view> password)
    : path_(path),
      grant_(GrantIfProtected(path, password)),
      connection_(sqlitekit::Connection::Open(path, flags | SQLITE_OPEN_URI,
                                              grant_ ? ProtectedVfs() : nullptr)) {}

TableConnection::~TableConnection() = default;

std::string TableConnection::Uri() const {
    return UriOf(path_, Protected());
}

std::string UriOf(const std::string& path, bool protectedFile) {
    std::string uri = "file:";
    for (const unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            uri += escaped;
        }
    }
    // Named either way: a file attached to a connection would otherwise open through that
    // connection's VFS.
    return uri + "?vfs=" + (protectedFile ? ProtectedVfs() : sqlite3_vfs_find(nullptr)->zName);
}

void Protect(const std::string& path, std::string_view password, const KdfCost& cost) {
    if (IsProtected(path)) throw std::runtime_error("The table file is protected already");
    const dbe::TableUse use(path, dbe::TableUse::Kind::Exclusive);
    // Read-write, so that a journal left by a crash is rolled back before copying.
    const TableConnection source(path, SQLITE_OPEN_READWRITE, std::nullopt);
    // The page size first: setting it resets the reserve that the page checks need.
    source.Get().Exec("PRAGMA page_size=" + std::to_string(kBlockSize));
    int reserve = kPageCheckSize;
    sqlite3_file_control(source.Get().Handle(), "main", SQLITE_FCNTL_RESERVE_BYTES, &reserve);
    Copy copy(path);
    {
        const KeyGrant grant(copy.Path(), CreateProtected(copy.Path(), password, cost));
        copy.TakeTablesAccess();
        copy.Fill(source, UriOf(copy.Path(), true));
    }
    copy.Replace(password);
}

void Unprotect(const std::string& path, std::string_view password) {
    if (!IsProtected(path)) throw std::runtime_error("The table file is not protected");
    const dbe::TableUse use(path, dbe::TableUse::Kind::Exclusive);
    const TableConnection source(path, SQLITE_OPEN_READWRITE, password);
    Copy copy(path);
    copy.CreateEmpty();
    copy.Fill(source, UriOf(copy.Path(), false));
    copy.Replace(std::nullopt);
}

std::string CopyPath(const std::string& path) {
    return path + ".copy";
}

bool RemoveLeftoverCopy(const std::string& path) {
    const std::string copy = CopyPath(path);
    if (!std::filesystem::exists(std::filesystem::symlink_status(copy))) return false;
    const dbe::TableUse use(path, dbe::TableUse::Kind::Shared);
    if (!use.Holds()) {
        throw std::system_error(std::make_error_code(std::errc::permission_denied),
                                "The table cannot be claimed: " + dbe::LockFilePath(path));
    }
    std::filesystem::remove(copy);
    return true;
}

}  // namespace tablecrypt
