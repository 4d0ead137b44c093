#include "data/engine_client.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "data/messages.h"

namespace {

constexpr const char* kLibraryName = "libdbengine.so";
constexpr const char* kConfigFile = "/etc/dbengine.conf";

std::unique_ptr<EngineSession>& DefaultInstance() {
    static std::unique_ptr<EngineSession> instance;
    return instance;
}

std::string Hex4(DBIResult code) {
    char text[16];
    std::snprintf(text, sizeof text, "%.4X", static_cast<unsigned>(code));
    return text;
}

std::string Trimmed(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
    return text.substr(begin, end - begin);
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// A line of the engine's in the program's language: one of its texts, or a context line
// "<label>: <value>" (engine/errors.h) through its label's text "<label>: %s". A line that is
// neither (a file name, the storage's own words) stays as given.
std::string TranslatedLine(const std::string& line) {
    const std::string whole = TranslatedText(line);
    if (whole != line) return whole;
    const std::size_t colon = line.find(": ");
    if (colon == std::string::npos) return line;
    const std::string label = line.substr(0, colon + 2) + "%s";
    if (TranslatedText(label) == label) return line;
    return FormatMessage(label, {line.substr(colon + 2)});
}

// The lines of an engine failure message: trimmed, in the program's language, without empties
// or repeats.
class MessageLines {
  public:
    void Add(const std::string& text) {
        const std::string line = TranslatedLine(Trimmed(text));
        if (line.empty()) return;
        for (const std::string& held : lines_) {
            if (SameIgnoringCase(held, line)) return;
        }
        lines_.push_back(line);
    }
    bool Empty() const { return lines_.empty(); }
    std::string Joined() const {
        std::string out;
        for (const std::string& line : lines_) {
            if (!out.empty()) out += "\r\n";
            out += line;
        }
        return out;
    }

  private:
    std::vector<std::string> lines_;
};

std::string CodeText(const DbeApi& api, DBIResult code) {
    char text[DBIMAXMSGLEN + 1] = {};
    if (api.dbeGetErrorString(code, text) != DBIERR_NONE) return {};
    return text;
}

EDBEngineError ComposedError(const DbeApi& api, DBIResult code) {
    constexpr DBIResult kGeneralQueryError = 0x2EC4;
    std::vector<TDBError> stack{{code, 0, CodeText(api, code)}};
    MessageLines lines;
    if (code != kGeneralQueryError) lines.Add(stack[0].Message);
    for (std::uint16_t i = 1;; ++i) {
        DBIResult entry = 0;
        std::int32_t native = 0;
        char text[DBIMAXMSGLEN + 1] = {};
        if (api.dbeGetErrorEntry(i, &entry, &native, text) != DBIERR_NONE) break;
        if (entry == DBIERR_NONE || entry == DBIERR_NOMORE) break;
        stack.push_back({entry, native, text});
        if (native == 0 && code != kGeneralQueryError) lines.Add(CodeText(api, entry));
        lines.Add(text);
    }
    const std::string message =
        lines.Empty() ? FormatMessage(msg::EngineError, {Hex4(code)}) : lines.Joined();
    return EDBEngineError(message, std::move(stack));
}

EDBEngineError StartError(DBIResult code) {
    const std::string message = FormatMessage(msg::EngineStart, {Hex4(code)});
    return EDBEngineError(message, {{code, 0, message}});
}

EDBEngineError ErrorFor(const DbeApi* api, DBIResult code) {
    constexpr DBIResult kEnvironmentError = 0x2F01;
    if (api && (EngineSession::Active() || code == kEnvironmentError)) {
        return ComposedError(*api, code);
    }
    return StartError(code);
}

std::string ProgramDirectory() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    std::string exe(path, static_cast<std::size_t>(n));
    return exe.substr(0, exe.rfind('/'));
}

DBIResult LoadFailureCode(const std::string& reason) {
    if (reason.find("No such file") != std::string::npos) return DBIERR_NOTFOUND_FILE;
    if (reason.find("Cannot allocate memory") != std::string::npos) return DBIERR_NOMEMORY;
    return DBIERR_LOADFAIL;
}

// Opens the first candidate that exists; a bare name goes to the system's library search.
void* LoadLibrary(const std::vector<std::string>& candidates) {
    for (const std::string& candidate : candidates) {
        const bool isPath = candidate.find('/') != std::string::npos;
        if (isPath && access(candidate.c_str(), F_OK) != 0) continue;
        if (void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return library;
        const char* reason = dlerror();
        const DBIResult code = LoadFailureCode(reason ? reason : "");
        if (isPath || code != DBIERR_NOTFOUND_FILE) throw StartError(code);
    }
    throw StartError(DBIERR_NOTFOUND_FILE);
}

struct LibraryCloser {
    void operator()(void* library) const { dlclose(library); }
};

}  // namespace

std::vector<std::string> ConfiguredLibraryPath(std::istream& config, std::ostream& warnings) {
    std::vector<std::string> dirs;
    std::string line;
    while (std::getline(config, line)) {
        if (line.rfind("DLLPATH=", 0) != 0) continue;
        std::stringstream list(line.substr(8));
        std::string dir;
        while (std::getline(list, dir, ';')) {
            if (dir.empty()) continue;
            if (dir[0] == '/') {
                dirs.push_back(dir);
            } else {
                warnings << kConfigFile << ": the relative DLLPATH entry '" << dir
                         << "' is ignored: the engine is loaded from absolute directories only\n";
            }
        }
    }
    return dirs;
}

std::vector<std::string> EngineLibraryCandidates() {
    std::vector<std::string> candidates;
    const std::string own = ProgramDirectory();
    if (!own.empty()) candidates.push_back(own + "/" + kLibraryName);
    std::ifstream config(kConfigFile);
    for (const std::string& dir : ConfiguredLibraryPath(config, std::cerr)) {
        candidates.push_back(dir + "/" + kLibraryName);
    }
    candidates.push_back(kLibraryName);
    return candidates;
}

std::unique_ptr<EngineSession> EngineSession::Start(const std::vector<std::string>& candidates) {
    std::unique_ptr<void, LibraryCloser> library(LoadLibrary(candidates));
    DbeApi api;
#define DBE_ENTRY(name)                                                           \
    api.name = reinterpret_cast<decltype(api.name)>(dlsym(library.get(), #name)); \
    if (!api.name) throw StartError(DBIERR_NOMORE);
#include "data/engine_entries.inc"
#undef DBE_ENTRY
    DBIEnv env{};
    std::strcpy(env.szLang, "0009");
    const DBIResult started = api.dbeInit(DBE_VERSION, &env);
    if (started != DBIERR_NONE && started != DBIERR_ALREADYINIT) {
        throw ErrorFor(&api, started);
    }
    // The session owns the library only once the engine has started.
    std::unique_ptr<EngineSession> session(new EngineSession);
    session->api_ = api;
    session->library_ = library.release();
    return session;
}

EngineSession& EngineSession::Default() {
    std::unique_ptr<EngineSession>& instance = DefaultInstance();
    if (!instance) instance = Start(EngineLibraryCandidates());
    return *instance;
}

bool EngineSession::Active() {
    return DefaultInstance() != nullptr;
}

EngineSession::~EngineSession() {
    for (auto& [name, database] : databases_) api_.dbeCloseDatabase(database.handle);
    api_.dbeExit();
    dlclose(library_);
}

hDBIDb EngineSession::AcquireDatabase(const std::string& databaseName) {
    auto found = databases_.find(databaseName);
    if (found != databases_.end()) {
        ++found->second.users;
        return found->second.handle;
    }
    const bool isPath = databaseName.find_first_of(":\\/") != std::string::npos;
    hDBIDb db = nullptr;
    Check(
        api_.dbeOpenDatabase(isPath ? "" : databaseName.c_str(), dbiREADWRITE, dbiOPENSHARED, &db));
    if (isPath) {
        const DBIResult result = api_.dbeSetDirectory(db, databaseName.c_str());
        if (result != DBIERR_NONE) {
            EDBEngineError error = EngineError(result);
            api_.dbeCloseDatabase(db);
            throw error;
        }
    }
    databases_.emplace(databaseName, Database{db, 1});
    return db;
}

void EngineSession::ReleaseDatabase(hDBIDb db) {
    for (auto it = databases_.begin(); it != databases_.end(); ++it) {
        if (it->second.handle != db) continue;
        if (--it->second.users == 0) {
            api_.dbeCloseDatabase(db);
            databases_.erase(it);
        }
        return;
    }
}

EDBEngineError EngineError(DBIResult code) {
    const std::unique_ptr<EngineSession>& session = DefaultInstance();
    return ErrorFor(session ? &session->Api() : nullptr, code);
}

void Check(DBIResult result) {
    if (result != DBIERR_NONE) throw EngineError(result);
}
