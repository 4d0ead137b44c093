// What happens at the demo visits: chief complaints, history, examination, diagnosis and
// treatment in the words a dentist writes, for a handful of common dental cases.
//
// Contracts: the values depend only on the generator's state and the patient's course; the
// complaint fits its column in GBK bytes; the four memo texts are unbounded and some run past
// 200 bytes. Dates, ids and family are not set.
#pragma once

#include "tools/demo_records.h"
#include "tools/random.h"

namespace clinicdb {

// A patient's treatment in progress, carried from one visit to the next, so that a root canal
// opened at one visit is filled at the next. Start each patient with a default Course.
struct Course {
    int nextCase = -1;  // the case the next visit continues, or -1 for a new complaint
    int region = 0;
    int tooth = 0;
};

// Fills the visit's complaint, memo texts and doctor.
void WriteVisit(Rng& rng, Course& course, Visit& visit);

}  // namespace clinicdb
