#pragma once
// CDistinctEstimate: about how many distinct keys a stream of 32-bit key hashes held, in 4 KB whatever the
// stream's length (a HyperLogLog sketch of 4096 registers: within a few per cent from some thousand keys on,
// exact enough below). Bulk stores ask it whether the values they append without looking them up still differ
// from one another, or repeat so often that looking them up costs less than keeping every copy.
// Threading: one thread at a time.
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

class CDistinctEstimate
{
public:
    void Add(uint32_t hash)
    {
        const uint32_t mixed = Mix(hash);
        const uint32_t registerIndex = mixed >> (32 - kIndexBits);
        // The rank: the position of the first 1 bit in the rest (the marker bit caps it).
        const auto rank = static_cast<uint8_t>(std::countl_zero((mixed << kIndexBits) | kMarker) + 1);
        uint8_t& value = m_registers[registerIndex];
        if (rank > value)
            value = rank;
    }

    // The estimated number of distinct hashes added.
    double Estimate() const
    {
        constexpr double m = kRegisters;
        double sum = 0;
        long empty = 0;
        for (const uint8_t value : m_registers)
        {
            sum += std::ldexp(1.0, -value);
            empty += value == 0 ? 1 : 0;
        }
        const double raw = 0.7213 / (1 + 1.079 / m) * m * m / sum;
        // Few keys: the share of empty registers tells more (linear counting).
        if (raw <= 2.5 * m && empty > 0)
            return m * std::log(m / static_cast<double>(empty));
        return raw;
    }

    void Clear() { m_registers.fill(0); }

private:
    static constexpr int kIndexBits = 12;
    static constexpr int kRegisters = 1 << kIndexBits;
    static constexpr uint32_t kMarker = 1u << (kIndexBits - 1);

    // The key hashes are plain multiply-and-add sums: their bits are spread first (the finaliser of MurmurHash3).
    static uint32_t Mix(uint32_t h)
    {
        h ^= h >> 16;
        h *= 0x85ebca6bu;
        h ^= h >> 13;
        h *= 0xc2b2ae35u;
        h ^= h >> 16;
        return h;
    }

    std::array<uint8_t, kRegisters> m_registers{};
};
