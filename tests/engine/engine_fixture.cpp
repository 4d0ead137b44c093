#include "tests/engine/engine_fixture.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/sqlitekit/sqlite_support.h"
#include "tests/engine/pg/cluster.h"
#include "tools/server_schema.h"

namespace dbe_test {

void EngineTest::SetUp() {
    char pattern[] = "/tmp/dbengine_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("DBENGINE_ROOT", dir_.c_str(), 1);
    unsetenv("DBENGINE_CONF");
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (test->value_param() != nullptr && GetParam() == Storage::kServer)
        server_ = std::make_unique<pgkit_test::TestSchema>(dir_, Path("dbengine.conf"));
    DBIEnv env{};
    std::strcpy(env.szLang, "0009");
    ASSERT_EQ(dbeInit(DBE_VERSION, &env), DBIERR_NONE);
    ASSERT_EQ(dbeOpenDatabase(nullptr, dbiREADWRITE, dbiOPENSHARED, &db_), DBIERR_NONE);
    ASSERT_EQ(dbeSetDirectory(db_, dir_.c_str()), DBIERR_NONE);
}

void EngineTest::TearDown() {
    for (hDBIRec rec : records_) dbeFreeRecord(rec);
    for (hDBICur cur : cursors_) dbeCloseCursor(cur);
    if (db_ != nullptr) {
        EXPECT_EQ(dbeCloseDatabase(db_), DBIERR_NONE);
    }
    EXPECT_EQ(dbeExit(), DBIERR_NONE) << Entries();
    server_.reset();
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
    std::filesystem::remove_all(dir_);
}

std::string TableSql(const clinic_tables::Table& table) {
    std::string sql = clinic_tables::CreateTableSql(table) + ";";
    for (const clinic_tables::Index& index : table.indexes)
        sql += std::string(index.createSql) + ";";
    return sql;
}

void EngineTest::MakeTable(const clinic_tables::Table& table) const {
    if (!server_) return Exec(std::string(table.name) + ".DB", TableSql(table));
    const clinic_tables::Table* tables[] = {&table};
    clinicdb::CreateServerTables(server_->Session(), tables);
}

std::string EngineTest::Stored(const std::string& table, const std::string& column,
                               int32_t id) const {
    const std::string sql =
        "SELECT coalesce(CAST(" + column + " AS TEXT), '<null>') FROM " + table + " WHERE Id = ";
    if (server_) {
        const pgkit::Result row = server_->Session().Query(sql + "$1", {std::to_string(id)});
        return row.Rows() == 1 ? std::string(row.Text(0, 0)) : "<missing>";
    }
    const auto db = sqlitekit::Connection::Open(Path(table + ".DB"), SQLITE_OPEN_READONLY);
    sqlitekit::Statement select(db.Handle(), sql + "?");
    select.BindInt(1, id);
    return select.Step() ? std::string(select.ColumnText(0)) : "<missing>";
}

void EngineTest::Exec(const std::string& file, const std::string& sql) const {
    if (server_) return server_->Session().Exec(sql);
    const auto connection =
        sqlitekit::Connection::Open(Path(file), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    connection.Exec(sql);
}

hDBICur EngineTest::Open(const std::string& table, const std::string& index, int mode) {
    hDBICur cur = nullptr;
    EXPECT_EQ(dbeOpenTable(db_, table.c_str(), index.c_str(), mode, dbiOPENSHARED, xltFIELD, &cur),
              DBIERR_NONE)
        << Entries();
    if (cur != nullptr) cursors_.push_back(cur);
    return cur;
}

hDBIRec EngineTest::Alloc(hDBICur cur) {
    hDBIRec rec = nullptr;
    EXPECT_EQ(dbeAllocRecord(cur, &rec), DBIERR_NONE);
    records_.push_back(rec);
    return rec;
}

std::string EngineTest::Text(hDBICur cur, hDBIRec rec, uint16_t field) {
    char buffer[512] = {};
    int blank = 0;
    EXPECT_EQ(dbeGetField(cur, field, rec, buffer, sizeof buffer, &blank), DBIERR_NONE)
        << Entries();
    return buffer;
}

int32_t EngineTest::Int(hDBICur cur, hDBIRec rec, uint16_t field) {
    int32_t value = 0;
    int blank = 0;
    EXPECT_EQ(dbeGetField(cur, field, rec, &value, sizeof value, &blank), DBIERR_NONE) << Entries();
    return value;
}

bool EngineTest::Blank(hDBICur cur, hDBIRec rec, uint16_t field) {
    char buffer[512] = {};
    int blank = 0;
    EXPECT_EQ(dbeGetField(cur, field, rec, buffer, sizeof buffer, &blank), DBIERR_NONE);
    return blank != 0;
}

void EngineTest::Put(hDBICur cur, hDBIRec rec, uint16_t field, const std::string& text) {
    EXPECT_EQ(dbePutField(cur, field, rec, text.c_str()), DBIERR_NONE) << Entries();
}

void EngineTest::PutInt(hDBICur cur, hDBIRec rec, uint16_t field, int32_t value) {
    EXPECT_EQ(dbePutField(cur, field, rec, &value), DBIERR_NONE) << Entries();
}

void EngineTest::PutNull(hDBICur cur, hDBIRec rec, uint16_t field) {
    EXPECT_EQ(dbePutField(cur, field, rec, nullptr), DBIERR_NONE) << Entries();
}

int32_t EngineTest::Insert(hDBICur cur, const std::vector<std::pair<uint16_t, std::string>>& texts,
                           const std::vector<std::pair<uint16_t, int32_t>>& ints) {
    hDBIRec rec = Alloc(cur);
    EXPECT_EQ(dbeInitRecord(cur, rec), DBIERR_NONE);
    for (const auto& [field, text] : texts) Put(cur, rec, field, text);
    for (const auto& [field, value] : ints) PutInt(cur, rec, field, value);
    EXPECT_EQ(dbeInsertRecord(cur, dbiNOLOCK, rec), DBIERR_NONE) << Entries();
    return Int(cur, rec, kId);
}

std::vector<int32_t> EngineTest::Ids(hDBICur cur, bool forward) {
    hDBIRec rec = Alloc(cur);
    std::vector<int32_t> ids;
    EXPECT_EQ(forward ? dbeSetToBegin(cur) : dbeSetToEnd(cur), DBIERR_NONE);
    while ((forward ? dbeGetNextRecord(cur, dbiNOLOCK, rec) : dbeGetPriorRecord(cur, rec)) ==
           DBIERR_NONE) {
        ids.push_back(Int(cur, rec, kId));
    }
    return ids;
}

std::string EngineTest::Entry(uint16_t i, DBIResult* code, int32_t* native) {
    char text[DBIMAXMSGLEN + 1] = {};
    DBIResult entryCode = 0;
    int32_t entryNative = 0;
    dbeGetErrorEntry(i, &entryCode, &entryNative, text);
    if (code != nullptr) *code = entryCode;
    if (native != nullptr) *native = entryNative;
    return text;
}

std::string EngineTest::Entries() {
    std::string all;
    DBIResult code = 0;
    for (uint16_t i = 0;; ++i) {
        const std::string text = Entry(i, &code);
        if (code == DBIERR_NOMORE) return all;
        all += text + " | ";
    }
}

}  // namespace dbe_test
