// Files that survive a crash or a power cut whole or not at all. A file's bytes are on disk
// only once its fsync has returned, and a new name only once its directory's has: a file is
// therefore built under another name, made durable, renamed into place, and the directory
// made durable after it. A reader or a crash sees the old file or the new, never half of one.
//
// Contracts:
// - Every function throws std::system_error naming the path that failed.
// - A PendingFile that is destroyed without having been published removes its temporary,
//   file or folder, whatever it holds; one that was published leaves everything in place.
#pragma once

#include <filesystem>

namespace durable {

// Flushes a file or a directory to disk.
void Sync(const std::filesystem::path& path);

enum class Rename { Replace, NoReplace };

// A file or folder built under a temporary name beside its final one.
class PendingFile {
  public:
    // The temporary is `temporary`, or else a hidden name beside `final` private to this
    // process. A temporary left there by an earlier run is removed first.
    explicit PendingFile(std::filesystem::path final, std::filesystem::path temporary = {});
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::filesystem::path& Temporary() const { return temporary_; }
    const std::filesystem::path& Final() const { return final_; }

    // Makes the temporary durable and renames it to the final name, durably. With NoReplace
    // it fails with EEXIST rather than replace what has taken the final name meanwhile.
    void Publish(Rename how);

  private:
    std::filesystem::path final_;
    std::filesystem::path temporary_;
    bool published_ = false;
};

}  // namespace durable
