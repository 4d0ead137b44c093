// A patient's record for print: every field of his, then every visit of his in the order of
// the visit dates (visits of one day in the order they were recorded), each with its own fields,
// its complaint and its four notes. Captions are the ones the windows show.
#pragma once

#include <QString>
#include <vector>

#include "app/printing/printable.h"
#include "data/clinic_record_sets.h"

class TPatientRecordPrint : public TPrintable {
  public:
    // Reads the current patient of `data`, and his visits through a table of its own, so that
    // the window's record sets do not move. Requires: Tablebingren in browse state on a patient,
    // a pending edit of either record set posted or dropped before.
    explicit TPatientRecordPrint(const ClinicRecordSets& data);

    QString Subject() const override { return subject_; }

  protected:
    void AddBlocks(TPagedDocument& document) const override;

  private:
    // A caption and a value, printed as "caption：value".
    struct Field {
        QString caption;
        QString value;
    };
    struct Visit {
        TDateTime date;
        int id;
        std::vector<Field> heading;  // the row that opens the visit
        Field companion;             // the member of the family who came
        std::vector<Field> texts;    // the complaint and the notes, each beside its caption
    };

    void ReadPatient(const ClinicRecordSets& data);
    void ReadVisits(const ClinicRecordSets& data);
    void AddPatient(TPagedDocument& document) const;
    void AddVisit(TPagedDocument& document, const Visit& visit) const;

    QString subject_;
    std::vector<std::vector<Field>> patientRows_;
    std::vector<Visit> visits_;
};
