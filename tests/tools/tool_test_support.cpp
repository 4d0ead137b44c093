#include "tests/tools/tool_test_support.h"

#include <stdlib.h>

#include <sstream>
#include <stdexcept>

#include "engine/sqlite_support.h"
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

std::vector<Row> Query(const std::filesystem::path& file, std::string_view sql) {
    const auto db = sqlitekit::Connection::Open(file, SQLITE_OPEN_READONLY);
    sqlitekit::Statement statement(db.Handle(), sql);
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

ToolRun RunTool(const std::vector<std::string>& args) {
    const std::vector<std::string_view> views(args.begin(), args.end());
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunClinicDb(views, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace clinicdb::testing
