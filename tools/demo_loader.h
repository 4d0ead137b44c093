// The demo command: fills a database directory with generated patients and visits.
//
// Contracts:
// - Creates whichever table file is missing; refuses (ToolError, nothing touched) when a table
//   file exists but is not an empty clinic table, or is protected.
// - Built for volume (a million patients): one transaction per table, statements reused, no
//   journal and no syncing during the load, indexes made after it. A load that fails half-way
//   therefore leaves files that are to be deleted, not repaired.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "tools/demo_generator.h"

namespace clinicdb {

struct DemoResult {
    std::int64_t patients = 0;
    std::int64_t visits = 0;
    std::int64_t dueTomorrow = 0;  // patients whose follow-up is the day after options.today
    double seconds = 0;
};

DemoResult LoadDemo(const std::filesystem::path& dir, const DemoOptions& options);

// Hands every generated patient, with his visits, to `take`, and counts them; the seconds are
// those of the whole run. Every demo load, whatever it fills, runs through it.
using DemoSink = std::function<void(const Patient&, const std::vector<Visit>&)>;
DemoResult GenerateDemo(const DemoOptions& options, const DemoSink& take);

}  // namespace clinicdb
