#include "base/durable_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

namespace durable {
namespace {

[[noreturn]] void Fail(int error, const std::filesystem::path& path) {
    throw std::system_error(error, std::generic_category(), path.string());
}

std::filesystem::path HiddenBeside(const std::filesystem::path& file) {
    std::string name = ".";
    name += file.filename().string();
    name += '.';
    name += std::to_string(::getpid());
    name += ".tmp";
    return file.parent_path() / name;
}

std::filesystem::path DirectoryOf(const std::filesystem::path& path) {
    const std::filesystem::path dir = path.parent_path();
    return dir.empty() ? "." : dir;
}

}  // namespace

void Sync(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail(errno, path);
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    if (error != 0) Fail(error, path);
}

PendingFile::PendingFile(std::filesystem::path final, std::filesystem::path temporary)
    : final_(std::move(final)),
      temporary_(temporary.empty() ? HiddenBeside(final_) : std::move(temporary)) {
    std::filesystem::remove_all(temporary_);
}

PendingFile::~PendingFile() {
    std::error_code ignored;
    if (!published_) std::filesystem::remove_all(temporary_, ignored);
}

void PendingFile::Publish(Rename how) {
    Sync(temporary_);
    const unsigned flags = how == Rename::NoReplace ? RENAME_NOREPLACE : 0;
    if (::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, final_.c_str(), flags) != 0)
        Fail(errno, final_);
    published_ = true;
    Sync(DirectoryOf(final_));
}

}  // namespace durable
