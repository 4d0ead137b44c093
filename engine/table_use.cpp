#include "engine/table_use.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "engine/paths.h"

namespace dbe {

TableUse::TableUse(const std::string& tablePath, Kind kind) {
    const std::string lockPath = LockFilePath(tablePath);
    fd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        if (kind == Kind::Shared) return;
        throw std::system_error(errno, std::generic_category(), lockPath);
    }
    struct flock request {};
    request.l_type = kind == Kind::Shared ? F_RDLCK : F_WRLCK;
    request.l_whence = SEEK_SET;
    request.l_start = 0;
    request.l_len = 1;
    if (fcntl(fd_, F_OFD_SETLK, &request) == 0) return;
    const int error = errno;
    close(fd_);
    if (error == EAGAIN || error == EACCES) {
        throw TableInUse(kind == Kind::Shared
                             ? "The table file is being protected or unprotected: " + tablePath
                             : "The table is open in a running program: " + tablePath);
    }
    throw std::system_error(error, std::generic_category(), lockPath);
}

TableUse::~TableUse() {
    if (fd_ >= 0) close(fd_);
}

}  // namespace dbe
