#include "gui/boards/boardframequeue.h"

#include <algorithm>

namespace kestavo::daughterboards {

BoardFrameQueue::BoardFrameQueue(Sender sender, int spacingMs, QObject* parent)
    : QObject(parent), m_sender(std::move(sender)), m_spacingMs(std::max(0, spacingMs))
{
    m_timer.setSingleShot(true);
    // A coarse timer may fire a little early; the spacing is a lower bound.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_pending.empty())
            return;
        if (m_sinceLastSend.isValid() && m_sinceLastSend.elapsed() < m_spacingMs) {
            scheduleNext();
            return;
        }
        sendFront();
        scheduleNext();
    });
}

void BoardFrameQueue::push(std::string frame)
{
    m_pending.push_back(std::move(frame));
    if (m_timer.isActive())
        return; // the queue is draining already; this frame takes its turn
    const bool due = !m_sinceLastSend.isValid() || m_sinceLastSend.elapsed() >= m_spacingMs;
    if (due && m_pending.size() == 1)
        sendFront();
    scheduleNext();
}

void BoardFrameQueue::sendFront()
{
    const std::string frame = std::move(m_pending.front());
    m_pending.pop_front();
    m_sinceLastSend.start();
    if (!m_sender(frame))
        m_pending.clear();
}

void BoardFrameQueue::scheduleNext()
{
    if (m_pending.empty())
        return;
    const qint64 waited = m_sinceLastSend.isValid() ? m_sinceLastSend.elapsed() : m_spacingMs;
    m_timer.start(int(std::max<qint64>(0, m_spacingMs - waited)));
}

} // namespace kestavo::daughterboards
