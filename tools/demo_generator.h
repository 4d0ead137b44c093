// The demo data as a deterministic stream: patient after patient, each with his visits.
//
// Contracts:
// - The same options give the same data, on every machine.
// - Patient ids run 1..patients and visit ids 1..(visits so far) in order; each visit's
//   patientId is its patient's id; a patient has 1-9 visits, about five on average.
// - First visits (Czrq) run from ten years before `today` up to it in id order; visit dates
//   follow the first visit, never after `today`.
// - A patient's follow-up date is the latest of his visits' follow-up dates; about one patient
//   in a hundred is due the day after `today`.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/demo_records.h"
#include "tools/random.h"

namespace clinicdb {

struct DemoOptions {
    std::int64_t patients = 0;
    Day today = 0;
    std::uint64_t seed = 1;
};

class DemoGenerator {
  public:
    explicit DemoGenerator(const DemoOptions& options);

    // Fills the next patient and replaces `visits` with his visits.
    // Requires: fewer than options.patients patients made so far.
    void Next(Patient& patient, std::vector<Visit>& visits);

  private:
    void PlanVisitDates(Day firstVisit, std::vector<Visit>& visits);
    std::optional<Day> PlanNextAppointment(Day lastVisit);
    void FillReminder(Patient& patient);

    DemoOptions options_;
    Rng rng_;
    std::int64_t madePatients_ = 0;
    std::int64_t madeVisits_ = 0;
};

}  // namespace clinicdb
