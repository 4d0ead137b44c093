// Printing: a patient's record and the reminder's call list laid out on A4 pages, painted to
// images and to a PDF, and Ctrl+P in the two windows that print them.
#include <QImage>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include "app/Unitbinglidj.h"
#include "app/common/window_style.h"
#include "app/forms/Unittsfzbr.h"
#include "app/printing/call_list_print.h"
#include "app/printing/patient_record_print.h"
#include "app/printing/print_preview.h"
#include "clinic_fixture.h"
#include "views/grid/grid_cell_editor.h"

namespace {

// The text without blanks and line breaks, which the PDF's text and the layout place apart.
QString Compact(QString text) {
    text.removeIf([](QChar c) { return c.isSpace() || c == QChar::LineSeparator; });
    return text;
}

// Whether a line lies inside the area, up to the rounding of its sums of line heights; an
// empty line counts by its height.
bool Within(const QRectF& line, const QRectF& area) {
    constexpr double kRounding = 1e-6;
    return line.left() >= area.left() - kRounding && line.right() <= area.right() + kRounding &&
           line.top() >= area.top() - kRounding && line.bottom() <= area.bottom() + kRounding;
}

// Every page's text as pdftotext reads it, compacted.
std::vector<QString> PdfPages(const QString& pdf) {
    QProcess pdftotext;
    pdftotext.start("pdftotext", {pdf, "-"});
    EXPECT_TRUE(pdftotext.waitForFinished(-1));
    QStringList pages = QString::fromUtf8(pdftotext.readAllStandardOutput()).split('\f');
    pages.removeLast();  // after the last page's form feed
    std::vector<QString> compacted;
    for (const QString& page : pages) compacted.push_back(Compact(page));
    return compacted;
}

// The document printed to a PDF, as the print preview's printer would print it.
std::unique_ptr<TPagedDocument> PrintToPdf(const TPrintable& printable, const QString& pdf) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    SetUpA4(printer);
    std::unique_ptr<TPagedDocument> document = printable.LayOutOn(printer);
    document->Print(printer);
    return document;
}

// A blank A4 sheet at `dpi`.
QImage A4Image(int dpi) {
    QImage image(qRound(210 / 25.4 * dpi), qRound(297 / 25.4 * dpi), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    return image;
}

bool HasInk(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixel(x, y) != qRgb(255, 255, 255)) return true;
        }
    }
    return false;
}

// Presses Ctrl+P in `window`; the print preview that it opens is printed to `pdf` and closed.
// Answers how many pages the preview showed: 0 when none opened.
int PrintThroughPreview(QWidget* window, const QString& pdf) {
    int pages = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        if (!preview) return;
        watch.stop();
        auto* shown = preview->findChild<QPrintPreviewWidget*>();
        pages = shown->pageCount();
        preview->printer()->setOutputFormat(QPrinter::PdfFormat);
        preview->printer()->setOutputFileName(pdf);
        shown->print();
        preview->close();
    });
    watch.start(0);
    QApplication::setActiveWindow(window);
    QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, Qt::Key_P,
                    Qt::ControlModifier);
    return pages;
}

}  // namespace

class PrintTest : public ClinicFixture {
  protected:
    QString Pdf(const char* name) const { return QString::fromStdString(root_ / name); }

    // A visit's note: its visit's mark, a line break, then enough text for several lines.
    static QString Note(int visit, const char* what) {
        QString note = QStringLiteral("第%1次%2").arg(visit).arg(QString::fromUtf8(what));
        note += '\n';
        for (int i = 0; i < 12; ++i) note += QStringLiteral("牙龈红肿出血左下%1号牙松动，").arg(i);
        return note;
    }
};

