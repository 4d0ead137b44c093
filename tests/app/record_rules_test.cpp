// The record rules, exercised on the record sets without windows.
#include "app/record_rules.h"

#include "clinic_fixture.h"

class RecordRulesTest : public ClinicFixture {
  protected:
    void SetUp() override {
        ClinicFixture::SetUp();
        rules_ = std::make_unique<TRecordRules>(*data_);
        rules_->Attach();
    }
    void TearDown() override {
        data_.reset();
        rules_.reset();
        ClinicFixture::TearDown();
    }
    static int Day(int year, int month, int day) { return dates::FromCivil(year, month, day); }
    // Posts a visit of the current patient with a follow-up date (0: none).
    void PostVisit(int followUp) {
        data_->TableBingli.Append();
        if (followUp) data_->TableBingliFzyysj->SetAsDateTime(followUp);
        data_->TableBingli.Post();
    }
    std::unique_ptr<TRecordRules> rules_;
    const int today_ = Day(2026, 12, 8);
};

TEST_F(RecordRulesTest, ANewPatientIsFirstSeenToday) {
    data_->Tablebingren.Insert();
    EXPECT_EQ(data_->TablebingrenCzrq->AsDateTime(), today_);
    EXPECT_TRUE(data_->TablebingrenId->IsNull());
    EXPECT_TRUE(data_->TablebingrenFzyysj->IsNull());
}

TEST_F(RecordRulesTest, ANewVisitGetsThePatientAndTheMemoHeadings) {
    const int id = AddPatient("张三");
    data_->TableBingli.Insert();
    EXPECT_EQ(data_->TableBingliBrid->AsInteger(), id);
    EXPECT_EQ(data_->TableBingliXbs->AsString(), "现病史：");
    EXPECT_EQ(data_->TableBingliJcsj->AsString(), "检查所见：");
    EXPECT_EQ(data_->TableBingliZhengduan->AsString(), "诊断：");
    EXPECT_EQ(data_->TableBingliZhiliao->AsString(), "治疗：");
    EXPECT_EQ(data_->TableBingli.State(), TDataSetState::dsInsert);
}

TEST_P(RecordRulesTest, UntouchedNewRecordsAreWrittenWhenLeftAndTheVisitIsDatedToday) {
    AddPatient("张三");
    data_->TableBingli.Insert();
    data_->TableBingli.First();
    EXPECT_EQ(data_->TableBingli.RecordCount(), 1);
    EXPECT_EQ(data_->TableBingliLzrq->AsDateTime(), today_);
    EXPECT_EQ(data_->TableBingliXbs->AsString(), "现病史：");
}

TEST_P(RecordRulesTest, ATypedVisitDateIsKept) {
    AddPatient("张三");
    data_->TableBingli.Insert();
    data_->TableBingliLzrq->SetAsString("2026-11-30");
    data_->TableBingli.Post();
    EXPECT_EQ(data_->TableBingliLzrq->AsDateTime(), Day(2026, 11, 30));
}

TEST_P(RecordRulesTest, TheFollowUpDateOnlyMovesLater) {
    AddPatient("张三");
    data_->Tablebingren.Edit();
    data_->TablebingrenFzyysj->SetAsDateTime(Day(2027, 5, 10));
    data_->Tablebingren.Post();
    PostVisit(Day(2027, 5, 17));
    EXPECT_EQ(data_->TablebingrenFzyysj->AsDateTime(), Day(2027, 5, 17));
    EXPECT_EQ(data_->Tablebingren.State(), TDataSetState::dsBrowse);
    PostVisit(Day(2027, 5, 3));
    EXPECT_EQ(data_->TablebingrenFzyysj->AsDateTime(), Day(2027, 5, 17));
    PostVisit(0);
    EXPECT_EQ(data_->TablebingrenFzyysj->AsDateTime(), Day(2027, 5, 17));
    AddPatient("李四");
    PostVisit(Day(2027, 5, 3));
    EXPECT_EQ(data_->TablebingrenFzyysj->AsDateTime(), Day(2027, 5, 3))
        << "a patient without a follow-up takes any";
    data_->Tablebingren.Refresh();
    EXPECT_EQ(data_->TablebingrenFzyysj->AsDateTime(), Day(2027, 5, 3)) << "it was posted";
}

