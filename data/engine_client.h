// The program's side of the database engine: finding and loading the engine library, starting
// and ending its session, and turning the engine's result codes into EDBEngineError.
//
// The engine is started by the first record set that opens and ended when the session object
// goes (at the end of the program). The entry points sit in one table (DbeApi); a test may
// replace single entries to make the engine fail on purpose.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/exceptions.h"
#include "engine/dbengine.h"

// The engine's entry points, resolved from the loaded library.
struct DbeApi {
#define DBE_ENTRY(name) decltype(&::name) name = nullptr;
#include "data/engine_entries.inc"
#undef DBE_ENTRY
};

// Where the engine library is looked for, in order: the program's own directory, the
// directories of the engine's configured library path (DLLPATH in /etc/dbengine.conf), then
// the system's library search. Never the current working directory: a library planted there
// would run inside the program. A relative DLLPATH entry is left out, and named on standard
// error.
std::vector<std::string> EngineLibraryCandidates();

// The directories of the DLLPATH lines (separated by ';') of the engine's configuration, read
// from `config`: the absolute ones only, since a relative one would be looked up from the
// working directory. Each entry left out is named on `warnings`.
std::vector<std::string> ConfiguredLibraryPath(std::istream& config, std::ostream& warnings);

class EngineSession {
  public:
    // The default session, started on first use. Throws EDBEngineError when the engine cannot
    // be loaded or started.
    static EngineSession& Default();
    ~EngineSession();
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;

    // Whether the default session has started (and so holds the engine).
    static bool Active();

    const DbeApi& Api() const { return api_; }
    // For tests that inject failures: entries may be replaced and must be restored.
    DbeApi& MutableApi() { return api_; }

    // The engine's database for a database name: a directory path, shared by every record set
    // on it and closed when the last of them lets it go.
    hDBIDb AcquireDatabase(const std::string& databaseName);
    void ReleaseDatabase(hDBIDb db);

    // Loads the engine from the candidates and starts it; for the default session, and for
    // tests of the start failures.
    static std::unique_ptr<EngineSession> Start(const std::vector<std::string>& candidates);

  private:
    EngineSession() = default;
    void* library_ = nullptr;
    DbeApi api_;
    struct Database {
        hDBIDb handle;
        int users;
    };
    std::map<std::string, Database> databases_;
};

// Raises EDBEngineError for a result other than 0.
void Check(DBIResult result);

// The engine failure for a result code: its message composed from the engine's texts and error
// stack, or, when the engine has not started, the engine-start message; the message is in the
// program's language (TranslatedText), while Errors() keeps the engine's texts as it gave them.
EDBEngineError EngineError(DBIResult code);
