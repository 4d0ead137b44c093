#include "tools/server_target.h"

#include "tools/tool_error.h"

namespace clinicdb {

namespace {

constexpr int kPasswordTries = 3;

// The options that `conninfo` gives; refuses a string that cannot be used as it is.
pgkit::ConninfoOptions ParseConninfo(const std::string& conninfo) {
    char* message = nullptr;
    pgkit::ConninfoOptions options(PQconninfoParse(conninfo.c_str(), &message));
    if (!options) {
        // libpq's message may quote the string, and with it a password.
        PQfreemem(message);
        throw ToolError("the connection string is not valid");
    }
    if (!pgkit::OptionValue(options, "password").empty())
        throw ToolError(
            "the connection string holds a password; leave it out: clinicdb asks for it");
    return options;
}

std::string Prompt(const pgkit::ConninfoOptions& options) {
    const std::string user = pgkit::OptionValue(options, "user");
    return user.empty() ? "Server password: " : "Server password for " + user + ": ";
}

pgkit::Connection Login(const std::string& conninfo, PasswordSource& passwords) {
    const pgkit::ConninfoOptions options = ParseConninfo(conninfo);
    try {
        return pgkit::Connection::Open(conninfo);
    } catch (const pgkit::Error& e) {
        if (e.Kind() != pgkit::Failure::PasswordNeeded) throw;
    }
    const int tries = passwords.Confirms() ? kPasswordTries : 1;
    for (int attempt = 1;; ++attempt) {
        const std::optional<std::string> password =
            passwords.Next((attempt == 1 ? "" : "The server refused it. ") + Prompt(options));
        if (!password || password->empty()) throw ToolError("the server wants a password");
        try {
            return pgkit::Connection::Open(conninfo, *password);
        } catch (const pgkit::Error& e) {
            if (e.Kind() != pgkit::Failure::InvalidPassword || attempt == tries) throw;
        }
    }
}

}  // namespace

bool IsConnectionString(std::string_view argument) {
    return argument.find('=') != std::string_view::npos || argument.starts_with("postgresql://") ||
           argument.starts_with("postgres://");
}

pgkit::Connection OpenServer(const std::string& conninfo, PasswordSource& passwords) {
    pgkit::Connection connection = Login(conninfo, passwords);
    connection.Exec("SET datestyle = 'ISO, YMD'");
    return connection;
}

}  // namespace clinicdb
