#include "tools/clinicdb_app.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>

#include "engine/sqlitekit/sqlite_support.h"
#include "tools/backup.h"
#include "tools/clinic_schema.h"
#include "tools/command_line.h"
#include "tools/database_check.h"
#include "tools/database_summary.h"
#include "tools/deleted_commands.h"
#include "tools/demo_loader.h"
#include "tools/protection_commands.h"
#include "tools/recall.h"
#include "tools/server_check.h"
#include "tools/server_copy.h"
#include "tools/server_demo.h"
#include "tools/server_schema.h"
#include "tools/server_target.h"
#include "tools/tool_error.h"

namespace clinicdb {
namespace {

// What a command answers on the server that CONN names, or on the directory's table files.
template <typename OnServer, typename OnFiles>
auto OnServerOrFiles(const Arguments& a, PasswordSource& passwords, OnServer onServer,
                     OnFiles onFiles) {
    if (!a.server.empty()) {
        pgkit::Connection server = OpenServer(a.server, passwords);
        return onServer(server);
    }
    TableOpener tables(passwords);
    return onFiles(tables);
}

int Create(const Arguments& a, PasswordSource& passwords, std::ostream& out) {
    if (!a.server.empty()) {
        pgkit::Connection server = OpenServer(a.server, passwords);
        CreateServerTables(server, clinic_tables::All());
        out << "created the tables bingren and bingli on the server\n";
        return 0;
    }
    std::filesystem::create_directories(a.dir);
    CreateTableFiles(a.dir, clinic_tables::All());
    out << "created " << TableFile(a.dir, clinic_tables::Patients()).string() << " and "
        << TableFile(a.dir, clinic_tables::Visits()).string() << "\n";
    return 0;
}

DemoResult LoadAnyDemo(const Arguments& a, PasswordSource& passwords) {
    if (a.server.empty()) return LoadDemo(a.dir, a.demo);
    pgkit::Connection server = OpenServer(a.server, passwords);
    return LoadServerDemo(server, a.demo);
}

int Demo(const Arguments& a, PasswordSource& passwords, std::ostream& out) {
    const DemoResult r = LoadAnyDemo(a, passwords);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", r.seconds);
    out << "demo: " << r.patients << " patients, " << r.visits << " visits, " << r.dueTomorrow
        << " due tomorrow (" << dates::FormatStoredDate(a.demo.today + 1) << "), " << seconds
        << " s\n";
    return 0;
}

// Why the check failed, the gravest first.
const char* Failure(const Arguments& a, const CheckReport& report) {
    if (!a.server.empty()) return "the server's tables are not as the engine reads them";
    if (!report.Sound()) return "the database is damaged";
    if (report.refusal) return "a table lacks what the program reads";
    return "a copy of a table is left beside it";
}

CheckReport CheckAny(const Arguments& a, PasswordSource& passwords) {
    return OnServerOrFiles(
        a, passwords, [](pgkit::Connection& server) { return CheckServer(server); },
        [&](TableOpener& tables) { return CheckDatabase(a.dir, tables, a.repair); });
}

int Check(const Arguments& a, PasswordSource& passwords, std::ostream& out, std::ostream& err) {
    const CheckReport report = CheckAny(a, passwords);
    for (const std::string& removed : report.removedCopies) out << removed;
    for (const FileCheck& file : report.files) {
        const bool refused = report.refusal && report.refusal->file == file.file;
        if (file.problems.empty() && !refused) out << file.file << ": ok\n";
        for (const std::string& note : file.notes) out << file.file << ": " << note << "\n";
        for (const std::string& problem : file.problems)
            err << file.file << ": " << problem << "\n";
    }
    if (report.refusal) {
        for (const std::string& line : report.refusal->lines)
            err << report.refusal->file << ": " << line << "\n";
    }
    for (const std::string& kept : report.keptCopies) err << kept << "\n";
    if (!report.Passed()) {
        err << "check failed: " << Failure(a, report) << "\n";
        return 1;
    }
    for (const std::string& cell : report.unreadableCells) {
        out << "warning: " << cell << ", which does not fit its field: the program reads it "
            << "blank\n";
    }
    if (report.orphanCount > 0) {
        out << "warning: " << report.orphanCount << " visits belong to no patient (Id";
        for (std::int64_t id : report.firstOrphans) out << " " << id;
        out << (report.orphanCount > static_cast<std::int64_t>(report.firstOrphans.size())
                    ? " ...)\n"
                    : ")\n");
        for (const auto& patient : report.missingPatients) {
            out << "  patient " << patient.id << " (visits " << patient.visits << "): ";
            if (patient.deleted) {
                out << "can be brought back: clinicdb undelete " << a.dir.string() << " bingren "
                    << patient.id << "\n";
            } else {
                out << "not among the deleted patients\n";
            }
        }
    }
    return 0;
}

Summary ReadAnySummary(const Arguments& a, PasswordSource& passwords) {
    return OnServerOrFiles(
        a, passwords,
        [&](pgkit::Connection& server) { return ReadServerSummary(server, a.demo.today); },
        [&](TableOpener& tables) { return ReadSummary(a.dir, a.demo.today, tables); });
}

int ShowSummary(const Arguments& a, PasswordSource& passwords, std::ostream& out) {
    const Summary s = ReadAnySummary(a, passwords);
    out << "patients: " << s.patients << "\n"
        << "visits: " << s.visits << "\n"
        << "due tomorrow (" << dates::FormatStoredDate(a.demo.today + 1) << "): " << s.dueTomorrow
        << "\n"
        << "first patients (Id, name, sex, age, telephone):\n";
    for (const PatientLine& p : s.firstPatients) {
        out << "  " << p.id << "\t" << p.name << "\t" << p.sex << "\t";
        if (p.age) out << *p.age;
        out << "\t" << p.phone << "\n";
    }
    return 0;
}

int Recall(const Arguments& a, PasswordSource& passwords, std::ostream& out) {
    const std::vector<RecallLine> lines = OnServerOrFiles(
        a, passwords,
        [&](pgkit::Connection& server) {
            return ReadRecallOnServer(server, a.recall, a.demo.today);
        },
        [&](TableOpener& tables) { return ReadRecall(a.dir, a.recall, a.demo.today, tables); });
    if (a.recall.csv.empty()) {
        PrintRecallTable(lines, out);
        return 0;
    }
    WriteRecallCsv(lines, a.recall.csv);
    out << "wrote " << lines.size() << (lines.size() == 1 ? " patient" : " patients") << " to "
        << a.recall.csv.string() << "\n";
    return 0;
}

int ChangeProtection(const Arguments& a, PasswordSource& passwords, std::ostream& out) {
    const auto file = TableFile(a.dir, a.table);
    if (const auto removed = RemoveLeftoverCopy(file)) out << *removed;
    if (a.command == Command::kProtect) {
        ProtectTable(file, passwords);
        out << "protected " << file.string() << "\n";
    } else if (a.command == Command::kUnprotect) {
        UnprotectTable(file, passwords);
        out << "unprotected " << file.string() << "\n";
    } else {
        ChangeTablePassword(file, passwords);
        out << "changed the password of " << file.string() << "\n";
    }
    return 0;
}

void PrintTables(const std::vector<TableCopy>& tables, std::ostream& out) {
    for (const TableCopy& t : tables) {
        out << "  " << t.file << ": " << t.bytes << " bytes, ";
        if (t.rows) {
            out << *t.rows << " rows";
        } else {
            out << "protected";
        }
        out << ", sha256 " << t.sha256 << "\n";
    }
}

// A line that rewrites itself as a long copy goes on, a step a second at most.
CopyProgress ProgressLine(std::ostream& err) {
    constexpr std::uintmax_t kLong = 256 << 20;
    auto last = std::make_shared<std::chrono::steady_clock::time_point>();
    return [&err, last](const std::string& file, std::uintmax_t done, std::uintmax_t total) {
        if (total < kLong) return;
        const auto now = std::chrono::steady_clock::now();
        if (done < total && now - *last < std::chrono::seconds(1)) return;
        *last = now;
        char line[128];
        std::snprintf(line, sizeof line, "\rcopying %s: %.0f of %.0f MB", file.c_str(),
                      static_cast<double>(done) / 1e6, static_cast<double>(total) / 1e6);
        err << line << (done == total ? "\n" : "") << std::flush;
    };
}

int Backup(const Arguments& a, std::ostream& out, std::ostream& err) {
    const BackupDone done = TakeBackup(a.dir, a.destination, a.keep, ProgressLine(err));
    for (const auto& unfinished : done.unfinished)
        out << "removed the unfinished backup " << unfinished.string() << "\n";
    out << "backed up " << a.dir.string() << " into " << done.folder.string() << ", verified:\n";
    PrintTables(done.tables, out);
    for (const auto& removed : done.removed)
        out << "removed the older backup " << removed.string() << "\n";
    return 0;
}

int Verify(const Arguments& a, std::ostream& out) {
    const auto tables = VerifyBackup(a.dir);
    out << a.dir.string() << ": ok\n";
    PrintTables(tables, out);
    return 0;
}

int Restore(const Arguments& a, std::ostream& out) {
    const auto tables = RestoreBackup(a.dir, a.destination);
    out << "restored " << a.destination.string() << " from " << a.dir.string() << ", verified:\n";
    PrintTables(tables, out);
    return 0;
}

int ShowDeleted(const Arguments& a, PasswordSource& passwords, std::ostream& out) {
    const std::vector<DeletedRow> rows = OnServerOrFiles(
        a, passwords, [](pgkit::Connection& server) { return ListDeletedOnServer(server); },
        [&](TableOpener& tables) { return ListDeleted(a.dir, tables); });
    if (rows.empty()) out << "no deleted rows\n";
    for (const DeletedRow& row : rows)
        out << row.deletedAt << "  " << row.table << " " << row.id << "  " << row.what << "\n";
    return 0;
}

int BringBack(const Arguments& a, PasswordSource& passwords, std::ostream& out) {
    out << OnServerOrFiles(
        a, passwords,
        [&](pgkit::Connection& server) { return UndeleteOnServer(server, a.table, a.id); },
        [&](TableOpener& tables) { return Undelete(a.dir, a.table, a.id, tables); });
    return 0;
}

void PrintCopied(const std::vector<CopiedTable>& tables, double seconds, std::ostream& out) {
    for (const CopiedTable& t : tables)
        out << "  " << t.table << ": " << t.digest.rows << " rows, sha256 " << t.digest.sha256
            << "\n";
    char took[32];
    std::snprintf(took, sizeof took, "%.1f", seconds);
    out << "verified: every row alike on both sides, " << took << " s\n";
}

double SecondsSince(std::chrono::steady_clock::time_point started) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

int Push(const Arguments& a, PasswordSource& passwords, std::ostream& out) {
    const auto started = std::chrono::steady_clock::now();
    TableOpener tables(passwords);
    pgkit::Connection server = OpenServer(a.server, passwords);
    const auto copied = PushDirectory(a.dir, tables, server);
    out << "pushed " << a.dir.string() << " onto the server:\n";
    PrintCopied(copied, SecondsSince(started), out);
    return 0;
}

int Pull(const Arguments& a, PasswordSource& passwords, std::ostream& out) {
    const auto started = std::chrono::steady_clock::now();
    pgkit::Connection server = OpenServer(a.server, passwords);
    const auto copied = PullDirectory(server, a.dir);
    out << "pulled the server's tables into " << a.dir.string() << ":\n";
    PrintCopied(copied, SecondsSince(started), out);
    return 0;
}

int Dispatch(const Arguments& a, PasswordSource& passwords, std::ostream& out, std::ostream& err) {
    switch (a.command) {
        case Command::kCreate:
            return Create(a, passwords, out);
        case Command::kDemo:
            return Demo(a, passwords, out);
        case Command::kCheck:
            return Check(a, passwords, out, err);
        case Command::kSummary:
            return ShowSummary(a, passwords, out);
        case Command::kRecall:
            return Recall(a, passwords, out);
        case Command::kProtect:
        case Command::kUnprotect:
        case Command::kPassword:
            return ChangeProtection(a, passwords, out);
        case Command::kBackup:
            return Backup(a, out, err);
        case Command::kVerify:
            return Verify(a, out);
        case Command::kRestore:
            return Restore(a, out);
        case Command::kDeleted:
            return ShowDeleted(a, passwords, out);
        case Command::kUndelete:
            return BringBack(a, passwords, out);
        case Command::kPush:
            return Push(a, passwords, out);
        case Command::kPull:
            return Pull(a, passwords, out);
        case Command::kVersion:
            out << "clinicdb " << CLINIC_VERSION << "\n";
            return 0;
        case Command::kHelp:
            break;
    }
    out << kUsage;
    return 0;
}

}  // namespace

int RunClinicDb(std::span<const std::string_view> args, PasswordSource& passwords,
                std::ostream& out, std::ostream& err) {
    Arguments parsed;
    try {
        parsed = ParseArguments(args);
    } catch (const UsageError& e) {
        err << "clinicdb: " << e.what() << "\n" << kUsage;
        return 2;
    }
    try {
        return Dispatch(parsed, passwords, out, err);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        // Tool errors, SQLite's errors, protection errors and file system errors all carry a
        // readable message.
        err << "clinicdb: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace clinicdb
