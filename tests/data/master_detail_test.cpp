// The visits follow the current patient.
#include "clinic_fixture.h"

using Strings = std::vector<std::string>;

class MasterDetailTest : public ClinicFixture {
  protected:
    void SetUp() override {
        ClinicFixture::SetUp();
        first_ = AddPatient("张三");
        AddVisit("牙痛");
        AddVisit("复查");
        second_ = AddPatient("李四");
        AddVisit("洗牙");
    }
    std::vector<std::string> Complaints() {
        std::vector<std::string> complaints;
        TTable& visits = data_->TableBingli;
        for (visits.First(); !visits.Eof(); visits.Next()) {
            complaints.push_back(data_->TableBingliZhsu->AsString());
        }
        return complaints;
    }
    int first_ = 0, second_ = 0;
};

TEST_P(MasterDetailTest, ShowsOnlyTheCurrentPatientsVisits) {
    EXPECT_EQ(Complaints(), (Strings{"洗牙"}));
    EXPECT_EQ(data_->TableBingliBrid->AsInteger(), second_);
    data_->Tablebingren.First();
    EXPECT_EQ(Complaints(), (Strings{"牙痛", "复查"}));
    EXPECT_EQ(data_->TableBingli.RecordCount(), 2);
}

TEST_P(MasterDetailTest, AVisitListOfAPatientWithoutVisitsIsEmpty) {
    AddPatient("王五");
    EXPECT_TRUE(data_->TableBingli.IsEmpty());
    EXPECT_EQ(data_->TableBingli.RecordCount(), 0);
}

TEST_P(MasterDetailTest, MovingToAnotherPatientPostsThePendingVisitFirst) {
    data_->TableBingli.Insert();
    data_->TableBingliZhsu->SetAsString("新的");
    data_->Tablebingren.First();
    EXPECT_EQ(data_->TableBingli.State(), TDataSetState::dsBrowse);
    data_->Tablebingren.Last();
    EXPECT_EQ(Complaints(), (Strings{"洗牙", "新的"}));
}

TEST_P(MasterDetailTest, ReRangesOnlyWhenThePatientKeyChanged) {
    EventLog log;
    log.Attach(data_->TableBingli);
    data_->Tablebingren.Edit();
    data_->TablebingrenNl->SetAsString("33");
    data_->Tablebingren.Post();
    data_->Tablebingren.Refresh();
    EXPECT_TRUE(log.Take().empty());
    data_->Tablebingren.First();
    EXPECT_EQ(log.Take(), (Strings{"BeforeScroll", "AfterScroll"}));
}

TEST_P(MasterDetailTest, AVisitUnderANewPatientGetsHisNumber) {
    data_->Tablebingren.Insert();
    data_->TablebingrenXm->SetAsString("新病人");
    data_->TableBingli.Insert();
    EXPECT_EQ(data_->Tablebingren.State(), TDataSetState::dsBrowse)
        << "the patient is posted first";
    const int id = data_->TablebingrenId->AsInteger();
    EXPECT_GT(id, second_);
    EXPECT_EQ(data_->TableBingliBrid->AsInteger(), id);
    EXPECT_FALSE(data_->TableBingli.Modified()) << "copying the key is no change";
    data_->TableBingliZhsu->SetAsString("初诊");
    data_->TableBingli.Post();
    data_->Tablebingren.First();
    data_->Tablebingren.Last();
    EXPECT_EQ(Complaints(), (Strings{"初诊"}));
}

TEST_P(MasterDetailTest, EditOnAnEmptyVisitListInsertsAVisitOfThePatient) {
    const int id = AddPatient("王五");
    data_->TableBingli.Edit();
    EXPECT_EQ(data_->TableBingli.State(), TDataSetState::dsInsert);
    EXPECT_EQ(data_->TableBingliBrid->AsInteger(), id);
}

TEST_P(MasterDetailTest, DeletingAPatientLeavesHisVisitsInTheTable) {
    data_->Tablebingren.First();
    data_->Tablebingren.Delete();
    EXPECT_EQ(Complaints(), (Strings{"洗牙"}));
    TTable all("all");
    all.SetDatabaseName(kClinicDatabase);
    all.SetTableName("bingli.DB");
    all.Open();
    EXPECT_EQ(all.RecordCount(), 3);
}

TEST_P(MasterDetailTest, MemosReadWholeAndAreNullWhenEmpty) {
    TTable& visits = data_->TableBingli;
    const std::string longText(500, 'x');
    visits.Edit();
    EXPECT_TRUE(data_->TableBingliXbs->IsNull());
    data_->TableBingliXbs->SetAsString(longText);
    EXPECT_EQ(data_->TableBingliXbs->AsString(), longText);
    visits.Post();
    visits.Refresh();
    EXPECT_EQ(data_->TableBingliXbs->AsString(), longText);
    visits.Edit();
    data_->TableBingliXbs->SetAsString("");
    EXPECT_TRUE(data_->TableBingliXbs->IsNull());
    visits.Post();
    EXPECT_TRUE(data_->TableBingliXbs->IsNull());
}

TEST_P(MasterDetailTest, AVisitMovedToAnotherPatientLeavesTheListAndItsNeighbourIsCurrent) {
    data_->Tablebingren.First();
    data_->TableBingli.First();
    data_->TableBingli.Edit();
    data_->TableBingliBrid->SetAsInteger(second_);
    data_->TableBingli.Post();
    EXPECT_EQ(data_->TableBingliZhsu->AsString(), "复查");
    EXPECT_EQ(Complaints(), (Strings{"复查"}));
    data_->Tablebingren.Last();
    EXPECT_EQ(Complaints(), (Strings{"牙痛", "洗牙"})) << "in the order of blbrid: Brid, then Id";
}

TEST_P(MasterDetailTest, ARecordWhoseKeyChangedStaysCurrentAtItsNewPlace) {
    TTable visits("visits");
    visits.SetDatabaseName(kClinicDatabase);
    visits.SetTableName("bingli.DB");
    visits.SetIndexName("blbrid");
    visits.Open();
    TField* brid = visits.FieldByName("Brid");
    TField* complaint = visits.FieldByName("Zhsu");
    EXPECT_EQ(complaint->AsString(), "牙痛");
    visits.Edit();
    brid->SetAsInteger(second_ + 1);
    visits.Post();
    EXPECT_EQ(complaint->AsString(), "牙痛");
    EXPECT_EQ(visits.MoveBy(1), 0) << "it is now the last in index order";
    visits.First();
    EXPECT_EQ(complaint->AsString(), "复查");
}

ON_BOTH_STORAGES(MasterDetailTest);
