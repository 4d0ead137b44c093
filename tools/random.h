// A small deterministic random generator for the demo data (splitmix64).
//
// The same seed gives the same numbers on every machine and standard library, which
// std::mt19937 with the standard distributions does not promise; demo databases made from one
// seed are therefore identical everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace clinicdb {

class Rng {
  public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, n). Requires: n > 0.
    std::uint32_t Below(std::uint32_t n) {
        return static_cast<std::uint32_t>(((Next() >> 32) * n) >> 32);
    }

    // Uniform in [low, high]. Requires: low <= high.
    int Between(int low, int high) {
        return low + static_cast<int>(Below(static_cast<std::uint32_t>(high - low + 1)));
    }

    // True with the given chance in a thousand.
    bool PerMille(int chance) { return static_cast<int>(Below(1000)) < chance; }

    // Any one of the items. Requires: items is not empty.
    template <typename T>
    const T& Pick(std::span<const T> items) {
        return items[Below(static_cast<std::uint32_t>(items.size()))];
    }

    // One of the items, the earlier ones more often (the smaller of two draws), as common
    // surnames are more common.
    template <typename T>
    const T& PickCommon(std::span<const T> items) {
        const auto n = static_cast<std::uint32_t>(items.size());
        const std::uint32_t a = Below(n);
        const std::uint32_t b = Below(n);
        return items[a < b ? a : b];
    }

  private:
    std::uint64_t state_;
};

}  // namespace clinicdb