// Visits are added out of date order, with notes long enough to run over pages; another
// patient's visit must not appear.
TEST_P(PrintTest, APatientWithManyLongVisitsIsPrintedWholeAndNoLineIsCut) {
    AddPatient("别人");
    data_->TableBingli.Append();
    data_->TableBingliXbs->SetAsString("别人的现病史");
    data_->TableBingli.Post();
    AddPatient("王小明", "13912345678");
    constexpr int kVisits = 40;
    const char* const kNotes[] = {"现病史", "检查所见", "诊断", "治疗"};
    TMemoField* const memos[] = {data_->TableBingliXbs, data_->TableBingliJcsj,
                                 data_->TableBingliZhengduan, data_->TableBingliZhiliao};
    for (int i = 0; i < kVisits; ++i) {
        data_->TableBingli.Append();
        data_->TableBingliLzrq->SetAsDateTime(dates::Today() - (i * 7) % kVisits);
        for (int n = 0; n < 4; ++n) memos[n]->SetAsString(Note(i, kNotes[n]).toStdString());
        data_->TableBingli.Post();
    }
    const TPatientRecordPrint record(*data_);
    EXPECT_EQ(record.Subject(), "病人病历　病历号：2　姓名：王小明");

    const QString pdf = Pdf("record.pdf");
    const std::unique_ptr<TPagedDocument> printed = PrintToPdf(record, pdf);
    const std::vector<QString> pdfPages = PdfPages(pdf);
    const int pages = printed->PageCount();
    ASSERT_GT(pages, 10);
    ASSERT_EQ(static_cast<int>(pdfPages.size()), pages);
    QString laidOut;
    bool notesRunOn = false;
    for (int page = 0; page < pages; ++page) {
        const QString& text = pdfPages[page];
        EXPECT_TRUE(text.contains(Compact(QStringLiteral("第%1页共%2页").arg(page + 1).arg(pages))))
            << page;
        EXPECT_TRUE(text.contains(Compact("王小明"))) << "every page names the patient";
        EXPECT_TRUE(text.contains(Compact("打印日期：2026-12-8"))) << page;
        const std::vector<TPrintedLine> lines = printed->Lines(page);
        for (const TPrintedLine& line : lines) {
            EXPECT_TRUE(Within(line.rect, printed->BodyRect())) << page;
            EXPECT_TRUE(text.contains(Compact(line.text))) << page << line.text.toStdString();
            laidOut += Compact(line.text);
        }
        if (page > 0) notesRunOn |= printed->Lines(page - 1).back().block == lines.front().block;
    }
    EXPECT_TRUE(notesRunOn) << "a long note goes on at the top of the next page";
    EXPECT_FALSE(laidOut.contains(Compact("别人的现病史")));
    // Each note whole and once, the visits from the earliest date on (same dates: as recorded).
    qsizetype previous = -1;
    for (int date = kVisits - 1; date >= 0; --date) {
        for (int i = 0; i < kVisits; ++i) {
            if ((i * 7) % kVisits != date) continue;
            for (const char* what : kNotes) {
                const QString note = Compact(Note(i, what));
                const qsizetype at = laidOut.indexOf(note);
                EXPECT_GT(at, previous) << i << what;
                EXPECT_EQ(laidOut.indexOf(note, at + 1), -1) << i << what;
                previous = at;
            }
        }
    }

    // On images of the pages, nothing is painted below the body but the foot.
    const QImage sheet = A4Image(100);
    const std::unique_ptr<TPagedDocument> painted = record.LayOutOn(sheet);
    const QRect belowBody(0, qCeil(painted->BodyRect().bottom()) + 1, sheet.width(), 6);
    for (int page = 0; page < painted->PageCount(); ++page) {
        QImage image = sheet;
        QPainter painter(&image);
        painted->PaintPage(painter, page);
        painter.end();
        EXPECT_TRUE(HasInk(image, painted->BodyRect().toRect())) << page;
        EXPECT_FALSE(HasInk(image, belowBody)) << page;
        for (const TPrintedLine& line : painted->Lines(page)) {
            EXPECT_TRUE(Within(line.rect, painted->BodyRect())) << page;
        }
    }
}

class PrintWindowTest : public PrintTest {
  protected:
    void SetUp() override {
        PrintTest::SetUp();
        data_.reset();  // the main window owns the record sets
    }
    void TearDown() override {
        window_.reset();
        PrintTest::TearDown();
    }
    // Patients, each with a follow-up in so many days (0: none) and so many visits, added before
    // the window opens.
    void AddPatients(const std::vector<std::tuple<std::string, int, int>>& patients) {
        ClinicRecordSets data;
        data.Open();
        int added = 0;
        for (const auto& [name, followUpInDays, visits] : patients) {
            data.Tablebingren.Append();
            data.TablebingrenXm->SetAsString(name);
            data.TablebingrenLxdh->SetAsString("0571-8" + std::to_string(++added));
            if (followUpInDays) {
                data.TablebingrenFzyysj->SetAsDateTime(dates::Today() + followUpInDays);
            }
            data.Tablebingren.Post();
            for (int i = 0; i < visits; ++i) {
                data.TableBingli.Append();
                data.TableBingliZhsu->SetAsString(name + "的第" + std::to_string(i) + "次主诉");
                data.TableBingli.Post();
            }
        }
    }
    TFormQorvynabldjxt& Open() {
        window_ = std::make_unique<TFormQorvynabldjxt>();
        window_->show();
        return *window_;
    }
    // The Id column of every row that the patient grid shows, and the visits' current record.
    std::vector<QString> GridRows() const {
        std::vector<QString> rows;
        for (int row = 0; row < window_->DBGridBingren->VisibleRowCount(); ++row) {
            rows.push_back(window_->DBGridBingren->CellText(1, row));
        }
        return rows;
    }

