#include "engine/pgkit/storage_config.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "engine/pgkit/pg_connection.h"

namespace dbe {

namespace {

constexpr const char* kDefaultPath = "/etc/dbengine.conf";
constexpr std::string_view kServerKeyword = "SERVER";

std::string ConfigPath() {
    const char* path = std::getenv("DBENGINE_CONF");
    return path != nullptr && *path != '\0' ? path : kDefaultPath;
}

std::string Trimmed(std::string_view text) {
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return std::string(text);
}

// Only ASCII letters change: bytes of UTF-8 characters stay as they are, whatever the locale.
std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

std::string DirectoryKey(std::string_view directory) {
    std::string key = AsciiLower(directory);
    std::replace(key.begin(), key.end(), '\\', '/');
    while (key.size() > 1 && key.back() == '/') key.pop_back();
    return key;
}

// A string that libpq cannot parse may still hold a password (as `password=...`, or in a URI's
// `user:password@`), and libpq's message may quote any of it.
bool MayHoldPassword(const std::string& conninfo) {
    return AsciiLower(conninfo).find("password") != std::string::npos ||
           conninfo.find('@') != std::string::npos;
}

// What is wrong with a connection string; "" when nothing is.
std::string ConninfoProblem(const std::string& conninfo) {
    char* message = nullptr;
    const pgkit::ConninfoOptions options(PQconninfoParse(conninfo.c_str(), &message));
    if (!options) {
        const std::string text = pgkit::MessageText(message);
        PQfreemem(message);
        if (MayHoldPassword(conninfo)) return "the connection string is not valid";
        return "the connection string is not valid: " + text;
    }
    if (!pgkit::OptionValue(options, "password").empty()) {
        return "the connection string holds a password; leave it out: the engine asks the user "
               "for it";
    }
    return "";
}

}  // namespace

StorageConfig StorageConfig::Load() {
    const std::string path = ConfigPath();
    if (access(path.c_str(), F_OK) != 0 && errno == ENOENT) return {};
    std::ifstream file(path);
    if (!file) throw ConfigError(path + ": cannot be read");
    return Parse(file, path);
}

StorageConfig StorageConfig::Parse(std::istream& text, const std::string& fileName) {
    StorageConfig config;
    std::string errors;
    std::string line;
    for (int number = 1; std::getline(text, line); ++number) {
        const std::string error = config.ReadLine(line, number);
        if (!error.empty()) errors += fileName + ":" + std::to_string(number) + ": " + error + "\n";
    }
    if (!errors.empty()) throw ConfigError(errors.substr(0, errors.size() - 1));
    return config;
}

std::string StorageConfig::ReadLine(const std::string& line, int number) {
    const std::string text = Trimmed(line);
    if (text.empty() || text.front() == '#' || text.starts_with("DLLPATH=")) return "";
    const bool server = text.starts_with(kServerKeyword) && text.size() > kServerKeyword.size() &&
                        std::isspace(static_cast<unsigned char>(text[kServerKeyword.size()]));
    if (!server) return "neither a SERVER nor a DLLPATH line";
    return ReadServer(text.substr(kServerKeyword.size()), number);
}

std::string StorageConfig::ReadServer(const std::string& entry, int number) {
    const std::size_t equals = entry.find('=');
    const std::string directory = Trimmed(std::string_view(entry).substr(0, equals));
    const std::string conninfo =
        equals == std::string::npos ? "" : Trimmed(std::string_view(entry).substr(equals + 1));
    if (directory.empty() || conninfo.empty()) {
        return "expected SERVER <directory> = <connection string>";
    }
    if (std::string problem = ConninfoProblem(conninfo); !problem.empty()) return problem;
    const auto [known, added] = servers_.try_emplace(DirectoryKey(directory), conninfo, number);
    if (!added) {
        return directory + " has a server already, on line " + std::to_string(known->second.line);
    }
    return "";
}

std::optional<std::string> StorageConfig::ServerFor(const std::string& directory) const {
    const auto found = servers_.find(DirectoryKey(directory));
    if (found == servers_.end()) return std::nullopt;
    return found->second.conninfo;
}

}  // namespace dbe
