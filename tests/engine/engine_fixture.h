// A started engine with a database on a fresh temporary directory, the clinic's two table
// files made there on demand, and short helpers over the C interface for the tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/clinic_tables.h"
#include "engine/dbengine.h"

namespace dbe_test {

// The statements that make a table file as `clinicdb create` makes it: table and indexes.
std::string TableSql(const clinic_tables::Table& table);
inline const std::string kBingrenSql = TableSql(clinic_tables::Patients());
inline const std::string kBingliSql = TableSql(clinic_tables::Visits());

// Field numbers of the two tables.
enum BingrenField : uint16_t { kId = 1, kXm = 2, kXb = 3, kNl = 4, kCzrq = 9, kFzyysj = 10 };
enum BingliField : uint16_t { kBrid = 2, kLzrq = 3, kZhsu = 4, kXbs = 5, kJzys = 10 };

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    // Runs SQL on a file (created if missing) through a connection of the test's own.
    void Exec(const std::string& file, const std::string& sql) const;
    void MakeBingren() const { Exec("bingren.DB", kBingrenSql); }
    void MakeBingli() const { Exec("bingli.DB", kBingliSql); }

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
};

}  // namespace dbe_test
