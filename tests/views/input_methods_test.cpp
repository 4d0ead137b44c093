// How ImeMode and ImeName take effect, through the recording service; and the Qt service itself.
#include <QLocale>
#include <QTest>

#include "navigator_memo_support.h"
#include "recording_input_methods.h"
#include "views/db_memo.h"
#include "views/input_method_line_edit.h"

namespace {

using Calls = std::vector<std::string>;
using enum TImeMode;

const std::string kAbc = "中文 (简体) - 智能 ABC";
const std::string kPinyin = "中文 (简体) - 微软拼音";

class InputMethodsTest : public ::testing::Test {
  protected:
    InputMethodsTest() {
        control_.setObjectName("box");
        ime_.installed = {kPinyin, kAbc};
        ime_.defaultName = kPinyin;
    }

    QWidget control_;
    RecordingInputMethods ime_;
};

TEST_F(InputMethodsTest, DoNothingWithoutADoubleByteLocale) {
    ime_.doubleByte = false;
    ImeFocusIn(&control_, imChinese, kAbc);
    ImeFocusOut(&control_, imDisable, kAbc);
    ImeApplyNow(&control_, imClose, kAbc);
    EXPECT_TRUE(ime_.Take().empty());
}

TEST_F(InputMethodsTest, EnteringWithImCloseTurnsTheInputMethodOff) {
    ImeFocusIn(&control_, imClose, "");
    EXPECT_EQ(ime_.Take(), (Calls{"Enable box", "Close box"}));
}

TEST_F(InputMethodsTest, EnteringWithImChineseOpensItNativeAndFullWidth) {
    ImeFocusIn(&control_, imChinese, "");
    EXPECT_EQ(ime_.Take(), (Calls{"Enable box", "SetConversionMode box native fullShape"}));
    EXPECT_EQ(ConversionOf(imChinese), (TImeConversion{.native = true, .fullShape = true}));
}

TEST_F(InputMethodsTest, EnteringWithImDontCareLeavesItAsItWas) {
    ImeFocusIn(&control_, imDontCare, "");
    ImeFocusOut(&control_, imDontCare, "");
    EXPECT_TRUE(ime_.Take().empty());
}

TEST_F(InputMethodsTest, ImDisableDisablesOnEnteringAndEnablesAgainOnLeaving) {
    ImeFocusIn(&control_, imDisable, "");
    EXPECT_EQ(ime_.Take(), (Calls{"Disable box"}));
    ImeFocusOut(&control_, imDisable, "");
    EXPECT_EQ(ime_.Take(), (Calls{"Enable box"}));
}

TEST_F(InputMethodsTest, ImOpenOpensAndTheOtherModesSetTheirConversion) {
    ImeFocusIn(&control_, imOpen, "");
    EXPECT_EQ(ime_.Take(), (Calls{"Enable box", "Open box"}));
    ImeFocusIn(&control_, imKata, "");
    EXPECT_EQ(ime_.Take(),
              (Calls{"Enable box", "SetConversionMode box native katakana fullShape"}));
    ImeFocusIn(&control_, imSAlpha, "");
    EXPECT_EQ(ime_.Take(), (Calls{"Enable box", "SetConversionMode box"}));
    EXPECT_EQ(ConversionOf(imHanguel), (TImeConversion{.native = true, .fullShape = true}));
    EXPECT_EQ(ConversionOf(imSHanguel), (TImeConversion{.native = true}));
    EXPECT_EQ(ConversionOf(imAlpha), (TImeConversion{.fullShape = true}));
}

TEST_F(InputMethodsTest, AnInstalledNameOtherThanTheDefaultIsActivatedAndTheDefaultComesBack) {
    ImeFocusIn(&control_, imChinese, kAbc);
    EXPECT_EQ(ime_.Take(),
              (Calls{"Activate " + kAbc, "Enable box", "SetConversionMode box native fullShape"}));
    ImeFocusOut(&control_, imChinese, kAbc);
    EXPECT_EQ(ime_.Take(), (Calls{"ActivateDefaultLayout"}));
}

TEST_F(InputMethodsTest, TheNameIsComparedWithTheDefaultIgnoringCase) {
    ImeFocusIn(&control_, imDontCare, "中文 (简体) - 微软拼音");
    ime_.defaultName = "ime-one";
    ImeFocusIn(&control_, imDontCare, "IME-ONE");
    ImeFocusOut(&control_, imDontCare, "IME-ONE");
    EXPECT_TRUE(ime_.Take().empty());
}

TEST_F(InputMethodsTest, ANameThatIsNotInstalledOrWithImDisableActivatesTheDefaultLayout) {
    ImeFocusIn(&control_, imDontCare, "日本語");
    EXPECT_EQ(ime_.Take(), (Calls{"ActivateDefaultLayout"}));
    ImeFocusIn(&control_, imDisable, kAbc);
    EXPECT_EQ(ime_.Take(), (Calls{"ActivateDefaultLayout", "Disable box"}));
    ImeFocusOut(&control_, imDisable, kAbc);
    EXPECT_EQ(ime_.Take(), (Calls{"ActivateDefaultLayout", "Enable box"}));
}

TEST_F(InputMethodsTest, AnInputMethodThatWillNotActivateGivesTheDefaultLayout) {
    ime_.activates = false;
    ImeFocusIn(&control_, imDontCare, kAbc);
    EXPECT_EQ(ime_.Take(), (Calls{"Activate " + kAbc, "ActivateDefaultLayout"}));
}

TEST_F(InputMethodsTest, NamesHaveNoEffectWithoutInstalledInputMethods) {
    ime_.installed.clear();
    ImeFocusIn(&control_, imClose, kAbc);
    ImeFocusOut(&control_, imClose, kAbc);
    EXPECT_EQ(ime_.Take(), (Calls{"Enable box", "Close box"}));
}

TEST_F(InputMethodsTest, AColumnChangeAppliesTheNamedInputMethodOrTheDefaultLayoutAtOnce) {
    ImeApplyNow(&control_, imChinese, kAbc);
    EXPECT_EQ(ime_.Take(),
              (Calls{"Activate " + kAbc, "Enable box", "SetConversionMode box native fullShape"}));
    ImeApplyNow(&control_, imClose, "");
    EXPECT_EQ(ime_.Take(), (Calls{"ActivateDefaultLayout", "Enable box", "Close box"}));
    ImeApplyNow(&control_, imDontCare, kPinyin);
    EXPECT_EQ(ime_.Take(), (Calls{"Activate " + kPinyin}));
}

// ---- Controls that apply their settings on the focus ----

class ImeControlsTest : public ViewWindowTest {
  protected:
    void SetUp() override {
        ViewWindowTest::SetUp();
        ime_.installed = {kAbc};
        search_ = new TImeLineEdit(window_.get());
        search_->setObjectName("Editblhxm");
        search_->SetImeMode(imClose);
        memo_ = new TDBMemo(window_.get());
        memo_->setObjectName("DBMemoXbs");
        memo_->setGeometry(0, 30, 300, 100);
        memo_->SetImeMode(imChinese);
        memo_->SetImeName(kAbc);
        Activate(*window_);
        ime_.Take();
    }

