// States, events and the implicit post of the record sets, on a real database.
#include "clinic_fixture.h"

using ::testing::ElementsAre;
using Strings = std::vector<std::string>;

class RecordSetTest : public ClinicFixture {};

TEST_P(RecordSetTest, OpensWithDeclaredFieldsAndEmptyTables) {
    EXPECT_TRUE(data_->Tablebingren.Active());
    EXPECT_TRUE(data_->Tablebingren.IsEmpty());
    EXPECT_TRUE(data_->Tablebingren.Bof());
    EXPECT_TRUE(data_->Tablebingren.Eof());
    EXPECT_EQ(data_->Tablebingren.FieldByName("xm"), data_->TablebingrenXm);
    EXPECT_EQ(data_->TableBingliXbs->DisplayName(), "Xbs");
    EXPECT_EQ(data_->TableBingliXbs->Size(), 200);
    EXPECT_EQ(data_->Tablebingren.RecordCount(), 0);
    EXPECT_EQ(MessageOf([&] { data_->Tablebingren.FieldByName("nothing"); }),
              "Tablebingren: Field 'nothing' not found");
}

TEST_P(RecordSetTest, PostAssignsTheRecordNumberAndKeepsTheRecordCurrent) {
    TTable& t = data_->Tablebingren;
    t.Insert();
    EXPECT_TRUE(data_->TablebingrenId->IsNull());
    data_->TablebingrenXm->SetAsString("张三");
    t.Post();
    EXPECT_EQ(t.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(data_->TablebingrenId->AsInteger(), 1);
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "张三");
    AddPatient("李四");
    EXPECT_EQ(data_->TablebingrenId->AsInteger(), 2);
    EXPECT_EQ(t.RecordCount(), 2);
}

TEST_P(RecordSetTest, EventsFireInTheirOrder) {
    TTable& t = data_->Tablebingren;
    AddPatient("张三");
    EventLog log;
    log.Attach(t);
    t.Insert();
    EXPECT_EQ(log.Take(), (Strings{"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert",
                                   "AfterScroll"}));
    data_->TablebingrenXm->SetAsString("王五");
    t.Post();
    EXPECT_EQ(log.Take(), (Strings{"BeforePost", "AfterPost"}));
    t.Edit();
    EXPECT_EQ(log.Take(), (Strings{"BeforeEdit", "AfterEdit"}));
    t.Edit();
    EXPECT_TRUE(log.Take().empty()) << "edit while editing does nothing";
    t.Cancel();
    EXPECT_EQ(log.Take(), (Strings{"BeforeCancel", "AfterCancel"}));
    t.Insert();
    log.Take();
    t.Cancel();
    EXPECT_EQ(log.Take(), (Strings{"BeforeCancel", "BeforeScroll", "AfterCancel", "AfterScroll"}));
    t.Delete();
    EXPECT_EQ(log.Take(), (Strings{"BeforeDelete", "BeforeScroll", "AfterDelete", "AfterScroll"}));
    t.First();
    EXPECT_EQ(log.Take(), (Strings{"BeforeScroll", "AfterScroll"}));
    t.Prior();
    EXPECT_EQ(log.Take(), (Strings{"BeforeScroll"})) << "already at the beginning";
    t.Refresh();
    EXPECT_EQ(log.Take(), (Strings{"BeforeRefresh", "AfterRefresh"}));
    t.Close();
    EXPECT_EQ(log.Take(), (Strings{"BeforeClose", "AfterClose"}));
    t.Open();
    EXPECT_EQ(log.Take(), (Strings{"BeforeOpen", "AfterOpen", "AfterScroll"}));
}

TEST_P(RecordSetTest, MovingOffAWrittenRecordPostsItAndAnUntouchedEditIsDropped) {
    TTable& t = data_->Tablebingren;
    AddPatient("张三");
    AddPatient("李四");
    t.First();
    t.Edit();
    data_->TablebingrenNl->SetAsString("30");
    EXPECT_TRUE(t.Modified());
    t.Next();
    EXPECT_EQ(t.State(), TDataSetState::dsBrowse);
    t.First();
    EXPECT_EQ(data_->TablebingrenNl->AsInteger(), 30);

    EventLog log;
    log.Attach(t);
    t.Edit();
    log.Take();
    t.Next();
    EXPECT_EQ(log.Take(), (Strings{"BeforeCancel", "AfterCancel", "BeforeScroll", "AfterScroll"}))
        << "a move checks browse mode before it scrolls";
}

