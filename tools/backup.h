// Backups of a database directory: both table files copied whole into a new dated folder while
// a program may be reading and posting, checked, made durable, and put back whole.
//
// Contracts:
// - TakeBackup() reads each table file as SQLite's own readers do: it holds a shared lock on the
//   file, taken through the pending byte, while it copies, so no post commits meanwhile and a
//   post is wholly in the copy or wholly not. A post that comes during the copy waits for it
//   (the engine waits two seconds, then reports the table busy; the post can then be made
//   again). A file that a crash left with a journal to roll back is refused: opening it in the
//   program, or `clinicdb check`, rolls the cut-off post back.
// - Files are copied byte for byte: a protected table stays encrypted under its password. The
//   folder is built under a hidden name, every file in it checked against the SHA-256 of the
//   bytes read and made durable, then renamed to clinic-YYYYMMDD-HHMMSS (local time): a folder
//   with that name and a manifest is always a whole backup.
// - One backup at a time writes into a DEST: a second one is refused while the first runs
//   (ToolError). A hidden folder that a killed backup left there is removed by the next one.
// - keep > 0 then removes the oldest backups under DEST beyond `keep`, counting the new one:
//   only folders with a backup's name and manifest, never the one just written.
// - VerifyBackup() reads every file of a backup against its manifest and, for a table in clear,
//   runs SQLite's quick check and counts its rows; RestoreBackup() verifies first.
// - RestoreBackup() takes both tables of DIR exclusively (a running program holds them: the
//   restore is refused, as protect is), refuses a table with a journal to roll back, and for
//   each table writes the backup's file beside it, checks and syncs it, keeps the table as
//   <file>.replaced, renames the new file over it and syncs the directory; the kept copies go
//   once both tables are in place and check. Cut off at any moment, each table file is whole,
//   old or restored; running the restore again finishes it.
// - Every failure throws ToolError (or std::system_error for the file system) with the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace clinicdb {

struct TableCopy {
    std::string file;  // bingren.DB
    std::uintmax_t bytes = 0;
    std::string sha256;  // hex
    bool isProtected = false;
    std::optional<std::int64_t> rows;  // known for a table in clear
};

struct BackupDone {
    std::filesystem::path folder;
    std::vector<TableCopy> tables;
    std::vector<std::filesystem::path> removed;     // by `keep`
    std::vector<std::filesystem::path> unfinished;  // left by a backup that was killed
};

// Called as a file's copy goes on: bytes done of its total.
using CopyProgress =
    std::function<void(const std::string& file, std::uintmax_t done, std::uintmax_t total)>;

BackupDone TakeBackup(const std::filesystem::path& dir, const std::filesystem::path& dest, int keep,
                      const CopyProgress& progress = {});
std::vector<TableCopy> VerifyBackup(const std::filesystem::path& backup);
std::vector<TableCopy> RestoreBackup(const std::filesystem::path& backup,
                                     const std::filesystem::path& dir);

}  // namespace clinicdb
