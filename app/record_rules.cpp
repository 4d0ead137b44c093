#include "app/record_rules.h"

#include <algorithm>

#include "base/dates.h"

namespace {

// The column that the one-click proposals answer to, compared with case.
constexpr const char* kFollowUpField = "Fzyysj";
constexpr int kFollowUpDays = 7;

}  // namespace

void TRecordRules::Attach() {
    data_.Tablebingren.AfterInsert = [this](TDataSet* d) { TablebingrenAfterInsert(d); };
    data_.TableBingli.AfterInsert = [this](TDataSet* d) { TableBingliAfterInsert(d); };
    data_.TableBingli.BeforePost = [this](TDataSet* d) { TableBingliBeforePost(d); };
    data_.TableBingli.AfterPost = [this](TDataSet* d) { TableBingliAfterPost(d); };
}

void TRecordRules::TablebingrenAfterInsert(TDataSet*) {
    data_.TablebingrenCzrq->SetAsDateTime(dates::Today());
}

void TRecordRules::TableBingliAfterInsert(TDataSet*) {
    data_.TableBingliXbs->SetAsString("现病史：");
    data_.TableBingliJcsj->SetAsString("检查所见：");
    data_.TableBingliZhengduan->SetAsString("诊断：");
    data_.TableBingliZhiliao->SetAsString("治疗：");
}

void TRecordRules::TableBingliBeforePost(TDataSet*) {
    if (data_.TableBingliLzrq->IsNull()) data_.TableBingliLzrq->SetAsDateTime(dates::Today());
}

void TRecordRules::TableBingliAfterPost(TDataSet*) {
    // A missing date reads as 0, earlier than every real one.
    if (data_.TableBingliFzyysj->AsDateTime() > data_.TablebingrenFzyysj->AsDateTime()) {
        data_.Tablebingren.Edit();
        data_.TablebingrenFzyysj->SetAsDateTime(data_.TableBingliFzyysj->AsDateTime());
        data_.Tablebingren.Post();
    }
}

void TRecordRules::ProposePatientFollowUp(const std::string& fieldName) {
    if (fieldName != kFollowUpField) return;
    data_.Tablebingren.Edit();
    data_.TablebingrenFzyysj->SetAsDateTime(dates::Today() + kFollowUpDays);
}

void TRecordRules::ProposeVisitFollowUp(const std::string& fieldName) {
    if (fieldName != kFollowUpField || !data_.TableBingliFzyysj->IsNull()) return;
    data_.TableBingli.Edit();
    data_.TableBingliFzyysj->SetAsDateTime(dates::Today() + kFollowUpDays);
}

namespace {

bool IsLatinLetters(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
}

}  // namespace

// The text goes into the statement as it stands: the engine binds the quoted literal as a
// parameter, so it never becomes part of SQL.
int TRecordRules::FindNames(const std::string& text) {
    const int found = OpenNameSearch("  Xm LIKE '%" + text + "%'");
    // Letters that no name holds may be a name's pinyin, typed with the input method off.
    if (found < 1 && IsLatinLetters(text)) return OpenNameSearch("  Xm PINYIN '" + text + "'");
    return found;
}

int TRecordRules::OpenNameSearch(const std::string& condition) {
    TQuery& query = data_.Queryczxm;
    query.Close();
    query.SetSQL(
        {"SELECT Id, Xm, Xb, Nl, Gzdw, Lxdh FROM bingren.DB WHERE", condition, " ORDER BY Xm"});
    query.Open();
    return query.RecordCountUpTo(2);
}
