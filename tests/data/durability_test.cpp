// A program killed at any moment loses no post that returned, and leaves sound files, plain or
// protected.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "data/clinic_record_sets.h"
#include "data/session.h"
#include "engine/tablecrypt/protected_file.h"
#include "engine/tablecrypt/table_protection.h"
#include "tests/support/kill_while_posting.h"
#include "tools/clinic_schema.h"
#include "tools/database_check.h"
#include "tools/password_source.h"

namespace {

constexpr tablecrypt::KdfCost kTestCost{14, 8, 1};
const std::string kPassword = "durable";

// Posts a patient and a visit over and over, reporting each patient's Id once his post has
// returned; never returns.
[[noreturn]] void PostUntilKilled(int report) {
    ClinicRecordSets data;
    data.Open();
    for (int i = 0;; ++i) {
        data.Tablebingren.Append();
        data.TablebingrenXm->SetAsString("病人" + std::to_string(i % 100));
        data.Tablebingren.Post();
        data.TableBingli.Append();
        data.TableBingliZhsu->SetAsString("牙痛");
        data.TableBingli.Post();
        const std::int32_t id = data.TablebingrenId->AsInteger();
        if (write(report, &id, sizeof id) != sizeof id) _exit(3);
    }
}

}  // namespace

class Durability : public ::testing::TestWithParam<bool> {
  protected:
    bool Protected() const { return GetParam(); }
};

TEST_P(Durability, KilledWhilePostingLosesNothingThatWasPosted) {
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("clinic-durability-" + std::to_string(getpid()));
    const std::filesystem::path dir = root / "d" / "qorvyna" / "bingli";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(dir);
    setenv("DBENGINE_ROOT", root.c_str(), 1);
    clinicdb::CreateTableFiles(dir, clinic_tables::All());
    if (Protected()) {
        for (const char* table : {"bingren.DB", "bingli.DB"})
            tablecrypt::Protect((dir / table).string(), kPassword, kTestCost);
        Session().AddPassword(kPassword);
    }

    const std::set<std::int32_t> posted = test_support::KillWhilePosting(5, PostUntilKilled);
    ASSERT_FALSE(posted.empty());

    std::istringstream typed(kPassword + "\n");
    clinicdb::LinePasswords passwords(typed);
    clinicdb::TableOpener tables(passwords);
    for (const char* table : {"bingren.DB", "bingli.DB"})
        EXPECT_EQ(tablecrypt::IsProtected(dir / table), Protected()) << table;
    const clinicdb::CheckReport report = clinicdb::CheckDatabase(dir, tables);
    for (const auto& file : report.files) {
        for (const auto& problem : file.problems) ADD_FAILURE() << file.file << ": " << problem;
    }
    std::set<std::int32_t> stored;
    {
        ClinicRecordSets data;
        data.Open();
        for (data.Tablebingren.First(); !data.Tablebingren.Eof(); data.Tablebingren.Next()) {
            stored.insert(data.TablebingrenId->AsInteger());
        }
    }
    for (std::int32_t id : posted) EXPECT_TRUE(stored.count(id)) << "patient " << id << " was lost";
    Session().RemoveAllPasswords();
    std::filesystem::remove_all(root);
}

INSTANTIATE_TEST_SUITE_P(PlainAndProtected, Durability, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Protected" : "Plain"; });