TEST_P(RecordSetTest, ANewRecordWrittenByAfterInsertIsPostedWhenLeft) {
    TTable& t = data_->Tablebingren;
    t.AfterInsert = [&](TDataSet*) { data_->TablebingrenCzrq->SetAsDateTime(dates::Today()); };
    t.Append();
    EXPECT_TRUE(t.Modified());
    t.First();
    EXPECT_EQ(t.RecordCount(), 1);
    EXPECT_EQ(data_->TablebingrenCzrq->AsString(), "2026-12-8");
}

TEST_P(RecordSetTest, EditOnAnEmptySetInserts) {
    data_->Tablebingren.Edit();
    EXPECT_EQ(data_->Tablebingren.State(), TDataSetState::dsInsert);
}

TEST_P(RecordSetTest, DeleteMakesTheSuccessorOrPredecessorCurrent) {
    TTable& t = data_->Tablebingren;
    for (const char* name : {"甲", "乙", "丙"}) AddPatient(name);
    t.First();
    t.Next();
    t.Delete();
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "丙");
    t.Delete();
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "甲");
    t.Delete();
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_EQ(MessageOf([&] { t.Delete(); }),
              "Tablebingren: Cannot perform this operation on an empty dataset");
}

TEST_P(RecordSetTest, CancelRestoresStoredValuesAndCloseDropsPendingEdits) {
    TTable& t = data_->Tablebingren;
    AddPatient("张三");
    t.Edit();
    data_->TablebingrenXm->SetAsString("改名");
    t.Cancel();
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "张三");
    t.Edit();
    data_->TablebingrenXm->SetAsString("改名");
    t.Close();
    t.Open();
    EXPECT_EQ(data_->TablebingrenXm->AsString(), "张三");
}

TEST_P(RecordSetTest, RefusalsCarryTheirMessages) {
    TTable& t = data_->Tablebingren;
    AddPatient("张三");
    EXPECT_EQ(MessageOf([&] { t.Post(); }), "Tablebingren: Dataset not in edit or insert mode");
    EXPECT_EQ(MessageOf([&] { data_->TablebingrenXm->SetAsString("x"); }),
              "Tablebingren: Dataset not in edit or insert mode");
    t.Edit();
    EXPECT_EQ(MessageOf([&] { data_->TablebingrenId->SetAsInteger(5); }),
              "Field '病历号' cannot be modified");
    t.Cancel();
    EXPECT_EQ(MessageOf([&] { data_->Queryczxm.Insert(); }),
              "Queryczxm: Cannot modify a read-only dataset");
    EXPECT_EQ(MessageOf([&] { data_->Queryczxm.Edit(); }),
              "Queryczxm: Cannot modify a read-only dataset");
    data_->Queryczxm.Close();
    EXPECT_EQ(MessageOf([&] { data_->Queryczxm.First(); }),
              "Queryczxm: Cannot perform this operation on a closed dataset");
    EXPECT_EQ(MessageOf([&] { data_->Queryczxm.RecordCount(); }),
              "Queryczxm: Cannot perform this operation on a closed dataset");
}

TEST_P(RecordSetTest, RequiredFieldBlocksThePostAndKeepsTheValues) {
    TTable& t = data_->Tablebingren;
    data_->TablebingrenXm->SetRequired(true);
    t.Insert();
    data_->TablebingrenNl->SetAsString("40");
    EXPECT_EQ(MessageOf([&] { t.Post(); }), "Field '姓名' must have a value");
    EXPECT_EQ(t.State(), TDataSetState::dsInsert);
    EXPECT_EQ(data_->TablebingrenNl->AsInteger(), 40);
    EXPECT_TRUE(t.Modified());
    EXPECT_ANY_THROW(t.Next()) << "a failed implicit post stops the move";
    EXPECT_EQ(t.State(), TDataSetState::dsInsert);
}

