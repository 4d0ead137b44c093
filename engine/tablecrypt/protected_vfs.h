// The SQLite VFS through which protected table files are opened. It wraps the system's
// default VFS and encrypts every block that goes to a protected table, its rollback journal,
// its WAL and its temporary files (file_cipher.h, protected_file.h).
//
// Contracts:
// - A connection reaches a protected table only while a KeyGrant for that file lives (and
//   must not outlive it): its journal and WAL use the same grant. A grant names the file by
//   its device and inode, so it holds through renames and whatever path SQLite uses.
// - Only protected tables open through it: a plain file, or one without a grant, fails with
//   SQLITE_CANTOPEN.
// - Database pages are kBlockSize bytes with at least kPageCheckSize reserved bytes: a write
//   of page 1 that says otherwise fails, so that no page is written without its check.
// - A page that does not decrypt to what was written answers SQLITE_IOERR_DATA. So does a
//   block of a journal or temporary file that fails its check, and opening one whose header is
//   damaged or of the version before those checks: a rollback from a damaged journal fails,
//   and fails again at every opening (SQLite keeps the journal), instead of putting back
//   other pages.
// - What the checks cannot tell. They bind a page to its number, its file's nonce and its
//   content, not to a version: an older copy of a page put back in its own place in the same
//   file, or the whole file replaced by an older copy of itself, reads as the rows it held
//   then. In a journal, likewise, an older copy of a block, of its checks or of the size
//   passes when put back in the same journal (each journal file has a nonce of its own), and a
//   block whose checks are zeros reads as never written. A hot journal deleted, cut short or
//   erased loses its rollback, as beside any SQLite database. A power failure (not a killed
//   process) before a journal was first made durable can leave one whose checks reached the
//   disk without its blocks: it reads as damaged, though the table was not changed yet.
// - To keep SQLite's crash recovery sound over blocks that are rewritten whole, the files
//   claim no atomic or power-safe writes and a 4096-byte sector; memory mapping is refused.
#pragma once

#include <sys/types.h>

#include <string>

#include "engine/tablecrypt/protected_file.h"

namespace tablecrypt {

// Registers the VFS on first use; answers its name for sqlite3_open_v2.
const char* ProtectedVfs();

class KeyGrant {
  public:
    // Throws std::system_error when `path` does not exist.
    KeyGrant(const std::string& path, const UnlockedFile& unlocked);
    ~KeyGrant();
    KeyGrant(const KeyGrant&) = delete;
    KeyGrant& operator=(const KeyGrant&) = delete;

    struct FileId {
        dev_t device;
        ino_t inode;
        auto operator<=>(const FileId&) const = default;
    };

  private:
    FileId id_;
    UnlockedFile unlocked_;
};

}  // namespace tablecrypt
