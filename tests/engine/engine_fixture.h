// A started engine with a database on a fresh temporary directory, the clinic's two tables
// made there on demand, and short helpers over the C interface for the tests.
//
// A test written with TEST_P on a fixture of this runs on both storages: the directory's own
// SQLite files, and a server (the throwaway cluster of tests/engine/pg) that the engine's
// configuration gives the directory to, each test in a fresh schema of its own. A test written
// with TEST_F runs on the files only.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/clinic_tables.h"
#include "engine/dbengine.h"
#include "tests/engine/pg/cluster.h"

namespace dbe_test {

// The statements that make a table file as `clinicdb create` makes it: table and indexes.
std::string TableSql(const clinic_tables::Table& table);
inline const std::string kBingrenSql = TableSql(clinic_tables::Patients());
inline const std::string kBingliSql = TableSql(clinic_tables::Visits());

// Field numbers of the two tables.
enum BingrenField : uint16_t { kId = 1, kXm = 2, kXb = 3, kNl = 4, kCzrq = 9, kFzyysj = 10 };
enum BingliField : uint16_t { kBrid = 2, kLzrq = 3, kZhsu = 4, kXbs = 5, kJzys = 10 };

using pgkit_test::Storage;
using pgkit_test::StorageName;

class EngineTest : public ::testing::TestWithParam<Storage> {
  protected:
    void SetUp() override;
    void TearDown() override;

    bool OnServer() const { return server_ != nullptr; }
    // On the server: the test's schema.
    pgkit_test::TestSchema& Server() const { return *server_; }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    // Runs SQL on a file (created if missing) through a connection of the test's own; on the
    // server, on the test's schema, whatever file is named.
    void Exec(const std::string& file, const std::string& sql) const;
    // The stored text of a column of record `id`, read past the engine ("<null>" for null).
    std::string Stored(const std::string& table, const std::string& column, int32_t id) const;
    void MakeBingren() const { MakeTable(clinic_tables::Patients()); }
    void MakeBingli() const { MakeTable(clinic_tables::Visits()); }

    hDBICur Open(const std::string& table, const std::string& index = "", int mode = dbiREADWRITE);
    hDBIRec Alloc(hDBICur cur);

    // Field helpers; failures fail the test.
    std::string Text(hDBICur cur, hDBIRec rec, uint16_t field);
    int32_t Int(hDBICur cur, hDBIRec rec, uint16_t field);
    bool Blank(hDBICur cur, hDBIRec rec, uint16_t field);
    void Put(hDBICur cur, hDBIRec rec, uint16_t field, const std::string& text);
    void PutInt(hDBICur cur, hDBIRec rec, uint16_t field, int32_t value);
    void PutNull(hDBICur cur, hDBIRec rec, uint16_t field);
    // Inserts a record with the given fields set; answers its Id.
    int32_t Insert(hDBICur cur, const std::vector<std::pair<uint16_t, std::string>>& texts,
                   const std::vector<std::pair<uint16_t, int32_t>>& ints = {});

    // Ids read by stepping from the beginning to the end (or back from the end).
    std::vector<int32_t> Ids(hDBICur cur, bool forward = true);

    // Text of error stack entry `i` of the last failed call.
    static std::string Entry(uint16_t i, DBIResult* code = nullptr, int32_t* native = nullptr);
    // All entries' texts, joined, for failure messages and substring checks.
    static std::string Entries();

    std::string dir_;
    hDBIDb db_ = nullptr;

    std::vector<hDBICur> cursors_;
    std::vector<hDBIRec> records_;

  private:
    void MakeTable(const clinic_tables::Table& table) const;

    std::unique_ptr<pgkit_test::TestSchema> server_;
};

// Runs the TEST_P tests of `fixture` on both storages.
#define ON_BOTH_STORAGES(fixture)                                                     \
    INSTANTIATE_TEST_SUITE_P(                                                         \
        Storages, fixture,                                                            \
        ::testing::Values(::dbe_test::Storage::kFiles, ::dbe_test::Storage::kServer), \
        ::dbe_test::StorageName)

}  // namespace dbe_test
