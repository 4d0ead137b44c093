// Helpers for the clinicdb tests: a scratch directory and reading tables back through SQLite.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace clinicdb::testing {

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

using Row = std::vector<std::string>;  // NULL reads as "<null>"

// Every row the query returns, each value as text.
std::vector<Row> Query(const std::filesystem::path& file, std::string_view sql);

// Runs a statement that changes the file.
void Execute(const std::filesystem::path& file, std::string_view sql);

// Runs clinicdb with the arguments; the output and errors are kept.
struct ToolRun {
    int status;
    std::string out;
    std::string err;
};
ToolRun RunTool(const std::vector<std::string>& args);

}  // namespace clinicdb::testing
