#include "tests/tools/tool_test_support.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "engine/tablecrypt/table_protection.h"
#include "tools/clinicdb_app.h"

namespace clinicdb::testing {

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "clinicdb-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<Row> Query(const std::filesystem::path& file, std::string_view sql,
                       std::optional<std::string_view> password) {
    const tablecrypt::TableConnection db(file, SQLITE_OPEN_READONLY, password);
    sqlitekit::Statement statement(db.Get().Handle(), sql);
    std::vector<Row> rows;
    while (statement.Step()) {
        Row row;
        for (int c = 0; c < sqlite3_column_count(statement.Handle()); ++c)
            row.emplace_back(statement.ColumnIsNull(c) ? "<null>" : statement.ColumnText(c));
        rows.push_back(std::move(row));
    }
    return rows;
}

void Execute(const std::filesystem::path& file, std::string_view sql) {
    sqlitekit::Connection::Open(file, SQLITE_OPEN_READWRITE).Exec(sql);
}

std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Scribble(const std::filesystem::path& file, std::streamoff offset, std::size_t bytes) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(offset);
    f << std::string(bytes, '\xA5');
}

ToolRun RunTool(const std::vector<std::string>& args, const std::vector<std::string>& passwords) {
    const std::vector<std::string_view> views(args.begin(), args.end());
    std::string lines;
    for (const std::string& password : passwords) lines += password + "\n";
    std::istringstream in(lines);
    LinePasswords source(in);
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunClinicDb(views, source, out, err);
    return {status, out.str(), err.str()};
}

std::optional<std::string> ScriptedPasswords::Next(std::string_view prompt) {
    prompts_.emplace_back(prompt);
    if (given_ == passwords_.size()) return std::nullopt;
    return passwords_[given_++];
}

}  // namespace clinicdb::testing
