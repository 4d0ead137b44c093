#include "app/printing/patient_record_print.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>

#include "app/printing/table_twin.h"

namespace {

// The patient's fields, row by row: three to a row where they are short.
const std::vector<std::vector<const char*>> kPatientRows = {{"Id", "Xm", "Xb"},
                                                            {"Nl", "Lxdh", "Czrq"},
                                                            {"Fzyysj", "Sfylxfz", "Dfhf"},
                                                            {"Txdz"},
                                                            {"Gzdw"},
                                                            {"Dzyx"},
                                                            {"Jtcy"}};

// The row that opens a visit: each field with its share of the width.
const std::pair<const char*, double> kVisitHeading[] = {
    {"Lzrq", 0.24}, {"Id", 0.21}, {"Jzys", 0.24}, {"Fzyysj", 0.31}};
constexpr const char* kVisitCompanion = "Jtcy";
// The complaint, captioned by its label, and the notes, which have none: they are captioned as
// the main window's memos are.
const std::pair<const char*, const char*> kVisitTexts[] = {{"Zhsu", nullptr},
                                                           {"Xbs", "现病史"},
                                                           {"Jcsj", "检查所见"},
                                                           {"Zhengduan", "诊断"},
                                                           {"Zhiliao", "治疗"}};

constexpr double kGutter = 0.02;        // between the columns of a row
constexpr double kCaptionShare = 0.13;  // of a caption beside its text
constexpr double kRowSpace = 3;
constexpr double kVisitSpace = 8;
constexpr double kRulePadding = 3;  // between a visit's rule and its first line
constexpr double kSectionSpace = 14;
constexpr double kSectionPoints = 12;

QString Text(const TField& field) {
    return QString::fromStdString(field.AsString());
}

QString Caption(const TDataSet& dataSet, const char* name) {
    return QString::fromStdString(dataSet.FieldByName(name)->DisplayName());
}

// A new visit's notes open with their caption (the visit rules write it there); beside the
// caption in print it would stand twice.
QString WithoutCaption(const QString& text, const QString& caption) {
    for (const QChar colon : {QChar(u'：'), QChar(u':')}) {
        if (text.startsWith(caption + colon)) {
            QString rest = text.mid(caption.size() + 1);
            while (!rest.isEmpty() && rest.front().isSpace()) rest.remove(0, 1);
            return rest;
        }
    }
    return text;
}

}  // namespace

TPatientRecordPrint::TPatientRecordPrint(const ClinicRecordSets& data) {
    ReadPatient(data);
    ReadVisits(data);
}

void TPatientRecordPrint::ReadPatient(const ClinicRecordSets& data) {
    for (const std::vector<const char*>& row : kPatientRows) {
        std::vector<Field>& fields = patientRows_.emplace_back();
        for (const char* name : row) {
            fields.push_back(
                {Caption(data.Tablebingren, name), Text(*data.Tablebingren.FieldByName(name))});
        }
    }
    subject_ = QStringLiteral("病人病历　%1：%2　%3：%4")
                   .arg(Caption(data.Tablebingren, "Id"), Text(*data.TablebingrenId),
                        Caption(data.Tablebingren, "Xm"), Text(*data.TablebingrenXm));
}

// Through a table of its own, by the index that serves a patient's visits; sorted here, as no
// index orders them by date.
void TPatientRecordPrint::ReadVisits(const ClinicRecordSets& data) {
    const TTable& shown = data.TableBingli;
    std::unique_ptr<TTable> visits = TwinOf(shown);
    visits->SetFilter("Brid = " + std::to_string(data.TablebingrenId->AsInteger()));
    visits->SetFiltered(true);
    visits->Open();
    for (; !visits->Eof(); visits->Next()) {
        const auto field = [&](const char* name) -> Field {
            return {Caption(shown, name), Text(*visits->FieldByName(name))};
        };
        Visit& visit = visits_.emplace_back();
        visit.date = visits->FieldByName("Lzrq")->AsDateTime();
        visit.id = visits->FieldByName("Id")->AsInteger();
        for (const auto& [name, share] : kVisitHeading) visit.heading.push_back(field(name));
        visit.companion = field(kVisitCompanion);
        for (const auto& [name, caption] : kVisitTexts) {
            Field text = field(name);
            if (caption) text.caption = QString::fromUtf8(caption);
            text.value = WithoutCaption(text.value, text.caption);
            visit.texts.push_back(std::move(text));
        }
    }
    std::stable_sort(visits_.begin(), visits_.end(), [](const Visit& a, const Visit& b) {
        return std::tie(a.date, a.id) < std::tie(b.date, b.id);
    });
}

namespace {

// "caption：value", the caption in bold.
TPrintCell CaptionedCell(const QString& caption, const QString& value, double left, double share) {
    const QString head = caption + QStringLiteral("：");
    return {head + value, static_cast<int>(head.size()), left, share - kGutter};
}

}  // namespace

void TPatientRecordPrint::AddBlocks(TPagedDocument& document) const {
    AddPatient(document);
    const QString section = QStringLiteral("就诊记录（共 %1 次）").arg(visits_.size());
    document.Add({.cells = {{section, static_cast<int>(section.size())}},
                  .pointSize = kSectionPoints,
                  .spaceBefore = kSectionSpace,
                  .keepWithNext = true});
    for (const Visit& visit : visits_) AddVisit(document, visit);
}

void TPatientRecordPrint::AddPatient(TPagedDocument& document) const {
    for (const std::vector<Field>& row : patientRows_) {
        TPrintBlock block{.spaceBefore = kRowSpace};
        const double share = 1.0 / static_cast<double>(row.size() == 1 ? 1 : 3);
        for (std::size_t i = 0; i < row.size(); ++i) {
            block.cells.push_back(
                CaptionedCell(row[i].caption, row[i].value, static_cast<double>(i) * share, share));
        }
        document.Add(block);
    }
}

void TPatientRecordPrint::AddVisit(TPagedDocument& document, const Visit& visit) const {
    TPrintBlock heading{.spaceBefore = kVisitSpace,
                        .padding = kRulePadding,
                        .ruleAbove = true,
                        .keepWithNext = true};
    double left = 0;
    for (std::size_t i = 0; i < visit.heading.size(); ++i) {
        const double share = kVisitHeading[i].second;
        heading.cells.push_back(
            CaptionedCell(visit.heading[i].caption, visit.heading[i].value, left, share));
        left += share;
    }
    document.Add(heading);
    document.Add({.cells = {CaptionedCell(visit.companion.caption, visit.companion.value, 0, 1)},
                  .spaceBefore = kRowSpace,
                  .keepWithNext = true});
    for (const Field& text : visit.texts) {
        const QString caption = text.caption + QStringLiteral("：");
        document.Add({.cells = {{caption, static_cast<int>(caption.size()), 0, kCaptionShare},
                                {text.value, 0, kCaptionShare, 1 - kCaptionShare}},
                      .spaceBefore = kRowSpace});
    }
}
