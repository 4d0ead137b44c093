#include "tools/command_line.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <set>
#include <string>

#include "tools/server_target.h"

namespace clinicdb {

const char* const kUsage =
    "usage: clinicdb create DIR|CONN\n"
    "       clinicdb demo DIR|CONN --patients N [--today YYYY-MM-DD] [--seed S]\n"
    "       clinicdb check DIR [--repair]\n"
    "       clinicdb check CONN\n"
    "       clinicdb summary DIR|CONN [--today YYYY-MM-DD]\n"
    "       clinicdb recall DIR|CONN --from YYYY-MM-DD --to YYYY-MM-DD "
    "[--not-reminded] [--csv FILE]\n"
    "       clinicdb recall DIR|CONN --overdue [--today YYYY-MM-DD] "
    "[--not-reminded] [--csv FILE]\n"
    "       clinicdb protect DIR TABLE\n"
    "       clinicdb unprotect DIR TABLE\n"
    "       clinicdb password DIR TABLE\n"
    "       clinicdb backup DIR DEST [--keep N]\n"
    "       clinicdb verify BACKUP\n"
    "       clinicdb restore BACKUP DIR\n"
    "       clinicdb deleted DIR|CONN\n"
    "       clinicdb undelete DIR|CONN TABLE ID\n"
    "       clinicdb push DIR CONN\n"
    "       clinicdb pull CONN DIR\n"
    "       clinicdb --version\n"
    "\n"
    "  create     make empty bingren.DB and bingli.DB in DIR (refuses existing files)\n"
    "  demo       fill DIR with N generated patients and their visits (empty tables only)\n"
    "  check      check both files' integrity and report visits that belong to no patient;\n"
    "             --repair builds the name search's character index anew where it is missing\n"
    "             or disagrees with its table\n"
    "  summary    count patients, visits and tomorrow's follow-ups; list the first patients\n"
    "  recall     list the patients whose follow-up falls from --from to --to, or has passed\n"
    "             with no visit since (--overdue), with their last visit and their answer;\n"
    "             --not-reminded leaves out those reminded already, --csv writes FILE instead\n"
    "  protect    encrypt TABLE's file (bingren or bingren.DB) under a new password\n"
    "  unprotect  make TABLE's protected file plain again\n"
    "  password   change the password of TABLE's protected file\n"
    "  backup     copy both tables, while the program may be posting, into a new dated folder\n"
    "             under DEST, checked and synced (protected tables stay encrypted); --keep N\n"
    "             then removes the oldest backups there beyond N\n"
    "  verify     check a backup's files against its manifest, without restoring it\n"
    "  restore    put a verified backup back into DIR (refused while a program has it open)\n"
    "  deleted    list the deleted patients and visits, newest first\n"
    "  undelete   bring the deleted row ID of TABLE back under its old record number\n"
    "  push       copy DIR's tables onto an empty server in one transaction, and verify them\n"
    "  pull       copy a server's tables into new table files in DIR, and verify them\n"
    "\n"
    "CONN is a PostgreSQL connection string (host=... port=5432 dbname=clinic user=clinic, or\n"
    "postgresql://...) without a password; clinicdb asks for the password when the server\n"
    "wants one. On a server, check compares the tables with the layout that the engine reads.\n"
    "\n"
    "Passwords are read from the terminal without echo, or one a line from standard input;\n"
    "check, summary and recall ask for one when a table is protected and use it for every\n"
    "table.\n";

namespace {

constexpr std::int64_t kMaxPatients = 100'000'000;

struct CommandName {
    std::string_view name;
    Command command;
};
constexpr CommandName kCommands[] = {
    {"create", Command::kCreate},     {"demo", Command::kDemo},
    {"check", Command::kCheck},       {"summary", Command::kSummary},
    {"protect", Command::kProtect},   {"unprotect", Command::kUnprotect},
    {"password", Command::kPassword}, {"backup", Command::kBackup},
    {"verify", Command::kVerify},     {"restore", Command::kRestore},
    {"recall", Command::kRecall},     {"deleted", Command::kDeleted},
    {"undelete", Command::kUndelete}, {"push", Command::kPush},
    {"pull", Command::kPull}};

template <typename Number>
Number ParseNumber(std::string_view option, std::string_view text, Number low, Number high) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        throw UsageError(std::string(option) + " wants a number, not '" + std::string(text) + "'");
    return value;
}

Command ParseCommand(std::string_view name) {
    for (const CommandName& c : kCommands)
        if (c.name == name) return c.command;
    throw UsageError("unknown command '" + std::string(name) + "'");
}

bool TakesTable(Command command) {
    return command == Command::kProtect || command == Command::kUnprotect ||
           command == Command::kPassword;
}

// A table's name as its file's stem: "bingren" or "bingren.DB", never a path.
std::string ParseTable(std::string_view typed) {
    constexpr std::string_view kSuffix = ".db";
    const auto sameLetter = [](char suffix, char c) {
        return std::tolower(static_cast<unsigned char>(c)) == suffix;
    };
    std::string_view name = typed;
    if (name.size() > kSuffix.size() &&
        std::equal(kSuffix.begin(), kSuffix.end(), name.end() - kSuffix.size(), sameLetter))
        name.remove_suffix(kSuffix.size());
    if (name.empty() || name.front() == '.' || name.find('/') != std::string_view::npos)
        throw UsageError("TABLE wants a table's name such as bingren, not '" + std::string(typed) +
                         "'");
    return std::string(name);
}

// The options that take no value.
bool ParseFlag(std::string_view option, Arguments& parsed) {
    const bool recall = parsed.command == Command::kRecall;
    if (option == "--repair" && parsed.command == Command::kCheck) {
        parsed.repair = true;
    } else if (option == "--overdue" && recall) {
        parsed.recall.overdue = true;
    } else if (option == "--not-reminded" && recall) {
        parsed.recall.notReminded = true;
    } else {
        return false;
    }
    return true;
}

Day ParseDay(std::string_view option, std::string_view value) {
    const auto day = dates::ParseStoredDate(value);
    if (!day)
        throw UsageError(std::string(option) + " wants a date YYYY-MM-DD, not '" +
                         std::string(value) + "'");
    return *day;
}

void ParseValue(std::string_view option, std::string_view value, Arguments& parsed) {
    const bool demo = parsed.command == Command::kDemo;
    const bool recall = parsed.command == Command::kRecall;
    if (option == "--today" && (demo || recall || parsed.command == Command::kSummary)) {
        parsed.demo.today = ParseDay(option, value);
    } else if (option == "--patients" && demo) {
        parsed.demo.patients = ParseNumber<std::int64_t>(option, value, 1, kMaxPatients);
    } else if (option == "--keep" && parsed.command == Command::kBackup) {
        parsed.keep = ParseNumber<int>(option, value, 1, 100'000);
    } else if (option == "--seed" && demo) {
        parsed.demo.seed = ParseNumber<std::uint64_t>(option, value, 0, UINT64_MAX);
    } else if (option == "--from" && recall) {
        parsed.recall.from = ParseDay(option, value);
    } else if (option == "--to" && recall) {
        parsed.recall.to = ParseDay(option, value);
    } else if (option == "--csv" && recall) {
        if (value.empty()) throw UsageError("--csv wants a file name");
        parsed.recall.csv = std::filesystem::path(value);
    } else {
        throw UsageError("unexpected '" + std::string(option) + "'");
    }
}

// Reads the options after DIR and answers which were given.
std::set<std::string_view> ParseOptions(std::span<const std::string_view> options,
                                        Arguments& parsed) {
    std::set<std::string_view> given;
    for (std::size_t i = 0; i < options.size(); ++i) {
        const std::string_view option = options[i];
        given.insert(option);
        if (ParseFlag(option, parsed)) continue;
        if (i + 1 == options.size()) throw UsageError(std::string(option) + " wants a value");
        ParseValue(option, options[++i], parsed);
    }
    return given;
}

// Recall lists either a span of follow-up days or the overdue ones.
void RequireRecallSpan(const std::set<std::string_view>& given, const RecallOptions& recall) {
    const bool from = given.contains("--from"), to = given.contains("--to");
    if (recall.overdue && (from || to)) throw UsageError("--overdue takes no --from nor --to");
    if (!recall.overdue && !(from && to))
        throw UsageError("recall wants --from DATE and --to DATE, or --overdue");
    if (recall.from > recall.to)
        throw UsageError("--from " + dates::FormatStoredDate(recall.from) + " is after --to " +
                         dates::FormatStoredDate(recall.to));
}

UsageError NoServer(std::string_view command) {
    return UsageError(std::string(command) + " works on a directory, not on a server");
}

bool TakesServer(Command command) {
    return command == Command::kCreate || command == Command::kDemo || command == Command::kCheck ||
           command == Command::kSummary || command == Command::kRecall ||
           command == Command::kDeleted || command == Command::kUndelete;
}

// push DIR CONN and pull CONN DIR.
void ParseCopy(std::span<const std::string_view> args, Arguments& parsed) {
    if (args.size() != 3)
        throw UsageError(args.size() < 3 ? "push wants DIR CONN, pull CONN DIR"
                                         : "too many arguments");
    const bool push = parsed.command == Command::kPush;
    const std::string_view dir = push ? args[1] : args[2];
    const std::string_view server = push ? args[2] : args[1];
    if (!IsConnectionString(server))
        throw UsageError("'" + std::string(server) + "' is no connection string");
    if (dir.empty() || IsConnectionString(dir))
        throw UsageError(std::string(args[0]) + " wants a directory beside CONN");
    parsed.dir = std::filesystem::path(dir);
    parsed.server = std::string(server);
}

void RequireOptions(const std::set<std::string_view>& given, const Arguments& parsed) {
    if (parsed.repair && !parsed.server.empty())
        throw UsageError("--repair works on a directory, not on a server");
    if (parsed.command == Command::kDemo && !given.contains("--patients"))
        throw UsageError("demo wants --patients N");
    if (parsed.command == Command::kRecall) RequireRecallSpan(given, parsed.recall);
}

}  // namespace

Arguments ParseArguments(std::span<const std::string_view> args) {
    Arguments parsed;
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) return parsed;
    if (args.size() == 1 && args[0] == "--version") {
        parsed.command = Command::kVersion;
        return parsed;
    }
    if (args.size() < 2) throw UsageError(args.empty() ? "no command" : "no directory");
    parsed.command = ParseCommand(args[0]);
    if (args[1].empty()) throw UsageError("empty directory name");
    parsed.demo.today = dates::Today();
    if (parsed.command == Command::kPush || parsed.command == Command::kPull) {
        ParseCopy(args, parsed);
        return parsed;
    }
    if (IsConnectionString(args[1])) {
        if (!TakesServer(parsed.command)) throw NoServer(args[0]);
        parsed.server = std::string(args[1]);
    } else {
        parsed.dir = std::filesystem::path(args[1]);
    }
    if (TakesTable(parsed.command)) {
        if (args.size() != 3) throw UsageError(args.size() < 3 ? "no table" : "too many arguments");
        parsed.table = ParseTable(args[2]);
        return parsed;
    }
    if (parsed.command == Command::kUndelete) {
        if (args.size() != 4)
            throw UsageError(args.size() < 4 ? "undelete wants TABLE and ID"
                                             : "too many arguments");
        parsed.table = ParseTable(args[2]);
        parsed.id = ParseNumber<std::int64_t>("ID", args[3], 1, INT64_MAX);
        return parsed;
    }
    const bool twoPaths = parsed.command == Command::kBackup || parsed.command == Command::kRestore;
    if (twoPaths) {
        if (args.size() < 3 || args[2].empty())
            throw UsageError(parsed.command == Command::kBackup ? "no destination"
                                                                : "no directory");
        if (IsConnectionString(args[2])) throw NoServer(args[0]);
        parsed.destination = std::filesystem::path(args[2]);
    }
    RequireOptions(ParseOptions(args.subspan(twoPaths ? 3 : 2), parsed), parsed);
    return parsed;
}

}  // namespace clinicdb
