#include "tools/table_passwords.h"

#include <optional>

#include "base/gbk_text.h"
#include "engine/dbengine.h"
#include "tools/tool_error.h"

namespace clinicdb {

std::string AskPassword(PasswordSource& source, std::string_view prompt) {
    const std::optional<std::string> typed = source.Next(prompt);
    if (!typed) throw ToolError("no password given");
    if (typed->empty()) throw ToolError("an empty password is refused");
    // The engine takes a password as a C string: a NUL would cut it short there.
    if (typed->find('\0') != std::string::npos)
        throw ToolError("a password cannot hold a NUL byte");
    std::string password = gbk::Encode(*typed);
    if (password.size() > DBIMAXPASSWORDLEN)
        throw ToolError("the password is longer than " + std::to_string(DBIMAXPASSWORDLEN) +
                        " bytes");
    return password;
}

std::string AskNewPassword(PasswordSource& source) {
    std::string password = AskPassword(source, "New password: ");
    if (source.Confirms() && AskPassword(source, "Repeat the new password: ") != password)
        throw ToolError("the two passwords differ");
    return password;
}

tablecrypt::TableConnection TableOpener::Open(const std::filesystem::path& file, int flags) {
    try {
        if (!tablecrypt::IsProtected(file))
            return tablecrypt::TableConnection(file, flags, std::nullopt);
        for (const std::string& known : passwords_) {
            try {
                return tablecrypt::TableConnection(file, flags, known);
            } catch (const tablecrypt::WrongPassword&) {
            }
        }
        const std::string prompt =
            passwords_.empty() ? "Password: " : "Password for " + file.filename().string() + ": ";
        passwords_.push_back(AskPassword(source_, prompt));
        return tablecrypt::TableConnection(file, flags, passwords_.back());
    } catch (const tablecrypt::WrongPassword&) {
        throw ToolError("the password does not open " + file.string());
    } catch (const tablecrypt::DamagedHeader& e) {
        throw tablecrypt::DamagedHeader(file.string() + ": " + e.what());
    }
}

}  // namespace clinicdb
