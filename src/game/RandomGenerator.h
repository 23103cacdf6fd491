#pragma once

#include <cstdint>

// The game's dice: a linear congruential generator (multiplier 134775813,
// increment 1, modulus 2^32). One per process, shared by the host and the
// computer players, seeded once at start; the player window scatters its
// dice with one of its own, so the host's dice depend on the seed alone.
class TRandomGenerator {
public:
    explicit TRandomGenerator(std::uint32_t seed = 0)
        : m_seed(seed) {}

    // The process's generator, seeded from the clock on first use.
    static TRandomGenerator& shared();

    // Milliseconds since midnight, UTC.
    static std::uint32_t clockSeed();

    void seed(std::uint32_t value) { m_seed = value; }
    std::uint32_t currentSeed() const { return m_seed; }

    // A number from 0 to n - 1.
    std::uint32_t below(std::uint32_t n) {
        m_seed = m_seed * 134775813u + 1u;
        return std::uint32_t((std::uint64_t(m_seed) * n) >> 32);
    }

    // A die face, 1 to 6.
    int face() { return int(below(6)) + 1; }

private:
    std::uint32_t m_seed;
};
