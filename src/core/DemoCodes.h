#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace vm4417 {

// Invented chip codes for demo mode: a uniform draw from 0 to 4294959999,
// written as 8 upper-case hexadecimal digits (00000000 to FFFFE37F).
class DemoCodes {
public:
    // Not 2^32 - 1: the range of invented codes has always ended 7,296 short
    // of it (4294960000 values), and demo codes keep looking as they always
    // have (00000000 to FFFFE37F).
    static constexpr std::uint32_t kLargest = 4294959999u;

    // Seed once, from a real entropy source in the program.
    explicit DemoCodes(std::uint64_t seed) : engine_(seed) {}
    std::string Next();

private:
    std::mt19937_64 engine_;
    // libstdc++'s distribution rejects out-of-range draws, so the range is
    // covered without modulo bias.
    std::uniform_int_distribution<std::uint32_t> draw_{0, kLargest};
};

// 64 bits from the standard library's entropy source (the system's), to
// seed the demo codes once per run.
std::uint64_t EntropySeed();

}  // namespace vm4417
