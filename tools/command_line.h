// What the user asked clinicdb to do, read from its arguments.
//
// Contract: ParseArguments either returns a complete request or throws UsageError with a
// one-line reason; the caller then shows kUsage and exits with status 2. Where a command takes a
// server, an argument that IsConnectionString() (tools/server_target.h) names one; every other
// command refuses such an argument.
#pragma once

#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/dates.h"
#include "tools/demo_generator.h"
#include "tools/recall.h"

namespace clinicdb {

enum class Command {
    kHelp,
    kCreate,
    kDemo,
    kCheck,
    kSummary,
    kRecall,
    kProtect,
    kUnprotect,
    kPassword,
    kBackup,
    kVerify,
    kRestore,
    kDeleted,
    kUndelete,
    kPush,
    kPull,
    kVersion
};

struct Arguments {
    Command command = Command::kHelp;
    std::filesystem::path dir;
    // create, demo, check, summary, recall, deleted, undelete: the server's libpq connection
    // string when one was given in place of DIR (`dir` is then empty); push DIR CONN and pull
    // CONN DIR: CONN.
    std::string server;
    std::string table;    // protect, unprotect, password, undelete: the table's name without ".DB"
    std::int64_t id = 0;  // undelete: the record number
    DemoOptions demo;     // demo.today serves summary and recall: the real local date unless given
    bool repair = false;  // check: build a missing or disagreeing character index anew
    RecallOptions recall;
    // backup DIR DEST: DEST; restore BACKUP DIR: DIR (`dir` is then the backup).
    std::filesystem::path destination;
    int keep = 0;  // backup: the backups to keep under DEST, the new one among them; 0: all
};

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

extern const char* const kUsage;

// `args` without the program's name.
Arguments ParseArguments(std::span<const std::string_view> args);

}  // namespace clinicdb