    // Inside the reminder: an answer chosen and not posted, Ctrl+P, then the call list checked
    // against the rows that the reminder's table holds.
    void PrintInReminder(TFormtsfzbr* reminder) {
        TFormQorvynabldjxt& w = *window_;
        TTable& shown = w.Tablebingren;
        shown.MoveBy(3);
        const int current = w.TablebingrenId->AsInteger();
        shown.Edit();
        w.TablebingrenDfhf->SetAsString("无人应答");
        const QString pdf = Pdf("calls.pdf");
        EXPECT_EQ(PrintThroughPreview(reminder, pdf), 2);
        EXPECT_EQ(shown.State(), TDataSetState::dsBrowse);
        EXPECT_EQ(w.TablebingrenId->AsInteger(), current);

        std::vector<std::vector<QString>> rows;
        for (shown.First(); !shown.Eof(); shown.Next()) {
            rows.push_back({});
            for (const TField* field : std::initializer_list<const TField*>{
                     w.TablebingrenXm, w.TablebingrenLxdh, w.TablebingrenFzyysj,
                     w.TablebingrenSfylxfz, w.TablebingrenDfhf}) {
                rows.back().push_back(QString::fromStdString(field->AsString()));
            }
        }
        ASSERT_EQ(rows.size(), 40u);
        EXPECT_EQ(rows[3][4], "无人应答");
        EXPECT_EQ(TCallListPrint(shown, "").Rows(), rows);
        const std::vector<QString> pages = PdfPages(pdf);
        ASSERT_EQ(pages.size(), 2u);
        const QString text = pages[0] + pages[1];
        qsizetype previous = -1;
        for (const std::vector<QString>& row : rows) {
            const qsizetype at = text.indexOf(Compact(row[0]));
            EXPECT_GT(at, previous) << row[0].toStdString();
            previous = at;
        }
        EXPECT_TRUE(pages[1].contains(Compact("提示复诊病人"))) << "the subject heads it";
        EXPECT_TRUE(pages[1].contains(Compact("通话结果"))) << "so do the titles";
        EXPECT_TRUE(text.contains(Compact("共40位病人")));
    }

    std::unique_ptr<TFormQorvynabldjxt> window_;
};

// The name is typed into the patient grid and not yet written when Ctrl+P is pressed.
TEST_P(PrintWindowTest, CtrlPPostsAPendingEditFirstAndMovesNothing) {
    std::vector<std::tuple<std::string, int, int>> patients;
    for (int i = 0; i < 30; ++i)
        patients.emplace_back("病人" + std::to_string(i), 0, i == 11 ? 3 : 1);
    AddPatients(patients);
    TFormQorvynabldjxt& w = Open();
    w.Tablebingren.MoveBy(11);
    w.TableBingli.Next();
    const std::vector<QString> rows = GridRows();
    const int activeRow = w.Tablebingren.ActiveRecord();
    const int visit = w.TableBingliId->AsInteger();
    w.DBGridBingren->setFocus();
    w.DBGridBingren->SetSelectedIndex(2);
    QTest::keyClick(w.DBGridBingren, Qt::Key_F2);
    QTest::keyClicks(w.DBGridBingren->InplaceEditor(), "x");
    const QString typed = w.DBGridBingren->InplaceEditor()->text();
    ASSERT_TRUE(w.DBGridBingren->CellModified());

    const QString pdf = Pdf("record.pdf");
    EXPECT_EQ(PrintThroughPreview(&w, pdf), 1);
    EXPECT_EQ(w.Tablebingren.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(QString::fromStdString(w.TablebingrenXm->AsString()), typed);
    EXPECT_EQ(w.TablebingrenId->AsInteger(), 12);
    EXPECT_EQ(w.Tablebingren.ActiveRecord(), activeRow);
    EXPECT_EQ(GridRows(), rows);
    EXPECT_EQ(w.TableBingliId->AsInteger(), visit);
    const std::vector<QString> printed = PdfPages(pdf);
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_TRUE(printed[0].contains(Compact("姓名：" + typed)));
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(printed[0].contains(Compact(QStringLiteral("病人11的第%1次主诉").arg(i)))) << i;
    }
    EXPECT_FALSE(printed[0].contains(Compact("病人12的")));
}

// Enough patients due tomorrow for two pages, among others who are not; the reminder's current
// patient has an answer chosen and not yet posted when Ctrl+P is pressed.
TEST_P(PrintWindowTest, TheCallListHoldsExactlyTheReminderRowsInTheirOrder) {
    std::vector<std::tuple<std::string, int, int>> patients;
    for (int i = 0; i < 45; ++i) {
        const QString name = QStringLiteral("客") + QChar(0x5F00 + i);
        patients.emplace_back(name.toStdString(), i % 9 == 0 ? 2 : 1, 0);
    }
    AddPatients(patients);
    Open();
    bool opened = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* reminder = dynamic_cast<TFormtsfzbr*>(QApplication::activeModalWidget());
        if (!reminder) return;
        watch.stop();
        opened = true;
        PrintInReminder(reminder);
        reminder->close();
    });
    watch.start(0);
    window_->BitBtnTsfz->click();
    EXPECT_TRUE(opened);
}

ON_BOTH_STORAGES(PrintTest);
ON_BOTH_STORAGES(PrintWindowTest);
