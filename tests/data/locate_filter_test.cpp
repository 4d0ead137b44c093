// Locating by field values and filtering by a condition.
#include "base/short_date_format.h"
#include "clinic_fixture.h"

using Strings = std::vector<std::string>;

class LocateTest : public ClinicFixture {
  protected:
    void SetUp() override {
        ClinicFixture::SetUp();
        for (const char* name : {"李四", "张三丰", "张三", "abc", "王五"}) AddPatient(name);
        data_->Tablebingren.First();
    }
    int CurrentId() const { return data_->TablebingrenId->AsInteger(); }
};

TEST_P(LocateTest, ARecordNumberTakesTheKeyPath) {
    EventLog log;
    log.Attach(data_->Tablebingren);
    EXPECT_TRUE(data_->Tablebingren.Locate("id", {"4"}, {.loCaseInsensitive = true}));
    EXPECT_EQ(CurrentId(), 4);
    EXPECT_EQ(log.Take(), (Strings{"BeforeScroll", "AfterScroll"}));
    EXPECT_FALSE(data_->Tablebingren.Locate("id", {"99"}, {.loCaseInsensitive = true}));
    EXPECT_EQ(CurrentId(), 4);
    EXPECT_EQ(log.Take(), (Strings{"BeforeScroll"})) << "no AfterScroll when nothing is found";
    for (const char* bad : {"12a", "-", "99999999999"}) {
        EXPECT_EQ(FailureOf([&] { data_->Tablebingren.Locate("id", {bad}, {}); }),
                  "EDatabaseError: Invalid value for field '病历号'")
            << bad;
    }
    EXPECT_EQ(CurrentId(), 4);
    EXPECT_EQ(FailureOf([&] { data_->Tablebingren.Locate("nothing", {"1"}, {}); }),
              "EDatabaseError: Tablebingren: Field 'nothing' not found");
}

TEST_P(LocateTest, ANameTakesTheScanPathAndFindsTheFirstInTableOrder) {
    EXPECT_TRUE(data_->Tablebingren.Locate("xm", {"张三"}, {.loPartialKey = true}));
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "张三丰");
    EXPECT_TRUE(data_->Tablebingren.Locate("xm", {"张"}, {.loPartialKey = true}));
    EXPECT_EQ(CurrentId(), 2);
    EXPECT_TRUE(data_->Tablebingren.Locate("xm", {"张三"}, {}));
    EXPECT_EQ(CurrentId(), 3) << "without partial key the whole name must match";
    EXPECT_FALSE(data_->Tablebingren.Locate("xm", {"ABC"}, {}));
    EXPECT_TRUE(data_->Tablebingren.Locate("xm", {"ABC"}, {.loCaseInsensitive = true}));
    EXPECT_EQ(CurrentId(), 4);
    EXPECT_FALSE(data_->Tablebingren.Locate("xm", {"赵"}, {.loPartialKey = true}));
    EXPECT_EQ(CurrentId(), 4);
}

TEST_P(LocateTest, ScanPathConversionsFailBeforeReading) {
    EXPECT_EQ(FailureOf([&] { data_->Tablebingren.Locate("nl", {"12a"}, {}); }),
              "EConvertError: '12a' is not a valid integer value");
    EXPECT_EQ(FailureOf([&] { data_->Tablebingren.Locate("czrq", {"2026/1/32"}, {}); }),
              "EConvertError: '2026/1/32' is not a valid date");
    EXPECT_EQ(CurrentId(), 1);
}

