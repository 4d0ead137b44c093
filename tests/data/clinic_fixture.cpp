#include "clinic_fixture.h"

#include <cstdlib>

#include "base/dates.h"
#include "base/short_date_format.h"
#include "tools/clinic_schema.h"
#include "tools/server_schema.h"

void ClinicFixture::SetUp() {
    root_ = std::filesystem::temp_directory_path() /
            ("clinic-test-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(DatabaseDir());
    setenv("DBENGINE_ROOT", root_.c_str(), 1);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (test->value_param() != nullptr && GetParam() == pgkit_test::Storage::kServer) {
        server_ =
            std::make_unique<pgkit_test::TestSchema>(kClinicDatabase, root_ / "dbengine.conf");
        clinicdb::CreateServerTables(server_->Session(), clinic_tables::All());
    } else {
        clinicdb::CreateTableFiles(DatabaseDir(), clinic_tables::All());
    }
    dates::SetShortDateFormat("yyyy-M-d");
    dates::SetToday(dates::FromCivil(2026, 12, 8));
    data_ = std::make_unique<ClinicRecordSets>();
    data_->Open();
}

void ClinicFixture::TearDown() {
    data_.reset();
    server_.reset();
    std::filesystem::remove_all(root_);
    dates::SetToday(std::nullopt);
}

int ClinicFixture::AddPatient(const std::string& name, const std::string& phone) {
    TTable& patients = data_->Tablebingren;
    patients.Append();
    data_->TablebingrenXm->SetAsString(name);
    if (!phone.empty()) data_->TablebingrenLxdh->SetAsString(phone);
    patients.Post();
    return data_->TablebingrenId->AsInteger();
}

void ClinicFixture::AddVisit(const std::string& complaint) {
    data_->TableBingli.Append();
    data_->TableBingliZhsu->SetAsString(complaint);
    data_->TableBingli.Post();
}

std::vector<std::pair<const char*, TDataSetNotifyEvent TDataSet::*>> EventLog::Events() {
    return {{"BeforeOpen", &TDataSet::BeforeOpen},     {"AfterOpen", &TDataSet::AfterOpen},
            {"BeforeClose", &TDataSet::BeforeClose},   {"AfterClose", &TDataSet::AfterClose},
            {"BeforeInsert", &TDataSet::BeforeInsert}, {"OnNewRecord", &TDataSet::OnNewRecord},
            {"AfterInsert", &TDataSet::AfterInsert},   {"BeforeEdit", &TDataSet::BeforeEdit},
            {"AfterEdit", &TDataSet::AfterEdit},       {"BeforePost", &TDataSet::BeforePost},
            {"AfterPost", &TDataSet::AfterPost},       {"BeforeCancel", &TDataSet::BeforeCancel},
            {"AfterCancel", &TDataSet::AfterCancel},   {"BeforeDelete", &TDataSet::BeforeDelete},
            {"AfterDelete", &TDataSet::AfterDelete},   {"BeforeScroll", &TDataSet::BeforeScroll},
            {"AfterScroll", &TDataSet::AfterScroll},   {"BeforeRefresh", &TDataSet::BeforeRefresh},
            {"AfterRefresh", &TDataSet::AfterRefresh}};
}

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(no error)";
}

std::string FailureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    }
    return "(no error)";
}

void EventLog::Attach(TDataSet& dataSet) {
    dataSet_ = &dataSet;
    for (const auto& [name, event] : Events()) {
        dataSet.*event = [this, name = name](TDataSet*) { events_.push_back(name); };
    }
}

EventLog::~EventLog() {
    if (!dataSet_) return;
    for (const auto& [name, event] : Events()) dataSet_->*event = nullptr;
}

std::vector<std::string> EventLog::Take() {
    std::vector<std::string> taken;
    taken.swap(events_);
    return taken;
}

void RecordingLink::DataEvent(TDataEvent event, TField*, int distance) {
    switch (event) {
        case TDataEvent::deDataSetChange:
            events.push_back("changed");
            break;
        case TDataEvent::deDataSetScroll:
            events.push_back("scrolled " + std::to_string(distance));
            break;
        case TDataEvent::deRecordChange:
            events.push_back("record");
            break;
        case TDataEvent::deUpdateState:
            events.push_back("state");
            break;
        default:
            break;
    }
}