TEST_P(RecordRulesTest, TheCarriedDatePostsPendingPatientEditsToo) {
    AddPatient("张三");
    data_->Tablebingren.Edit();
    data_->TablebingrenLxdh->SetAsString("13800000000");
    data_->TableBingli.Append();
    data_->TableBingliFzyysj->SetAsDateTime(Day(2027, 1, 1));
    data_->TableBingli.Post();
    data_->Tablebingren.Refresh();
    EXPECT_EQ(data_->TablebingrenLxdh->AsString(), "13800000000");
    EXPECT_EQ(data_->TablebingrenFzyysj->AsDateTime(), Day(2027, 1, 1));
}

TEST_F(RecordRulesTest, ThePatientProposalReplacesAnyDateAndLeavesTheRowEditing) {
    AddPatient("张三");
    data_->Tablebingren.Edit();
    data_->TablebingrenFzyysj->SetAsDateTime(Day(2027, 5, 10));
    data_->Tablebingren.Post();
    rules_->ProposePatientFollowUp("Xm");
    EXPECT_EQ(data_->Tablebingren.State(), TDataSetState::dsBrowse);
    rules_->ProposePatientFollowUp("fzyysj");
    EXPECT_EQ(data_->Tablebingren.State(), TDataSetState::dsBrowse) << "names compare with case";
    rules_->ProposePatientFollowUp("Fzyysj");
    EXPECT_EQ(data_->Tablebingren.State(), TDataSetState::dsEdit);
    EXPECT_EQ(data_->TablebingrenFzyysj->AsDateTime(), today_ + 7);
}

TEST_P(RecordRulesTest, TheVisitProposalOnlyFillsAMissingDate) {
    AddPatient("张三");
    PostVisit(Day(2027, 2, 2));
    rules_->ProposeVisitFollowUp("Fzyysj");
    EXPECT_EQ(data_->TableBingli.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(data_->TableBingliFzyysj->AsDateTime(), Day(2027, 2, 2));
    PostVisit(0);
    rules_->ProposeVisitFollowUp("Fzyysj");
    EXPECT_EQ(data_->TableBingli.State(), TDataSetState::dsEdit);
    EXPECT_EQ(data_->TableBingliFzyysj->AsDateTime(), today_ + 7);
    data_->TableBingli.Post();
    EXPECT_EQ(data_->TablebingrenFzyysj->AsDateTime(), Day(2027, 2, 2)) << "already later";
}

TEST_F(RecordRulesTest, ProposalsOnEmptyTablesStartNewRecords) {
    rules_->ProposePatientFollowUp("Fzyysj");
    EXPECT_EQ(data_->Tablebingren.State(), TDataSetState::dsInsert);
    EXPECT_EQ(data_->TablebingrenCzrq->AsDateTime(), today_);
    EXPECT_EQ(data_->TablebingrenFzyysj->AsDateTime(), today_ + 7);
    data_->Tablebingren.Post();
    rules_->ProposeVisitFollowUp("Fzyysj");
    EXPECT_EQ(data_->TableBingli.State(), TDataSetState::dsInsert);
    EXPECT_EQ(data_->TableBingliBrid->AsInteger(), data_->TablebingrenId->AsInteger());
    EXPECT_EQ(data_->TableBingliXbs->AsString(), "现病史：");
    EXPECT_EQ(data_->TableBingliFzyysj->AsDateTime(), today_ + 7);
}

TEST_P(RecordRulesTest, ARefusedPatientPostLeavesTheVisitPosted) {
    AddPatient("张三");
    data_->TablebingrenXm->SetRequired(true);
    data_->Tablebingren.Edit();
    data_->TablebingrenXm->Clear();
    data_->TableBingli.Append();
    data_->TableBingliFzyysj->SetAsDateTime(Day(2027, 1, 1));
    EXPECT_THROW(data_->TableBingli.Post(), EDatabaseError);
    EXPECT_EQ(data_->TableBingli.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(data_->TableBingli.RecordCount(), 1);
    EXPECT_EQ(data_->Tablebingren.State(), TDataSetState::dsEdit);
    EXPECT_EQ(data_->TablebingrenFzyysj->AsDateTime(), Day(2027, 1, 1)) << "pending";
}

ON_BOTH_STORAGES(RecordRulesTest);
