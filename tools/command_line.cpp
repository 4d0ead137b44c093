#include "tools/command_line.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <string>

namespace clinicdb {

const char* const kUsage =
    "usage: clinicdb create DIR\n"
    "       clinicdb demo DIR --patients N [--today YYYY-MM-DD] [--seed S]\n"
    "       clinicdb check DIR [--repair]\n"
    "       clinicdb summary DIR [--today YYYY-MM-DD]\n"
    "       clinicdb protect DIR TABLE\n"
    "       clinicdb unprotect DIR TABLE\n"
    "       clinicdb password DIR TABLE\n"
    "       clinicdb backup DIR DEST [--keep N]\n"
    "       clinicdb verify BACKUP\n"
    "       clinicdb restore BACKUP DIR\n"
    "\n"
    "  create     make empty bingren.DB and bingli.DB in DIR (refuses existing files)\n"
    "  demo       fill DIR with N generated patients and their visits (empty tables only)\n"
    "  check      check both files' integrity and report visits that belong to no patient;\n"
    "             --repair builds the name search's character index anew where it is missing\n"
    "             or disagrees with its table\n"
    "  summary    count patients, visits and tomorrow's follow-ups; list the first patients\n"
    "  protect    encrypt TABLE's file (bingren or bingren.DB) under a new password\n"
    "  unprotect  make TABLE's protected file plain again\n"
    "  password   change the password of TABLE's protected file\n"
    "  backup     copy both tables, while the program may be posting, into a new dated folder\n"
    "             under DEST, checked and synced (protected tables stay encrypted); --keep N\n"
    "             then removes the oldest backups there beyond N\n"
    "  verify     check a backup's files against its manifest, without restoring it\n"
    "  restore    put a verified backup back into DIR (refused while a program has it open)\n"
    "\n"
    "Passwords are read from the terminal without echo, or one a line from standard input;\n"
    "check and summary ask for one when a table is protected and use it for every table.\n";

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
    {"verify", Command::kVerify},     {"restore", Command::kRestore}};

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

// Reads the options after DIR; each but --repair takes one value.
void ParseOptions(std::span<const std::string_view> options, Arguments& parsed) {
    bool havePatients = false;
    for (std::size_t i = 0; i < options.size(); ++i) {
        const std::string_view option = options[i];
        if (option == "--repair" && parsed.command == Command::kCheck) {
            parsed.repair = true;
            continue;
        }
        if (i + 1 == options.size()) throw UsageError(std::string(option) + " wants a value");
        const std::string_view value = options[++i];
        const bool demo = parsed.command == Command::kDemo;
        if (option == "--today" && (demo || parsed.command == Command::kSummary)) {
            const auto day = dates::ParseStoredDate(value);
            if (!day)
                throw UsageError("--today wants a date YYYY-MM-DD, not '" + std::string(value) +
                                 "'");
            parsed.demo.today = *day;
        } else if (option == "--patients" && demo) {
            parsed.demo.patients = ParseNumber<std::int64_t>(option, value, 1, kMaxPatients);
            havePatients = true;
        } else if (option == "--keep" && parsed.command == Command::kBackup) {
            parsed.keep = ParseNumber<int>(option, value, 1, 100'000);
        } else if (option == "--seed" && demo) {
            parsed.demo.seed = ParseNumber<std::uint64_t>(option, value, 0, UINT64_MAX);
        } else {
            throw UsageError("unexpected '" + std::string(option) + "'");
        }
    }
    if (parsed.command == Command::kDemo && !havePatients)
        throw UsageError("demo wants --patients N");
}

}  // namespace

Arguments ParseArguments(std::span<const std::string_view> args) {
    Arguments parsed;
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) return parsed;
    if (args.size() < 2) throw UsageError(args.empty() ? "no command" : "no directory");
    parsed.command = ParseCommand(args[0]);
    if (args[1].empty()) throw UsageError("empty directory name");
    parsed.dir = std::filesystem::path(args[1]);
    parsed.demo.today = dates::Today();
    if (TakesTable(parsed.command)) {
        if (args.size() != 3) throw UsageError(args.size() < 3 ? "no table" : "too many arguments");
        parsed.table = ParseTable(args[2]);
        return parsed;
    }
    const bool twoPaths = parsed.command == Command::kBackup || parsed.command == Command::kRestore;
    if (twoPaths) {
        if (args.size() < 3 || args[2].empty())
            throw UsageError(parsed.command == Command::kBackup ? "no destination"
                                                                : "no directory");
        parsed.destination = std::filesystem::path(args[2]);
    }
    ParseOptions(args.subspan(twoPaths ? 3 : 2), parsed);
    return parsed;
}

}  // namespace clinicdb
