// The memo: what it shows, when it asks for edit, when it writes its field.
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "navigator_memo_support.h"
#include "recording_input_methods.h"
#include "views/db_memo.h"

namespace {

class MemoTest : public ViewWindowTest {
  protected:
    void SetUp() override {
        ViewWindowTest::SetUp();
        ime_.doubleByte = false;
        AddPatient("甲");
        AddVisit("牙痛");
        SetHistory("旧病史\r\n第二行");
        memo_ = new TDBMemo(window_.get());
        memo_->setObjectName("DBMemoXbs");
        memo_->setGeometry(0, 30, 300, 150);
        memo_->SetDataSource(&data_->DataSourceBingli);
        memo_->SetDataField("Xbs");
        Activate(*window_);
        memo_->setFocus(Qt::MouseFocusReason);
    }

    void SetHistory(const std::string& text) {
        data_->TableBingli.Edit();
        data_->TableBingliXbs->SetAsString(text);
        data_->TableBingli.Post();
    }
    std::string History() const { return data_->TableBingliXbs->AsString(); }
    TDataSetState State() const { return data_->TableBingli.State(); }
    // Opens the memo's context menu and chooses the command whose text starts so.
    void ChooseFromContextMenu(const QString& command) {
        QTimer::singleShot(0, memo_, [command] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            for (QAction* action : menu->actions()) {
                if (action->text().startsWith(command)) action->trigger();
            }
            menu->close();
        });
        const QPoint at(5, 5);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, memo_->viewport()->mapToGlobal(at));
        QApplication::sendEvent(memo_->viewport(), &event);
    }

    // Types each character as a key that carries it (Chinese ones too).
    void Type(const QString& text) {
        for (QChar c : text) QTest::sendKeyEvent(QTest::Click, memo_, Qt::Key_unknown, c, {});
    }

    RecordingInputMethods ime_;  // a locale without double-byte characters
    TDBMemo* memo_ = nullptr;
};

TEST_F(MemoTest, ShowsTheFieldsTextWithEveryKindOfLineBreak) {
    EXPECT_EQ(memo_->toPlainText(), "旧病史\n第二行");
    EXPECT_TRUE(memo_->Loaded());
    EXPECT_FALSE(memo_->MemoModified());
    SetHistory("a\rb\nc\r\n\r\nd");
    EXPECT_EQ(memo_->toPlainText(), "a\nb\nc\n\nd");
}

TEST_F(MemoTest, TypingEntersEditAndTheFieldWaitsForTheFocusToMoveWithinTheWindow) {
    memo_->moveCursor(QTextCursor::End);
    Type("x");
    EXPECT_EQ(State(), TDataSetState::dsEdit);
    EXPECT_EQ(memo_->toPlainText(), "旧病史\n第二行x");
    EXPECT_TRUE(memo_->MemoModified());
    EXPECT_EQ(History(), "旧病史\r\n第二行");
    other_->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(History(), "旧病史\r\n第二行x");
    EXPECT_FALSE(memo_->MemoModified());
    EXPECT_FALSE(memo_->Focused());
    EXPECT_EQ(State(), TDataSetState::dsEdit);
}

