#include "app/printing/call_list_print.h"

#include <utility>

#include "app/printing/table_twin.h"

namespace {

// The columns with their shares of the width; the last, without a field, is left blank.
const std::pair<const char*, double> kColumns[] = {
    {"Xm", 0.12}, {"Lxdh", 0.16}, {"Fzyysj", 0.15}, {"Sfylxfz", 0.18}, {"Dfhf", 0.12}};
constexpr double kOutcomeShare = 0.27;
constexpr double kGutter = 0.015;
constexpr double kPointSize = 10;
// Room for a line or two of handwriting.
constexpr double kRowHeight = 30;
constexpr double kTotalSpace = 8;
constexpr double kPadding = 3;  // between a row's text and the rule above it

// A row of the table: the texts in the columns, the outcome's column empty.
TPrintBlock Row(const std::vector<QString>& texts, bool bold) {
    TPrintBlock row{.pointSize = kPointSize, .padding = kPadding, .ruleBelow = true};
    double left = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const double share = i < std::size(kColumns) ? kColumns[i].second : kOutcomeShare;
        row.cells.push_back(
            {texts[i], bold ? static_cast<int>(texts[i].size()) : 0, left, share - kGutter});
        left += share;
    }
    return row;
}

}  // namespace

TCallListPrint::TCallListPrint(const TTable& shown, QString subject)
    : subject_(std::move(subject)) {
    for (const auto& [name, share] : kColumns) {
        captions_.push_back(QString::fromStdString(shown.FieldByName(name)->DisplayName()));
    }
    std::unique_ptr<TTable> patients = TwinOf(shown);
    patients->Open();
    for (; !patients->Eof(); patients->Next()) {
        std::vector<QString>& row = rows_.emplace_back();
        for (const auto& [name, share] : kColumns) {
            row.push_back(QString::fromStdString(patients->FieldByName(name)->AsString()));
        }
    }
}

void TCallListPrint::AddBlocks(TPagedDocument& document) const {
    std::vector<QString> titles = captions_;
    titles.push_back(QStringLiteral("通话结果"));
    document.SetBodyHead(Row(titles, true));
    for (const std::vector<QString>& row : rows_) {
        TPrintBlock block = Row(row, false);
        block.minHeight = kRowHeight;
        document.Add(block);
    }
    document.Add({.cells = {{QStringLiteral("共 %1 位病人").arg(rows_.size())}},
                  .pointSize = kPointSize,
                  .spaceBefore = kTotalSpace});
}
