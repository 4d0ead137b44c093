// A program killed at any moment loses no post that returned, and leaves sound files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

#include "data/clinic_record_sets.h"
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

    std::set<std::int32_t> posted;
    for (int round = 0; round < 5; ++round) {
        int pipeEnds[2];
        ASSERT_EQ(pipe(pipeEnds), 0);
        const pid_t child = fork();
        if (child == 0) {
            close(pipeEnds[0]);
            PostUntilKilled(pipeEnds[1]);
        }
        close(pipeEnds[1]);
        // Let the child post a few times however busy the machine is, then kill it mid-stream.
        std::int32_t id = 0;
        for (int seen = 0; seen < 3 && read(pipeEnds[0], &id, sizeof id) == sizeof id; ++seen) {
            posted.insert(id);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(7 * round));
        kill(child, SIGKILL);
        while (read(pipeEnds[0], &id, sizeof id) == sizeof id) posted.insert(id);
        close(pipeEnds[0]);
        waitpid(child, nullptr, 0);
    }
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