TEST_F(MemoTest, TheFirstKeyBothStartsEditingAndIsApplied) {
    QTest::keyClick(memo_, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(memo_, Qt::Key_Return);
    Type("新");
    EXPECT_EQ(memo_->toPlainText(), "旧病史\n第二行\n新");
    data_->TableBingli.Post();
    EXPECT_EQ(History(), "旧病史\r\n第二行\r\n新");
}

TEST_F(MemoTest, ActivatingAnotherWindowWritesNothing) {
    Type("x");
    QWidget elsewhere;
    auto* edit = new QLineEdit(&elsewhere);
    Activate(elsewhere);
    edit->setFocus();
    EXPECT_EQ(History(), "旧病史\r\n第二行");
    EXPECT_TRUE(memo_->MemoModified());
    EXPECT_TRUE(memo_->Focused());
    Activate(*window_);
    EXPECT_EQ(QApplication::focusWidget(), memo_);
}

TEST_F(MemoTest, PostingAndLeavingTheRecordWriteThePendingText) {
    Type("x");
    data_->TableBingli.Post();
    EXPECT_EQ(History(), "x旧病史\r\n第二行");
    AddVisit("复诊");
    data_->TableBingli.First();
    Type("y");
    data_->TableBingli.Next();  // the implicit post gathers the memo's text first
    data_->TableBingli.First();
    EXPECT_EQ(History(), "yx旧病史\r\n第二行");
}

TEST_F(MemoTest, EscRestoresTheFieldsTextAndTheRecordSetKeepsItsState) {
    Type("xyz");
    QTest::keyClick(memo_, Qt::Key_Escape);
    EXPECT_EQ(memo_->toPlainText(), "旧病史\n第二行");
    EXPECT_FALSE(memo_->MemoModified());
    EXPECT_EQ(State(), TDataSetState::dsEdit);
    other_->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(History(), "旧病史\r\n第二行");
}

TEST_F(MemoTest, CancelDropsTheTypedTextAndPostOrCancelClearMemoModified) {
    Type("x");
    data_->TableBingli.Cancel();
    EXPECT_FALSE(memo_->MemoModified());
    EXPECT_EQ(memo_->toPlainText(), "旧病史\n第二行");
    EXPECT_EQ(History(), "旧病史\r\n第二行");
}

TEST_F(MemoTest, AChangeOfAnotherFieldLeavesTheMemoAlone) {
    Type("x");
    data_->TableBingliZhsu->SetAsString("牙龈出血");
    EXPECT_TRUE(memo_->MemoModified());
    EXPECT_EQ(memo_->toPlainText(), "x旧病史\n第二行");
}

TEST_F(MemoTest, KeysDoNotChangeTheTextWhenTheRecordSetDoesNotEdit) {
    data_->DataSourceBingli.SetAutoEdit(false);
    Type("x");
    QTest::keyClick(memo_, Qt::Key_Delete);
    QTest::keyClick(memo_, Qt::Key_Return);
    EXPECT_EQ(State(), TDataSetState::dsBrowse);
    EXPECT_EQ(memo_->toPlainText(), "旧病史\n第二行");
    EXPECT_FALSE(memo_->MemoModified());
    data_->DataSourceBingli.SetAutoEdit(true);
    data_->TableBingliXbs->SetReadOnly(true);
    Type("x");
    EXPECT_EQ(State(), TDataSetState::dsBrowse);
    EXPECT_EQ(memo_->toPlainText(), "旧病史\n第二行");
}

TEST_F(MemoTest, MovingKeysDoNotAskForEdit) {
    QTest::keyClick(memo_, Qt::Key_Down);
    QTest::keyClick(memo_, Qt::Key_End);
    QTest::keyClick(memo_, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(State(), TDataSetState::dsBrowse);
}

TEST_F(MemoTest, CtrlJBreaksTheLineAndBackspaceAndPasteAskForEdit) {
    QTest::keyClick(memo_, Qt::Key_J, Qt::ControlModifier);
    EXPECT_EQ(State(), TDataSetState::dsEdit);
    EXPECT_EQ(memo_->toPlainText(), "\n旧病史\n第二行");
    data_->TableBingli.Cancel();
    QTest::keyClick(memo_, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(memo_, Qt::Key_Backspace);
    EXPECT_EQ(memo_->toPlainText(), "旧病史\n第二");
    data_->TableBingli.Cancel();
    QApplication::clipboard()->setText("粘贴");
    QTest::keyClick(memo_, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(State(), TDataSetState::dsEdit);
    EXPECT_EQ(memo_->toPlainText(), "粘贴旧病史\n第二行");
}

TEST_F(MemoTest, TheContextMenusCommandsAskForEdit) {
    memo_->selectAll();
    ChooseFromContextMenu("Delete");
    EXPECT_EQ(State(), TDataSetState::dsEdit);
    EXPECT_EQ(memo_->toPlainText(), "");
    EXPECT_TRUE(memo_->MemoModified());
    data_->TableBingli.Cancel();
    memo_->moveCursor(QTextCursor::Start);
    QApplication::clipboard()->setText("粘贴");
    ChooseFromContextMenu("&Paste");
    EXPECT_EQ(State(), TDataSetState::dsEdit);
    EXPECT_EQ(memo_->toPlainText(), "粘贴旧病史\n第二行");
}

TEST_F(MemoTest, TheContextMenusCommandsChangeNothingWhenTheRecordSetDoesNotEdit) {
    data_->DataSourceBingli.SetAutoEdit(false);
    memo_->selectAll();
    ChooseFromContextMenu("Delete");
    EXPECT_EQ(State(), TDataSetState::dsBrowse);
    EXPECT_EQ(memo_->toPlainText(), "旧病史\n第二行");
    EXPECT_FALSE(memo_->MemoModified());
}

TEST_F(MemoTest, AFailedWriteOnLeavingTakesTheFocusBackAndReachesTheUser) {
    Type("x");
    data_->TableBingliXbs->SetReadOnly(true);
    other_->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(TakeMessages(), std::vector<QString>{"Field 'Xbs' cannot be modified."});
    EXPECT_EQ(QApplication::focusWidget(), memo_);
    EXPECT_TRUE(memo_->MemoModified());
    EXPECT_TRUE(memo_->Focused());
    data_->TableBingliXbs->SetReadOnly(false);
}

TEST_F(MemoTest, DataFieldIgnoresCaseAndCanBeChangedWhileOpen) {
    memo_->SetDataField("xbs");
    EXPECT_EQ(memo_->Field(), data_->TableBingliXbs);
    EXPECT_EQ(memo_->DataField(), "xbs");
    EXPECT_EQ(memo_->toPlainText(), "旧病史\n第二行");
    memo_->SetDataField("ZHSU");
    EXPECT_EQ(memo_->toPlainText(), "牙痛");
}

TEST_F(MemoTest, ChangingDataFieldDiscardsUnwrittenTextButTheSameNameChangesNothing) {
    Type("x");
    memo_->SetDataField("Xbs");
    EXPECT_TRUE(memo_->MemoModified());
    memo_->SetDataField("Jcsj");
    EXPECT_FALSE(memo_->MemoModified());
    EXPECT_EQ(memo_->toPlainText(), "");
}

TEST_F(MemoTest, AnUnknownDataFieldFailsAndTheMemoKeepsItsField) {
    try {
        memo_->SetDataField("Nope");
        ADD_FAILURE() << "no failure";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "DBMemoXbs: Field 'Nope' not found");
    }
    EXPECT_EQ(memo_->DataField(), "Xbs");
    EXPECT_EQ(memo_->Field(), data_->TableBingliXbs);
    EXPECT_EQ(memo_->toPlainText(), "旧病史\n第二行");
}

TEST_F(MemoTest, ATextBeyondTheCapacityShowsTheMessageAndCannotBeEdited) {
    const std::string line(63, 'a');
    std::string huge;
    while (huge.size() <= static_cast<std::size_t>(TDBMemo::kCapacity)) huge += line + "\r\n";
    SetHistory(huge);
    EXPECT_EQ(memo_->toPlainText(), "(Text exceeds memo capacity)");
    EXPECT_FALSE(memo_->Loaded());
    Type("x");
    EXPECT_EQ(memo_->toPlainText(), "(Text exceeds memo capacity)");
    data_->TableBingli.Post();
    EXPECT_EQ(History(), huge);
}

TEST_F(MemoTest, AFieldThatIsNoMemoShowsItsTextAndRefusesCharactersItDoesNotTake) {
    memo_->SetDataSource(&data_->DataSourceBingren);
    memo_->SetDataField("Nl");
    Type("a");
    EXPECT_EQ(memo_->toPlainText(), "");
    EXPECT_FALSE(memo_->MemoModified());
    Type("42");
    EXPECT_EQ(memo_->toPlainText(), "42");
    other_->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(data_->TablebingrenNl->AsInteger(), 42);
}

TEST_F(MemoTest, IsEmptyWithoutAFieldOrWithTheRecordSetClosed) {
    data_->TableBingli.Close();
    EXPECT_EQ(memo_->toPlainText(), "");
    EXPECT_EQ(memo_->Field(), nullptr);
    EXPECT_FALSE(memo_->Loaded());
    data_->TableBingli.Open();
    EXPECT_EQ(memo_->Field(), data_->TableBingliXbs);
    EXPECT_EQ(memo_->toPlainText(), "旧病史\n第二行");
    memo_->SetDataField("");
    EXPECT_EQ(memo_->toPlainText(), "");
}

TEST_F(MemoTest, FollowsTheRecordSetsMoves) {
    AddVisit("复诊");
    EXPECT_EQ(memo_->toPlainText(), "");
    data_->TableBingli.First();
    EXPECT_EQ(memo_->toPlainText(), "旧病史\n第二行");
}

TEST_F(MemoTest, ADoubleClickRaisesOnDblClick) {
    std::vector<TDBMemo*> raised;
    memo_->OnDblClick = [&](TDBMemo* memo) { raised.push_back(memo); };
    QTest::mouseDClick(memo_->viewport(), Qt::LeftButton);
    EXPECT_EQ(raised, std::vector<TDBMemo*>{memo_});
}

TEST_F(MemoTest, HintShowsOnlyWithShowHintAndScrollBarsFollowTheStyle) {
    memo_->SetHint("现病史");
    EXPECT_EQ(memo_->toolTip(), "");
    memo_->SetShowHint(true);
    EXPECT_EQ(memo_->toolTip(), "现病史");
    EXPECT_EQ(memo_->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    memo_->SetScrollBars(TScrollStyle::ssVertical);
    EXPECT_EQ(memo_->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo_->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

}  // namespace
