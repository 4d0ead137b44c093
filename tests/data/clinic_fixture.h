// A fresh clinic database for each test: empty tables in a temporary engine root, the clinic's
// record sets over them, today fixed and the short date format yyyy-M-d.
//
// A test written with TEST_P runs on both storages (ON_BOTH_STORAGES): the directory's SQLite
// files, and a fresh schema on the test cluster (tests/engine/pg) that the engine's
// configuration gives the clinic's directory name to. TEST_F runs on the files only.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/clinic_record_sets.h"
#include "tests/engine/pg/cluster.h"

class ClinicFixture : public ::testing::TestWithParam<pgkit_test::Storage> {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The directory that the clinic's database name maps to.
    std::filesystem::path DatabaseDir() const { return root_ / "d" / "qorvyna" / "bingli"; }
    // Adds a patient through the record set and posts it; answers his Id.
    int AddPatient(const std::string& name, const std::string& phone = "");
    // Adds a visit to the current patient and posts it.
    void AddVisit(const std::string& complaint);

    std::filesystem::path root_;
    std::unique_ptr<pgkit_test::TestSchema> server_;  // on the server only
    std::unique_ptr<ClinicRecordSets> data_;
};

// Runs the TEST_P tests of `fixture` on both storages.
#define ON_BOTH_STORAGES(fixture)                                                         \
    INSTANTIATE_TEST_SUITE_P(                                                             \
        Storages, fixture,                                                                \
        ::testing::Values(::pgkit_test::Storage::kFiles, ::pgkit_test::Storage::kServer), \
        ::pgkit_test::StorageName)

// What the action throws: its message, or with FailureOf its class and message; "(no error)"
// when it throws nothing.
std::string MessageOf(const std::function<void()>& action);
std::string FailureOf(const std::function<void()>& action);

// Records the events of a record set as a list of names, until it goes.
class EventLog {
  public:
    EventLog() = default;
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;
    ~EventLog();
    void Attach(TDataSet& dataSet);
    std::vector<std::string> Take();

  private:
    // Every notify event of a record set, for attaching and detaching alike.
    static std::vector<std::pair<const char*, TDataSetNotifyEvent TDataSet::*>> Events();

    TDataSet* dataSet_ = nullptr;
    std::vector<std::string> events_;
};

// A view that wants a number of records at hand and records what it is told.
class RecordingLink : public TDataLink {
  public:
    explicit RecordingLink(int rows = 1) : rows_(rows) {}
    int BufferCount() const override { return rows_; }
    void DataEvent(TDataEvent event, TField*, int distance) override;
    std::vector<std::string> events;

  private:
    int rows_;
};
