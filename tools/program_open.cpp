#include "tools/program_open.h"

#include "data/clinic_record_sets.h"

namespace clinicdb {
namespace {

// Hands the passwords to the engine's session, as the program's password prompt does; they
// stay there, as they do in the program.
void AddPasswords(const std::vector<std::string>& passwords) {
    const DbeApi& api = EngineSession::Default().Api();
    for (const std::string& password : passwords) ::Check(api.dbeAddPassword(password.c_str()));
}

// The program's message breaks its lines with CR LF.
std::vector<std::string> Lines(const std::string& message) {
    std::vector<std::string> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = message.find("\r\n", start);
        lines.push_back(message.substr(start, end - start));
        if (end == std::string::npos) return lines;
        start = end + 2;
    }
}

// The file of the first record set, in the order the program opens them, that is not open; the
// name search reads the patients' file.
std::string RefusedFile(const ClinicRecordSets& sets) {
    if (!sets.Tablebingren.Active() || !sets.Queryczxm.Active()) {
        return sets.Tablebingren.TableName();
    }
    return sets.TableBingli.TableName();
}

}  // namespace

std::optional<ProgramRefusal> OpenAsProgram(const std::filesystem::path& dir,
                                            const std::vector<std::string>& passwords) {
    ClinicRecordSets sets;
    // A path, which the record sets never take for an alias.
    const std::string database = std::filesystem::absolute(dir).string();
    sets.Tablebingren.SetDatabaseName(database);
    sets.Queryczxm.SetDatabaseName(database);
    sets.TableBingli.SetDatabaseName(database);
    try {
        AddPasswords(passwords);
        sets.Open();
        return std::nullopt;
    } catch (const Exception& failure) {
        return ProgramRefusal{RefusedFile(sets), Lines(failure.Message())};
    }
}

}  // namespace clinicdb
