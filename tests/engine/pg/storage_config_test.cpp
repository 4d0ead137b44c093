// The engine's configuration of which database directories a PostgreSQL server serves.
#include "engine/pgkit/storage_config.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace dbe {
namespace {

StorageConfig Parse(const std::string& text) {
    std::istringstream stream(text);
    return StorageConfig::Parse(stream, "dbengine.conf");
}

// The numbers of the lines that the error names, in the form dbengine.conf:<n>: ...
std::set<int> RefusedLines(const ConfigError& error) {
    std::set<int> lines;
    std::istringstream text(error.what());
    std::string line;
    while (std::getline(text, line)) {
        EXPECT_TRUE(line.starts_with("dbengine.conf:")) << line;
        lines.insert(std::atoi(line.c_str() + std::string("dbengine.conf:").size()));
    }
    return lines;
}

TEST(StorageConfig, MapsDirectoryNamesToServers) {
    const StorageConfig config = Parse(
        "# The clinic's server\n"
        "DLLPATH=/opt/dbengine/lib\n"
        "\n"
        "SERVER d:\\qorvyna\\bingli = host=db.clinic port=5432 dbname=clinic user=clinic "
        "sslmode=prefer\n"
        "  SERVER  D:/Qorvyna/Chuzhen/  =  postgresql://clinic@db.clinic/chuzhen \r\n");
    const std::string bingli = "host=db.clinic port=5432 dbname=clinic user=clinic sslmode=prefer";
    EXPECT_EQ(config.ServerFor("d:\\qorvyna\\bingli"), bingli);
    EXPECT_EQ(config.ServerFor("D:\\QORVYNA\\BINGLI"), bingli);
    EXPECT_EQ(config.ServerFor("d:/qorvyna/bingli/"), bingli);
    EXPECT_EQ(config.ServerFor("d:\\qorvyna\\chuzhen"), "postgresql://clinic@db.clinic/chuzhen");
    EXPECT_EQ(config.ServerFor("d:\\qorvyna"), std::nullopt);
    EXPECT_EQ(config.ServerFor("d:\\qorvyna\\bingli2"), std::nullopt);
    EXPECT_EQ(config.ServerFor("e:\\qorvyna\\bingli"), std::nullopt);
}

TEST(StorageConfig, RefusesTheFileForEveryBadLineAndRepeatsNoPassword) {
    try {
        Parse(
            "SERVER d:\\a = host=db\n"
            "SERVER d:\\b = host=db password=s3cret\n"
            "SERVER d:\\c = postgresql://clinic:s3cret@db/clinic\n"
            "SERVER d:\\d = postgresql://clinic:s3cret@[::1\n"
            "SERVER d:\\e = host=db nonsense\n"
            "SERVER d:\\f\n"
            "SERVER d:\\g =\n"
            "SERVR d:\\h = host=db\n"
            "SERVER D:/A/ = host=other\n"
            "   # indented comment\n");
        FAIL() << "the file was accepted";
    } catch (const ConfigError& error) {
        EXPECT_EQ(RefusedLines(error), (std::set<int>{2, 3, 4, 5, 6, 7, 8, 9}));
        const std::string text = error.what();
        EXPECT_EQ(text.find("s3cret"), std::string::npos) << text;
        // libpq's own words, where they cannot quote a password.
        EXPECT_NE(text.find("nonsense"), std::string::npos) << text;
        EXPECT_NE(text.find("on line 1"), std::string::npos) << text;
    }
}

TEST(StorageConfig, ReadsTheFileThatTheEnvironmentNames) {
    const std::string path =
        ::testing::TempDir() + "dbengine_" + std::to_string(getpid()) + ".conf";
    setenv("DBENGINE_CONF", path.c_str(), 1);
    EXPECT_EQ(StorageConfig::Load().ServerFor("d:\\qorvyna\\bingli"), std::nullopt);

    std::ofstream(path) << "SERVER d:\\qorvyna\\bingli = host=db.clinic\n";
    EXPECT_EQ(StorageConfig::Load().ServerFor("d:\\qorvyna\\bingli"), "host=db.clinic");

    std::ofstream(path) << "SERVER d:\\qorvyna\\bingli host=db.clinic\n";
    try {
        StorageConfig::Load();
        ADD_FAILURE() << "the file was accepted";
    } catch (const ConfigError& error) {
        EXPECT_TRUE(std::string(error.what()).starts_with(path + ":1: ")) << error.what();
    }
    std::remove(path.c_str());
    unsetenv("DBENGINE_CONF");
}

}  // namespace
}  // namespace dbe
