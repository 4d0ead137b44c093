// Who the demo patients are: names, sexes, ages, employers, telephones, addresses, e-mail
// addresses and family members, drawn from common Chinese names and local places.
//
// Contracts: the values depend only on the generator's state; each one fits its column in GBK
// bytes (names 2-4 characters, at most 8 bytes). Dates and the follow-up fields are not set.
#pragma once

#include "tools/demo_records.h"
#include "tools/random.h"

namespace clinicdb {

// Fills the patient's personal fields.
void FillPerson(Rng& rng, Patient& patient);

}  // namespace clinicdb
