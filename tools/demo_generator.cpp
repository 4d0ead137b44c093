#include "tools/demo_generator.h"

#include <algorithm>
#include <span>
#include <string_view>

#include "tools/demo_people.h"
#include "tools/demo_visits.h"

namespace clinicdb {
namespace {

constexpr int kHistoryDays = 3650;
constexpr int kMaxVisits = 9;

constexpr std::string_view kReplies[] = {"按时复诊", "改时再约", "放弃治疗", "无人应答",
                                         "电话换号"};

std::optional<Day> Later(std::optional<Day> a, std::optional<Day> b) {
    if (!a) return b;
    if (!b) return a;
    return std::max(*a, *b);
}

}  // namespace

DemoGenerator::DemoGenerator(const DemoOptions& options) : options_(options), rng_(options.seed) {}

void DemoGenerator::Next(Patient& patient, std::vector<Visit>& visits) {
    patient = Patient{};
    patient.id = ++madePatients_;
    FillPerson(rng_, patient);
    patient.firstVisit = options_.today - kHistoryDays +
                         static_cast<Day>((patient.id - 1) * kHistoryDays / options_.patients);

    PlanVisitDates(patient.firstVisit, visits);
    Course course;
    for (Visit& visit : visits) {
        visit.id = ++madeVisits_;
        visit.patientId = patient.id;
        WriteVisit(rng_, course, visit);
        if (rng_.PerMille(700)) visit.family = patient.family;
        patient.followUp = Later(patient.followUp, visit.followUp);
    }
    FillReminder(patient);
}

// Visits run from the first visit towards today, a few days to two months apart; each one's
// follow-up date is usually the next visit, the last one's is the next appointment.
void DemoGenerator::PlanVisitDates(Day firstVisit, std::vector<Visit>& visits) {
    const int available = options_.today - firstVisit;
    const int count = std::min(rng_.Between(1, kMaxVisits), 1 + available / 7);
    const int longestGap = std::min(60, available / count);
    visits.assign(count, Visit{});
    Day date = firstVisit;
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            date += rng_.Between(std::min(3, longestGap), longestGap);
            if (rng_.PerMille(850)) visits[i - 1].followUp = date;
        }
        visits[i].date = date;
    }
    visits.back().followUp = PlanNextAppointment(date);
}

// Some are due tomorrow, some have none, some lie around today, most soon after the last visit.
std::optional<Day> DemoGenerator::PlanNextAppointment(Day lastVisit) {
    const int kind = static_cast<int>(rng_.Below(1000));
    if (kind < 7) return options_.today + 1;
    if (kind < 90) return std::nullopt;
    if (kind < 400) return std::max(lastVisit + 1, options_.today + rng_.Between(-30, 90));
    return lastVisit + rng_.Between(7, 60);
}

// Patients whose follow-up is still ahead are mostly not yet reminded.
void DemoGenerator::FillReminder(Patient& patient) {
    const bool ahead = patient.followUp && *patient.followUp > options_.today;
    const int kind = static_cast<int>(rng_.Below(100));
    if (ahead ? kind < 80 : kind < 30) return;
    if (kind % 2 == 0) {
        patient.reminded = "否";
        return;
    }
    patient.reminded = "是";
    if (rng_.PerMille(900))
        patient.reply = std::string(rng_.Pick(std::span<const std::string_view>(kReplies)));
}

}  // namespace clinicdb
