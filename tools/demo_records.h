// One patient and one visit of the demo data, as plain values ready to bind.
//
// An empty string stands for NULL, as the database stores empty values; a date without a
// value is nullopt. Every VARCHAR value fits its column's width in GBK bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/dates.h"

namespace clinicdb {

using Day = int;  // days since 1899-12-30, as base/dates.h counts them

// Column widths in GBK bytes, as the tables declare them.
inline constexpr std::size_t kNameBytes = 8;
inline constexpr std::size_t kEmployerBytes = 40;
inline constexpr std::size_t kAddressBytes = 40;
inline constexpr std::size_t kFamilyBytes = 30;
inline constexpr std::size_t kComplaintBytes = 100;

struct Patient {
    std::int64_t id = 0;
    std::string name;             // Xm
    std::string sex;              // Xb: 男 or 女
    int age = 0;                  // Nl
    std::string employer;         // Gzdw
    std::string phone;            // Lxdh
    std::string address;          // Txdz
    std::string email;            // Dzyx
    Day firstVisit = 0;           // Czrq
    std::optional<Day> followUp;  // Fzyysj
    std::string reminded;         // Sfylxfz: 是, 否 or empty
    std::string reply;            // Dfhf
    std::string family;           // Jtcy
};

struct Visit {
    std::int64_t id = 0;
    std::int64_t patientId = 0;   // Brid
    Day date = 0;                 // Lzrq
    std::string complaint;        // Zhsu
    std::string history;          // Xbs
    std::string examination;      // Jcsj
    std::string diagnosis;        // Zhengduan
    std::string treatment;        // Zhiliao
    std::optional<Day> followUp;  // Fzyysj
    std::string doctor;           // Jzys
    std::string family;           // Jtcy
};

// Calls `take` with the row's values in the order of its table's described columns
// (base/clinic_tables.h), so that every loader fills the columns alike.
template <typename Take>
void WithValues(const Patient& p, Take&& take) {
    take(p.id, p.name, p.sex, std::int64_t{p.age}, p.employer, p.phone, p.address, p.email,
         std::optional<Day>(p.firstVisit), p.followUp, p.reminded, p.reply, p.family);
}

template <typename Take>
void WithValues(const Visit& v, Take&& take) {
    take(v.id, v.patientId, std::optional<Day>(v.date), v.complaint, v.history, v.examination,
         v.diagnosis, v.treatment, v.followUp, v.doctor, v.family);
}

}  // namespace clinicdb
