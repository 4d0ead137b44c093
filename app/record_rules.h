// The clinic's record rules: the defaults of new patients and visits, the visit date on post,
// the follow-up date carried from a visit to its patient, and the one-click follow-up
// proposals of the patient and visit grids. They act on the record sets alone; Attach()
// hangs the first four on the record sets' events, and the grids' cell-click handlers call the
// proposals with the clicked column's field name.
//
// The rules keep no state and catch nothing: a failure ends the rule and reaches the user.
#pragma once

#include <string>

#include "data/clinic_record_sets.h"

class TRecordRules {
  public:
    explicit TRecordRules(ClinicRecordSets& data) : data_(data) {}

    // Attaches the record-set handlers below to their events.
    void Attach();

    // A new patient's first visit is today.
    void TablebingrenAfterInsert(TDataSet* DataSet);
    // A new visit's four memos get their headings.
    void TableBingliAfterInsert(TDataSet* DataSet);
    // A visit posted without a date is dated today.
    void TableBingliBeforePost(TDataSet* DataSet);
    // A visit's later follow-up date becomes its patient's.
    void TableBingliAfterPost(TDataSet* DataSet);

    // A click into the patient grid's follow-up cell proposes today + 7, replacing any date.
    void ProposePatientFollowUp(const std::string& fieldName);
    // A click into the visit grid's follow-up cell proposes today + 7 where there is none.
    void ProposeVisitFollowUp(const std::string& fieldName);

    // The name search: Queryczxm opened on every patient whose name holds `text`, in name
    // order; where none does and `text` is Latin letters only, on the names whose pinyin runs
    // as the letters. Answers 0, 1 or 2 for none, one or several: two matches decide it,
    // however many there are. The query stands on its first row.
    int FindNames(const std::string& text);

  private:
    int OpenNameSearch(const std::string& condition);

    ClinicRecordSets& data_;
};
