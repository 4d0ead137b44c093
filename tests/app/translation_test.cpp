// The program's translation into Simplified Chinese: every entry keeps the place markers of its
// English text; the language follows the desktop or the user's request; and, installed, the
// failures, boxes and dialogs that the user reads are Chinese with their arguments in place,
// until the translation goes and the program is English again.
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <memory>
#include <stdexcept>

#include "app/translations/language.h"
#include "clinic_fixture.h"
#include "failure_box_user.h"
#include "views/confirm_delete.h"
#include "views/failure_reporting.h"
#include "views/password_dialog.h"

// Failures show Qt's strings as text.
void PrintTo(const QString& text, std::ostream* out) {
    *out << text.toStdString();
}

namespace {

struct TsEntry {
    QString context;
    QString source;
    QString translation;
};

std::vector<TsEntry> TsEntries() {
    QFile file(CLINIC_TS_FILE);
    if (!file.open(QIODevice::ReadOnly)) return {};
    std::vector<TsEntry> entries;
    QString context;
    QXmlStreamReader xml(&file);
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (!xml.isStartElement()) continue;
        if (xml.name() == u"name") context = xml.readElementText();
        if (xml.name() == u"source") entries.push_back({context, xml.readElementText(), {}});
        if (xml.name() == u"translation") entries.back().translation = xml.readElementText();
    }
    return entries;
}

// The place markers of a text, sorted: "%s" and "$%s" of the data layer's messages, "%1", "%2",
// ... of the windows' texts.
std::string Markers(const QString& text) {
    static const QRegularExpression marker(R"(\$?%(s|\d+))");
    QStringList markers;
    for (const QRegularExpressionMatch& match : marker.globalMatch(text)) {
        markers.append(match.captured());
    }
    markers.sort();
    return markers.join(' ').toStdString();
}

TEST(TranslationFileTest, EveryEntryIsTranslatedWithThePlaceMarkersOfItsText) {
    const std::vector<TsEntry> entries = TsEntries();
    ASSERT_GT(entries.size(), 80u) << CLINIC_TS_FILE;
    for (const TsEntry& entry : entries) {
        const std::string where = entry.context.toStdString() + ": " + entry.source.toStdString();
        EXPECT_FALSE(entry.translation.isEmpty()) << where;
        EXPECT_EQ(Markers(entry.translation), Markers(entry.source)) << where;
    }
}

TEST(LanguageTest, ChineseForAChineseDesktopOrWhenAskedForEnglishOtherwise) {
    EXPECT_EQ(ChooseLanguage("", {"zh-CN", "zh-Hans-CN"}), Language::Chinese);
    EXPECT_EQ(ChooseLanguage("", {"zh_TW.UTF-8"}), Language::Chinese);
    EXPECT_EQ(ChooseLanguage("", {"fr-FR", "zh-CN"}), Language::Chinese)
        << "the first language that the program has";
    EXPECT_EQ(ChooseLanguage("", {"en-GB", "zh-CN"}), Language::English);
    EXPECT_EQ(ChooseLanguage("", {"en-US"}), Language::English);
    EXPECT_EQ(ChooseLanguage("", {"C"}), Language::English);
    EXPECT_EQ(ChooseLanguage("", {}), Language::English);
    EXPECT_EQ(ChooseLanguage("en", {"zh-CN"}), Language::English);
    EXPECT_EQ(ChooseLanguage("zh_CN", {"en-US"}), Language::Chinese);
    EXPECT_EQ(ChooseLanguage("de", {"zh-CN"}), Language::Chinese) << "an unknown request";
}

class ChineseProgramTest : public ClinicFixture {
  protected:
    void SetUp() override {
        ClinicFixture::SetUp();
        TApplication::SetMessageBox([this](const QString& caption, const QString& text) {
            boxes_.push_back({caption, text});
        });
    }
    void TearDown() override {
        TApplication::SetMessageBox(nullptr);
        ClinicFixture::TearDown();
    }

    // What the application failure handler shows for the failure of `action`.
    QString Shown(const std::function<void()>& action) {
        boxes_.clear();
        try {
            action();
        } catch (...) {
            static_cast<TApplication*>(qApp)->HandleException(std::current_exception());
        }
        return boxes_.size() == 1 ? boxes_[0].second : "(no box)";
    }

    std::vector<std::pair<QString, QString>> boxes_;
};

TEST_F(ChineseProgramTest, FailuresAreChineseWithTheirArgumentsUntilTheTranslationGoes) {
    const int id = AddPatient("张三");
    TTable& patients = data_->Tablebingren;
    data_->TablebingrenXm->SetRequired(true);
    {
        const Translation chinese(Language::Chinese);
        patients.Insert();
        EXPECT_EQ(Shown([&] { patients.Post(); }), "“姓名”不能为空。");
        patients.Cancel();

        // Another program holds the patient's record lock.
        const int other = open((DatabaseDir() / "bingren.LCK").c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(other, 0);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = id;
        lock.l_len = 1;
        ASSERT_EQ(fcntl(other, F_OFD_SETLK, &lock), 0);
        EXPECT_EQ(Shown([&] { patients.Edit(); }),
                  QString("记录已被其他用户锁定\r\n记录号：%1。").arg(id));
        close(other);
        EXPECT_EQ(Shown([&] { patients.SetFilter("[Xm = '张三'"); }),
                  "筛选条件中有无效字符：“[”。");
    }
    patients.Insert();
    EXPECT_EQ(Shown([&] { patients.Post(); }), "Field '姓名' must have a value.");
}

TEST_F(ChineseProgramTest, BoxesAndDialogsAreChinese) {
    const Translation chinese(Language::Chinese);
    ReportStartupFailure(std::make_exception_ptr(std::runtime_error("磁盘坏了")));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].first, "应用程序错误");
    EXPECT_TRUE(QRegularExpression(
                    "^模块 \\S+ 中地址 [0-9A-F]{8} 处发生异常 Exception。\r\n磁盘坏了。\r\n$")
                    .match(boxes_[0].second)
                    .hasMatch())
        << boxes_[0].second.toStdString();

    {
        const FailureBoxUser user;
        EXPECT_TRUE(ConfirmDelete(nullptr));
        ASSERT_EQ(user.Seen().size(), 1u);
        EXPECT_EQ(user.Seen()[0].caption, "确认");
        EXPECT_EQ(user.Seen()[0].text, "确定删除当前记录吗？");
    }

    const TPasswordDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "输入密码");
    EXPECT_EQ(dialog.GroupBox1->title(), "密码");
    EXPECT_EQ(QStringList({dialog.AddButton->text(), dialog.RemoveButton->text(),
                           dialog.RemoveAllButton->text(), dialog.OKButton->text(),
                           dialog.CancelButton->text()}),
              QStringList({"添加(&A)", "删除(&R)", "全部删除(&M)", "确定(&O)", "取消"}));

    // Qt's own words in the program's boxes and edit menus come from Qt's translation.
    const QMessageBox question(QMessageBox::Question, "", "",
                               QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(question.button(QMessageBox::Ok)->text(), "确定");
    EXPECT_EQ(question.button(QMessageBox::Cancel)->text(), "取消");
    QPlainTextEdit memo;
    const std::unique_ptr<QMenu> menu(memo.createStandardContextMenu());
    EXPECT_TRUE(menu->actions().front()->text().startsWith("撤消(&U)"))
        << menu->actions().front()->text().toStdString();
}

}  // namespace
