#include "tools/protection_commands.h"

#include "engine/sqlitekit/table_use.h"
#include "engine/tablecrypt/table_protection.h"
#include "tools/table_passwords.h"
#include "tools/tool_error.h"

namespace clinicdb {
namespace {

using std::filesystem::path;

// Refuses, before any password is asked, a file that is missing or not in the state `wanted`.
void RequireProtected(const path& file, bool wanted) {
    if (!std::filesystem::exists(file)) throw ToolError("no table file " + file.string());
    if (tablecrypt::IsProtected(file) == wanted) return;
    throw ToolError(file.string() + (wanted ? " is not protected" : " is protected already") +
                    "; nothing was changed");
}

// Runs a change of the file, giving the library's refusals the tool's words.
template <typename Change>
void ChangeFile(const path& file, Change change) {
    try {
        change();
    } catch (const tablecrypt::WrongPassword&) {
        throw ToolError("wrong password for " + file.string() + "; nothing was changed");
    } catch (const tablecrypt::DamagedHeader&) {
        throw ToolError(file.string() + " has a damaged protection header; nothing was changed");
    } catch (const dbe::TableInUse&) {
        throw ToolError(file.string() + " is open in a running program; nothing was changed");
    } catch (const sqlitekit::Error& e) {
        throw ToolError(file.string() + ": " + e.what());
    }
}

}  // namespace

void ProtectTable(const path& file, PasswordSource& passwords, const tablecrypt::KdfCost& cost) {
    RequireProtected(file, false);
    const std::string password = AskNewPassword(passwords);
    ChangeFile(file, [&] { tablecrypt::Protect(file, password, cost); });
}

void UnprotectTable(const path& file, PasswordSource& passwords) {
    RequireProtected(file, true);
    ChangeFile(file, [&] {
        // A damaged header is reported before a password is asked for in vain.
        tablecrypt::ReadTableHeader(file);
        tablecrypt::Unprotect(file, AskPassword(passwords, "Password: "));
    });
}

std::optional<std::string> RemoveLeftoverCopy(const path& file) {
    if (!tablecrypt::RemoveLeftoverCopy(file)) return std::nullopt;
    return "removed " + tablecrypt::CopyPath(file) +
           ", left by an interrupted protect or unprotect\n";
}

void ChangeTablePassword(const path& file, PasswordSource& passwords,
                         const tablecrypt::KdfCost& cost) {
    RequireProtected(file, true);
    ChangeFile(file, [&] {
        const tablecrypt::TableHeader header = tablecrypt::ReadTableHeader(file);
        // The old password is tried before the new one is asked for.
        const auto unlocked = tablecrypt::Unlock(header, AskPassword(passwords, "Old password: "));
        if (!unlocked) throw tablecrypt::WrongPassword();
        const std::string password = AskNewPassword(passwords);
        // A running program would be asked for the new password at its next open of the table.
        const dbe::TableUse use(file, dbe::TableUse::Kind::Exclusive);
        tablecrypt::ChangePassword(file, *unlocked, password, cost);
    });
}

}  // namespace clinicdb
