#pragma once

// Seeded, reproducible damage to the simulated unit's replies: the machine's kernel has no
// netem, so this is how lost, late, doubled, reordered and mangled replies reach the console's
// tests. The same seed and the same frames give the same faults, run after run.

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace kestavo::sim {

class FaultInjector
{
public:
    struct Config
    {
        double loss = 0;         // probability a reply is not sent
        double duplicate = 0;    // probability a reply is sent twice
        double reorder = 0;      // probability a reply is held back and sent after the next one
        double truncate = 0;     // probability a reply is cut short (1 .. length-1 bytes kept)
        double wrongVerdict = 0; // probability position 11 says "password rejected"
        int delayMinMs = 0;      // every reply waits a time drawn from [min, max]
        int delayMaxMs = 0;
        std::int64_t silentAfter = -1; // after this many frames the unit answers nothing; -1 never
        std::uint32_t seed = 1;
        bool any() const;
    };

    struct Counters
    {
        std::uint64_t frames = 0;  // frames seen (one process() call each)
        std::uint64_t offered = 0; // replies handed in
        std::uint64_t lost = 0;
        std::uint64_t duplicated = 0;
        std::uint64_t reordered = 0;
        std::uint64_t truncated = 0;
        std::uint64_t wrongVerdicts = 0;
        std::uint64_t delayed = 0;
        std::uint64_t silenced = 0; // replies swallowed because the unit had gone silent
    };

    struct Delivery
    {
        std::string bytes;
        int delayMs = 0;
        bool operator==(const Delivery&) const = default;
    };

    FaultInjector();
    explicit FaultInjector(const Config& config);

    /// The replies to one received frame, damaged as configured, in the order to send them.
    std::vector<Delivery> process(const std::vector<std::string>& replies);
    /// Whether a reply is being held back for reordering.
    bool holding() const { return m_held.has_value(); }
    /// Gives up the held-back reply (when no further reply came to overtake it).
    std::vector<Delivery> releaseHeld();

    const Config& config() const { return m_config; }
    const Counters& counters() const { return m_counters; }

private:
    bool chance(double probability);
    std::uint32_t below(std::uint32_t bound);

    Config m_config;
    std::mt19937 m_random;
    Counters m_counters;
    std::optional<Delivery> m_held;
};

} // namespace kestavo::sim