    RecordingInputMethods ime_;
    TImeLineEdit* search_ = nullptr;
    TDBMemo* memo_ = nullptr;
};

TEST_F(ImeControlsTest, SearchBoxAndMemoApplyTheirSettingsAsTheFocusMoves) {
    EXPECT_EQ(search_->ImeMode(), imClose);
    EXPECT_EQ(search_->ImeName(), "");
    search_->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(ime_.Take(), (Calls{"Enable Editblhxm", "Close Editblhxm"}));
    memo_->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(ime_.Take(), (Calls{"Activate " + kAbc, "Enable DBMemoXbs",
                                  "SetConversionMode DBMemoXbs native fullShape"}));
    other_->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(ime_.Take(), (Calls{"ActivateDefaultLayout"}));
}

TEST_F(ImeControlsTest, OnADoubleByteLocaleTheMemoBecomesChangeableOnTheFocus) {
    AddPatient("甲");
    AddVisit("牙痛");
    data_->DataSourceBingli.SetAutoEdit(false);
    memo_->SetDataSource(&data_->DataSourceBingli);
    memo_->SetDataField("Zhsu");
    memo_->setFocus(Qt::TabFocusReason);
    QTest::sendKeyEvent(QTest::Click, memo_, Qt::Key_unknown, "左", {});
    EXPECT_EQ(memo_->toPlainText(), "左牙痛");
    EXPECT_TRUE(memo_->MemoModified());
    ime_.doubleByte = false;
    QTest::sendKeyEvent(QTest::Click, memo_, Qt::Key_unknown, "上", {});
    EXPECT_EQ(memo_->toPlainText(), "左牙痛");
    memo_->SetDataField("Xbs");  // drops the unwritten text
}

// ---- The Qt service ----

// The service in use while no test double replaces it.
TInputMethodService& Platform() {
    SetInputMethods(nullptr);
    return InputMethods();
}

class QtInputMethodsTest : public ::testing::Test {
  protected:
    TInputMethodService& service_ = Platform();
    QWidget control_;
};

TEST_F(QtInputMethodsTest, KnowsADoubleByteLocaleByTheSystemLanguage) {
    const QLocale::Language language = QLocale::system().language();
    EXPECT_EQ(service_.DoubleByteLocale(), language == QLocale::Chinese ||
                                               language == QLocale::Japanese ||
                                               language == QLocale::Korean);
}

TEST_F(QtInputMethodsTest, EnablesAndDisablesThroughTheWidgetAttribute) {
    service_.Disable(&control_);
    EXPECT_FALSE(control_.testAttribute(Qt::WA_InputMethodEnabled));
    service_.Enable(&control_);
    EXPECT_TRUE(control_.testAttribute(Qt::WA_InputMethodEnabled));
}

TEST_F(QtInputMethodsTest, ClosesByAskingForLatinInputAndOpensByNotAsking) {
    control_.setInputMethodHints(Qt::ImhNoPredictiveText);
    service_.Close(&control_);
    EXPECT_EQ(control_.inputMethodHints(),
              Qt::ImhNoPredictiveText | Qt::ImhLatinOnly | Qt::ImhPreferLatin);
    service_.Open(&control_);
    EXPECT_EQ(control_.inputMethodHints(), Qt::ImhNoPredictiveText);
    service_.Close(&control_);
    service_.SetConversionMode(&control_, imChinese);
    EXPECT_EQ(control_.inputMethodHints(), Qt::ImhNoPredictiveText);
    service_.SetConversionMode(&control_, imAlpha);
    EXPECT_EQ(control_.inputMethodHints(), Qt::ImhNoPredictiveText | Qt::ImhPreferLatin);
}

TEST_F(QtInputMethodsTest, CannotNameInputMethods) {
    EXPECT_TRUE(service_.InstalledInputMethods().empty());
    EXPECT_EQ(service_.DefaultInputMethod(), "");
    EXPECT_FALSE(service_.Activate(kAbc));
    service_.ActivateDefaultLayout();
}

}  // namespace
