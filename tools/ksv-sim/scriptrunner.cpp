#include "ksv-sim/scriptrunner.h"

#include <utility>

namespace kestavo::sim {

void ScriptRunner::start(std::vector<Step> steps, std::int64_t nowMs)
{
    m_steps = std::move(steps);
    m_next = 0;
    m_dueAt = nowMs;
}

void ScriptRunner::stop()
{
    m_steps.clear();
    m_next = 0;
}

std::optional<std::int64_t> ScriptRunner::nextDue() const
{
    if (!running())
        return std::nullopt;
    return m_dueAt;
}

std::vector<std::uint8_t> ScriptRunner::take(std::int64_t nowMs)
{
    std::vector<std::uint8_t> actions;
    while (running() && m_dueAt <= nowMs) {
        const Step& step = m_steps[m_next++];
        if (step.waitMs > 0)
            m_dueAt += step.waitMs;
        else
            actions.push_back(step.action);
    }
    if (!running())
        stop();
    return actions;
}

} // namespace kestavo::sim