TEST_P(RecordSetTest, TheWindowFollowsTheViewsAndScrolls) {
    TTable& t = data_->Tablebingren;
    for (int i = 1; i <= 10; ++i) AddPatient("病人" + std::to_string(i));
    RecordingLink view(4);
    view.SetDataSource(&data_->DataSourceBingren);
    t.First();
    EXPECT_EQ(t.BufferCount(), 4);
    view.events.clear();
    t.MoveBy(2);
    EXPECT_EQ(t.ActiveRecord(), 2);
    EXPECT_EQ(data_->TablebingrenId->AsInteger(), 3);
    t.MoveBy(3);
    EXPECT_EQ(data_->TablebingrenId->AsInteger(), 6);
    EXPECT_EQ(t.ActiveRecord(), 3);
    EXPECT_THAT(view.events, ElementsAre("scrolled 0", "scrolled 2"));
    EXPECT_EQ(t.MoveBy(30), 4);
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(data_->TablebingrenId->AsInteger(), 10);
    EXPECT_EQ(t.MoveBy(-30), -9);
    EXPECT_TRUE(t.Bof());
    EXPECT_EQ(data_->TablebingrenId->AsInteger(), 1);
    t.Last();
    EXPECT_EQ(t.ActiveRecord(), 3);
    EXPECT_EQ(data_->TablebingrenId->AsInteger(), 10);

    // Counting up to a bound answers from the window only where it holds the first records.
    EXPECT_EQ(t.RecordCountUpTo(2), 2);
    EXPECT_TRUE(t.Bof());
    EXPECT_EQ(data_->TablebingrenId->AsInteger(), 1);
    EXPECT_EQ(t.RecordCountUpTo(7), 7);
    EXPECT_EQ(t.RecordCountUpTo(30), 10);
    EXPECT_EQ(t.BufferCount(), 4);
    RecordingLink tall(30);
    tall.SetDataSource(&data_->DataSourceBingren);
    EXPECT_EQ(t.RecordCountUpTo(30), 10);
    t.MoveBy(5);
    data_->Tablebingren.Delete();
    t.First();
    EXPECT_EQ(t.RecordCountUpTo(30), 9);
}

TEST_P(RecordSetTest, UndoingAnInsertMakesThePreviousRecordCurrentAgainOnItsRow) {
    TTable& t = data_->Tablebingren;
    constexpr int kPatients = 35;
    for (int i = 1; i <= kPatients; ++i) AddPatient("病人" + std::to_string(i));
    const auto refusedNewRecord = [&](void (TDataSet::*begin)()) {
        t.OnNewRecord = [](TDataSet*) { throw EDatabaseError("refused"); };
        EXPECT_EQ(MessageOf([&] { (t.*begin)(); }), "refused");
        t.OnNewRecord = nullptr;
    };
    const std::pair<const char*, std::function<void()>> undos[] = {
        {"insert, cancel", [&] { t.Insert(), t.Cancel(); }},
        {"append, cancel", [&] { t.Append(), t.Cancel(); }},
        {"insert, delete", [&] { t.Insert(), t.Delete(); }},
        {"insert, OnNewRecord fails", [&] { refusedNewRecord(&TDataSet::Insert); }},
        {"append, OnNewRecord fails", [&] { refusedNewRecord(&TDataSet::Append); }}};
    const std::pair<const char*, std::function<void()>> starts[] = {
        {"first", [&] { t.First(); }},
        {"middle", [&] { t.First(), t.MoveBy(kPatients / 2); }},
        {"last", [&] { t.Last(); }}};
    for (int rows : {1, 2, 30}) {
        RecordingLink view(rows);
        view.SetDataSource(&data_->DataSourceBingren);
        for (const auto& [start, moveThere] : starts) {
            for (const auto& [undo, action] : undos) {
                moveThere();
                const int id = data_->TablebingrenId->AsInteger(), row = t.ActiveRecord();
                action();
                const std::string where =
                    std::to_string(rows) + " rows, from the " + start + ": " + undo;
                EXPECT_EQ(t.State(), TDataSetState::dsBrowse) << where;
                EXPECT_EQ(data_->TablebingrenId->AsInteger(), id) << where;
                EXPECT_EQ(t.ActiveRecord(), row) << where;
                EXPECT_EQ(t.BufferCount(), rows) << where;
            }
        }
    }
    EXPECT_EQ(t.RecordCount(), kPatients);
}

ON_BOTH_STORAGES(RecordSetTest);
