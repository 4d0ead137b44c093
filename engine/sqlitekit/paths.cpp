#include "engine/sqlitekit/paths.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <memory>

namespace dbe {

namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

std::string Root() {
    const std::string home = EnvOr("HOME", "");
    const std::string dataHome = EnvOr("XDG_DATA_HOME", home + "/.local/share");
    return EnvOr("DBENGINE_ROOT", dataHome + "/dbengine");
}

bool HasDriveLetter(const std::string& dir) {
    return dir.size() >= 2 && std::isalpha(static_cast<unsigned char>(dir[0])) && dir[1] == ':';
}

std::string Directory(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

std::string ResolveDirectory(const std::string& dir) {
    if (!HasDriveLetter(dir)) return dir;
    std::string path =
        Root() + '/' + static_cast<char>(std::tolower(static_cast<unsigned char>(dir[0])));
    for (std::size_t i = 2; i < dir.size(); ++i) path += dir[i] == '\\' ? '/' : dir[i];
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    return dir.empty() || dir.back() == '/' ? dir + name : dir + '/' + name;
}

std::optional<std::string> FindTableFile(const std::string& dir, const std::string& name) {
    const std::string exact = JoinPath(dir, name);
    struct stat info {};
    if (stat(exact.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return exact;
    const std::string folder = Directory(exact);
    const std::string base = exact.substr(exact.rfind('/') + 1);
    std::unique_ptr<DIR, DirCloser> listing(opendir(folder.c_str()));
    if (!listing) return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* entry = readdir(listing.get())) {
        const std::string candidate = entry->d_name;
        if (strcasecmp(candidate.c_str(), base.c_str()) == 0 && (!best || candidate < *best)) {
            best = candidate;
        }
    }
    if (!best) return std::nullopt;
    return JoinPath(folder, *best);
}

std::string FileStem(const std::string& path) {
    const std::string name = path.substr(path.rfind('/') + 1);
    return name.substr(0, name.rfind('.'));
}

std::string LockFilePath(const std::string& tablePath) {
    return JoinPath(Directory(tablePath), FileStem(tablePath) + ".LCK");
}

bool CanWrite(const std::string& path) {
    return access(path.c_str(), W_OK) == 0 && access(Directory(path).c_str(), W_OK) == 0;
}

bool TakeAccessOf(int fd, const struct stat& model, mode_t bits) {
    const bool grouped = fchown(fd, model.st_uid, model.st_gid) == 0 ||
                         fchown(fd, static_cast<uid_t>(-1), model.st_gid) == 0;
    const bool moded = fchmod(fd, model.st_mode & bits) == 0;
    return grouped && moded;
}

}  // namespace dbe
