#include "app/record_rules.h"

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
