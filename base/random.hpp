// A small seeded generator whose sequence is fixed by this file alone, so a
// synthetic project comes out byte for byte the same on every standard
// library (the distributions of <random> are not specified that tightly).
#pragma once

#include <cstdint>

namespace tav::synth {

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    // SplitMix64.
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1), 53 bits.
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    double Uniform(double lo, double hi) { return lo + (hi - lo) * Uniform(); }

    // Uniform integer in lo..hi inclusive.
    int Int(int lo, int hi) {
        const auto span = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo + 1);
        return lo + static_cast<int>(Next() % span);
    }

    bool Chance(double p) { return Uniform() < p; }

    // Standard normal approximated by the sum of twelve uniforms: plain
    // arithmetic, so no libm difference can change a sample.
    double Normal() {
        double sum = 0.0;
        for (int i = 0; i < 12; ++i) sum += Uniform();
        return sum - 6.0;
    }

    // An independent generator for a sub-task, derived from this one's seed.
    Random Fork(std::uint64_t salt) const { return Random(state_ ^ (salt * 0xD1B54A32D192ED03ull)); }

private:
    std::uint64_t state_;
};

}  // namespace tav::synth
