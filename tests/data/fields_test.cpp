// Field conversions and their messages.
#include "base/short_date_format.h"
#include "clinic_fixture.h"

class FieldsTest : public ClinicFixture {
  protected:
    void SetUp() override {
        ClinicFixture::SetUp();
        AddPatient("张三");
        data_->Tablebingren.Edit();
    }
};

TEST_F(FieldsTest, StringsAreCutToTheirSizeInGbkBytes) {
    data_->TablebingrenXm->SetAsString("王小明五六");
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "王小明五");
    data_->TablebingrenDfhf->SetAsString("按时复诊");
    EXPECT_EQ(data_->TablebingrenDfhf->AsString(), "按时复诊");
    data_->TablebingrenXm->SetAsString("");
    EXPECT_TRUE(data_->TablebingrenXm->IsNull());
}

TEST_F(FieldsTest, IntegersAcceptDecimalTextWithinTheirRange) {
    data_->TablebingrenNl->SetAsString("-12");
    EXPECT_EQ(data_->TablebingrenNl->AsInteger(), -12);
    data_->TablebingrenNl->SetAsString("");
    EXPECT_TRUE(data_->TablebingrenNl->IsNull());
    EXPECT_EQ(data_->TablebingrenNl->AsString(), "");
    EXPECT_EQ(FailureOf([&] { data_->TablebingrenNl->SetAsString("12a"); }),
              "EDatabaseError: '12a' is not a valid integer value for field '年龄'");
    EXPECT_EQ(FailureOf([&] { data_->TablebingrenNl->SetAsString("99999999999"); }),
              "EDatabaseError: '99999999999' is not a valid integer value for field '年龄'");
    EXPECT_EQ(FailureOf([&] { data_->TablebingrenNl->SetAsString("40000"); }),
              "EDatabaseError: 40000 is not a valid value for field '年龄'. The allowed range is "
              "-32768 to 32767");
    EXPECT_EQ(data_->TablebingrenNl->AsString(), "") << "a refused value leaves the field";
}

TEST_F(FieldsTest, DatesKeepTheDayAndUseTheShortDateFormat) {
    data_->TablebingrenFzyysj->SetAsDateTime(dates::Today() + 0.75);
    EXPECT_EQ(data_->TablebingrenFzyysj->AsDateTime(), dates::Today());
    EXPECT_EQ(data_->TablebingrenFzyysj->AsString(), "2026-12-8");
    dates::SetShortDateFormat("d/M/yyyy");
    EXPECT_EQ(data_->TablebingrenFzyysj->AsString(), "8/12/2026");
    data_->TablebingrenFzyysj->SetAsString("1/2/2027");
    EXPECT_EQ(data_->TablebingrenFzyysj->AsDateTime(), dates::FromCivil(2027, 2, 1));
    EXPECT_EQ(FailureOf([&] { data_->TablebingrenFzyysj->SetAsString("2027-02-01"); }),
              "EConvertError: '2027-02-01' is not a valid date");
    data_->TablebingrenFzyysj->Clear();
    EXPECT_EQ(data_->TablebingrenFzyysj->AsDateTime(), 0) << "a missing date reads as day 0";
}

TEST_F(FieldsTest, ValuesSurviveThePost) {
    data_->TablebingrenXb->SetAsString("男");
    data_->TablebingrenNl->SetAsInteger(45);
    data_->TablebingrenCzrq->SetAsString("2026-1-31");
    data_->Tablebingren.Post();
    data_->Tablebingren.Close();
    data_->Tablebingren.Open();
    EXPECT_EQ(data_->TablebingrenXb->AsString(), "男");
    EXPECT_EQ(data_->TablebingrenNl->AsInteger(), 45);
    EXPECT_EQ(data_->TablebingrenCzrq->AsString(), "2026-1-31");
}

class BindingTest : public ClinicFixture {};

TEST_F(BindingTest, DeclaredFieldsMustMatchTheStoredColumns) {
    TTable wrongName("Tablebingren");
    wrongName.SetDatabaseName(kClinicDatabase);
    wrongName.SetTableName("bingren.DB");
    wrongName.AddField<TStringField>("Missing", 10)->SetDisplayLabel("缺少");
    EXPECT_EQ(FailureOf([&] { wrongName.Open(); }),
              "EDatabaseError: Tablebingren: Field '缺少' not found");
    EXPECT_FALSE(wrongName.Active());

    TTable wrongKind("Tablebingren");
    wrongKind.SetDatabaseName(kClinicDatabase);
    wrongKind.SetTableName("bingren.DB");
    wrongKind.AddField<TIntegerField>("Xm");
    EXPECT_EQ(FailureOf([&] { wrongKind.Open(); }),
              "EDatabaseError: Tablebingren: Type mismatch for field 'Xm', expecting: Integer "
              "actual: String");

    TQuery ids("q");
    ids.SetDatabaseName(kClinicDatabase);
    ids.SetSQL({"SELECT Id FROM bingren.DB"});
    ids.AddField<TIntegerField>("Id");
    EXPECT_NO_THROW(ids.Open()) << "an auto-increment column binds to an integer field";
}

TEST_F(BindingTest, MissingTablesAndDirectoriesGiveTheEngineError) {
    TTable missing("t");
    missing.SetDatabaseName(kClinicDatabase);
    missing.SetTableName("nothing.DB");
    try {
        missing.Open();
        FAIL();
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), DBIERR_NOTFOUND_FILE);
        EXPECT_NE(e.Message().find("nothing.DB"), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(missing.Active());
    TTable noDir("t");
    noDir.SetDatabaseName("d:\\no\\such\\dir");
    noDir.SetTableName("bingren.DB");
    EXPECT_THROW(noDir.Open(), EDBEngineError);
    EXPECT_FALSE(std::filesystem::exists(root_ / "d" / "no")) << "nothing is created";
}

TEST_F(BindingTest, TheNameSearchQueryListsNamedPatientsInNameOrder) {
    AddPatient("张三");
    AddPatient("李四");
    AddPatient("");
    AddPatient("王五");
    TQuery& q = data_->Queryczxm;
    q.Close();
    q.Open();
    std::vector<std::string> names;
    for (q.First(); !q.Eof(); q.Next()) names.push_back(data_->QueryczxmXm->AsString());
    EXPECT_EQ(names, (std::vector<std::string>{"李四", "王五", "张三"}));
    EXPECT_EQ(q.RecordCount(), 3);
    q.Close();
    q.SetSQL({"SELECT Id, Xm, Xb, Nl, Gzdw, Lxdh FROM bingren.DB WHERE", "  Xm LIKE '%四%'",
              " ORDER BY Xm"});
    q.Open();
    EXPECT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(data_->QueryczxmXm->AsString(), "李四");
    q.Close();
    q.SetSQL({"SELECT Id, Xm, Xb, Nl, Gzdw, Lxdh FROM bingren.DB WHERE", "  Xm LIKE '%O'Brien%'",
              " ORDER BY Xm"});
    EXPECT_THROW(q.Open(), EDBEngineError);
    EXPECT_FALSE(q.Active());
}
