// A program killed at any moment loses no post that returned, and leaves sound files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "data/clinic_record_sets.h"
#include "tests/support/kill_while_posting.h"
#include "tools/clinic_schema.h"
#include "tools/database_check.h"

namespace {

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

TEST(Durability, KilledWhilePostingLosesNothingThatWasPosted) {
    const std::filesystem::path root = std::filesystem::temp_directory_path() /
                                       ("clinic-durability-" + std::to_string(getpid()));
    const std::filesystem::path dir = root / "d" / "qorvyna" / "bingli";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(dir);
    setenv("DBENGINE_ROOT", root.c_str(), 1);
    clinicdb::CreateTableFiles(dir, clinicdb::ClinicTables());

    const std::set<std::int32_t> posted = test_support::KillWhilePosting(5, PostUntilKilled);
    ASSERT_FALSE(posted.empty());

    const clinicdb::CheckReport report = clinicdb::CheckDatabase(dir);
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
    std::filesystem::remove_all(root);
}