TEST_P(LocateTest, APendingEditIsPostedFirst) {
    data_->Tablebingren.Edit();
    data_->TablebingrenNl->SetAsInteger(50);
    EXPECT_TRUE(data_->Tablebingren.Locate("nl", {"50"}, {}));
    EXPECT_EQ(data_->Tablebingren.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(CurrentId(), 1);
}

TEST_P(LocateTest, TheFoundRecordIsCentredInTheViewsRows) {
    for (int i = 0; i < 20; ++i) AddPatient("病人" + std::to_string(i));
    RecordingLink grid(5);
    grid.SetDataSource(&data_->DataSourceBingren);
    data_->Tablebingren.Locate("id", {"12"}, {});
    EXPECT_EQ(data_->Tablebingren.ActiveRecord(), 2);
    EXPECT_EQ(CurrentId(), 12);
}

// A scroll bar's thumb places the record set by the key estimate; the ends are exact.
TEST_P(LocateTest, AKeyFractionMovesToTheRecordAboutThereAndTheEndsExactly) {
    for (int i = 0; i < 20; ++i) AddPatient("病人" + std::to_string(i));  // Ids 1..25
    data_->Tablebingren.First();
    RecordingLink grid(5);
    grid.SetDataSource(&data_->DataSourceBingren);
    EXPECT_EQ(data_->Tablebingren.KeyFraction(), 0.0);
    data_->Tablebingren.Edit();
    data_->TablebingrenNl->SetAsInteger(33);
    EXPECT_TRUE(data_->Tablebingren.MoveToKeyFraction(0.5));
    EXPECT_EQ(data_->Tablebingren.State(), TDataSetState::dsBrowse) << "the edit was posted";
    EXPECT_EQ(CurrentId(), 13);
    EXPECT_EQ(data_->Tablebingren.ActiveRecord(), 2) << "centred";
    EXPECT_EQ(data_->Tablebingren.KeyFraction(), 0.5);
    data_->Tablebingren.MoveToKeyFraction(1);
    EXPECT_EQ(CurrentId(), 25);
    EXPECT_TRUE(data_->Tablebingren.Eof());
    data_->Tablebingren.MoveToKeyFraction(0.999);
    EXPECT_EQ(CurrentId(), 24);
    data_->Tablebingren.MoveToKeyFraction(0);
    EXPECT_EQ(CurrentId(), 1);
    EXPECT_TRUE(data_->Tablebingren.Bof());
    EXPECT_EQ(data_->TablebingrenNl->AsInteger(), 33) << "as posted";
}

TEST_P(LocateTest, VisitsAreLocatedWithinTheCurrentPatient) {
    data_->Tablebingren.Locate("id", {"2"}, {});
    AddVisit("牙痛");
    data_->Tablebingren.Locate("id", {"3"}, {});
    AddVisit("洗牙");
    EXPECT_FALSE(data_->TableBingli.Locate("zhsu", {"牙痛"}, {}));
    EXPECT_TRUE(data_->TableBingli.Locate("zhsu", {"洗牙"}, {}));
}

class FilterTest : public ClinicFixture {
  protected:
    void SetUp() override {
        ClinicFixture::SetUp();
        const int tomorrow = dates::Today() + 1;
        for (int i = 1; i <= 6; ++i) {
            AddPatient("病人" + std::to_string(i));
            data_->Tablebingren.Edit();
            data_->TablebingrenFzyysj->SetAsDateTime(i % 2 ? tomorrow : tomorrow + i);
            data_->Tablebingren.Post();
        }
        followUp_ = "Fzyysj =" + dates::FormatShortDate(tomorrow);
    }
    Strings Names() {
        Strings names;
        TTable& t = data_->Tablebingren;
        for (t.First(); !t.Eof(); t.Next()) names.push_back(data_->TablebingrenXm->AsString());
        return names;
    }
    std::string followUp_;
};

TEST_P(FilterTest, TheFollowUpFilterHoldsThePatientsDueTomorrow) {
    TTable& t = data_->Tablebingren;
    t.Last();
    t.SetFilter(followUp_);
    EXPECT_EQ(t.RecordCount(), 6) << "in force only while Filtered is on";
    t.SetFiltered(true);
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "病人1");
    EXPECT_EQ(Names(), (Strings{"病人1", "病人3", "病人5"}));
    EXPECT_EQ(t.RecordCount(), 3);
    t.Last();
    t.SetFiltered(false);
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "病人1") << "the first of the whole table";
    EXPECT_EQ(t.RecordCount(), 6);
}

TEST_P(FilterTest, ARefusedTextKeepsTheOldFilter) {
    TTable& t = data_->Tablebingren;
    t.SetFilter(followUp_);
    t.SetFiltered(true);
    dates::SetShortDateFormat("d/M/yyyy");
    const std::string slashed = "Fzyysj =" + dates::FormatShortDate(dates::Today() + 1);
    EXPECT_EQ(FailureOf([&] { t.SetFilter(slashed); }),
              "EDatabaseError: Arithmetic in filter expressions not supported");
    EXPECT_EQ(t.Filter(), followUp_);
    EXPECT_EQ(t.RecordCount(), 3);
    EXPECT_NO_THROW(t.SetFilter(followUp_)) << "the same text is not parsed again";
}

TEST_P(FilterTest, ARecordThatStopsPassingLeavesTheView) {
    TTable& t = data_->Tablebingren;
    t.SetFilter(followUp_);
    t.SetFiltered(true);
    t.Edit();
    data_->TablebingrenFzyysj->Clear();
    t.Post();
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "病人3");
    EXPECT_EQ(t.RecordCount(), 2);
    EXPECT_TRUE(t.Locate("xm", {"病人5"}, {}));
    EXPECT_FALSE(t.Locate("xm", {"病人2"}, {})) << "locate sees only the filtered records";
}

TEST_P(FilterTest, AFilterSetWhileClosedAppliesAtOpen) {
    TTable& t = data_->Tablebingren;
    t.Close();
    t.SetFilter(followUp_);
    t.SetFiltered(true);
    t.Open();
    EXPECT_EQ(Names(), (Strings{"病人1", "病人3", "病人5"}));
}

ON_BOTH_STORAGES(LocateTest);
ON_BOTH_STORAGES(FilterTest);
