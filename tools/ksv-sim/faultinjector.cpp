#include "ksv-sim/faultinjector.h"

#include <algorithm>
#include <utility>

#include "protocol/reply.h"

namespace kestavo::sim {

bool FaultInjector::Config::any() const
{
    return loss > 0 || duplicate > 0 || reorder > 0 || truncate > 0 || wrongVerdict > 0 || delayMaxMs > 0 ||
           delayMinMs > 0 || silentAfter >= 0;
}

FaultInjector::FaultInjector() : FaultInjector(Config{}) {}

FaultInjector::FaultInjector(const Config& config) : m_config(config), m_random(config.seed)
{
    if (m_config.delayMaxMs < m_config.delayMinMs)
        m_config.delayMaxMs = m_config.delayMinMs;
}

bool FaultInjector::chance(double probability)
{
    // Drawn whether or not the fault is enabled, so switching one fault on does not reshuffle
    // the others' sequence for the same seed.
    const double draw = m_random() / 4294967296.0;
    return draw < probability;
}

std::uint32_t FaultInjector::below(std::uint32_t bound)
{
    const std::uint32_t draw = m_random();
    return bound == 0 ? 0 : draw % bound;
}

std::vector<FaultInjector::Delivery> FaultInjector::process(const std::vector<std::string>& replies)
{
    ++m_counters.frames;
    m_counters.offered += replies.size();
    if (m_config.silentAfter >= 0 && m_counters.frames > static_cast<std::uint64_t>(m_config.silentAfter)) {
        m_counters.silenced += replies.size();
        return {};
    }

    std::vector<Delivery> out;
    for (const std::string& reply : replies) {
        const bool lose = chance(m_config.loss);
        const bool cut = chance(m_config.truncate);
        const std::uint32_t keep =
            below(static_cast<std::uint32_t>(std::max<std::size_t>(reply.size(), 2) - 1)) + 1;
        const bool lie = chance(m_config.wrongVerdict);
        const bool twice = chance(m_config.duplicate);
        const int spread = m_config.delayMaxMs - m_config.delayMinMs;
        const int delay =
            m_config.delayMinMs + static_cast<int>(below(static_cast<std::uint32_t>(spread) + 1));
        const bool holdBack = chance(m_config.reorder);

        if (lose) {
            ++m_counters.lost;
            continue;
        }
        Delivery delivery{reply, delay};
        if (cut && reply.size() > 1) {
            delivery.bytes.resize(keep);
            ++m_counters.truncated;
        }
        if (lie && delivery.bytes.size() >= protocol::kVerdictPosition) {
            delivery.bytes[protocol::kVerdictPosition - 1] = 1;
            ++m_counters.wrongVerdicts;
        }
        if (delay > 0)
            ++m_counters.delayed;

        std::vector<Delivery> copies{delivery};
        if (twice) {
            copies.push_back(delivery);
            ++m_counters.duplicated;
        }
        if (holdBack && !m_held && !twice) {
            m_held = std::move(delivery);
            ++m_counters.reordered;
            continue;
        }
        out.insert(out.end(), copies.begin(), copies.end());
        if (m_held) {
            out.push_back(std::move(*m_held));
            m_held.reset();
        }
    }
    return out;
}

std::vector<FaultInjector::Delivery> FaultInjector::releaseHeld()
{
    std::vector<Delivery> out;
    if (m_held) {
        out.push_back(std::move(*m_held));
        m_held.reset();
    }
    return out;
}

} // namespace kestavo::sim
