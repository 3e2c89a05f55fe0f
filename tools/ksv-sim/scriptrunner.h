#pragma once

// Steps through one script on the simulated unit's clock. A script is a list of actions and
// waits; actions fall due at the instant the previous wait ends, so a run of actions with no wait
// between them happens at one instant, as on the unit.

#include <cstdint>
#include <optional>
#include <vector>

namespace kestavo::sim {

class ScriptRunner
{
public:
    struct Step
    {
        std::int64_t waitMs = 0; // > 0: a pause; 0: perform `action`
        std::uint8_t action = 0;
    };

    /// Replaces whatever ran before; the first step is due at nowMs.
    void start(std::vector<Step> steps, std::int64_t nowMs);
    void stop();
    bool running() const { return m_next < m_steps.size(); }
    /// When the next step falls due, while running.
    std::optional<std::int64_t> nextDue() const;
    /// Consumes every step due at or before nowMs and returns the actions among them in order.
    std::vector<std::uint8_t> take(std::int64_t nowMs);

private:
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    std::int64_t m_dueAt = 0;
};

} // namespace kestavo::sim
