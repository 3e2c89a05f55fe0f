#pragma once

#include <deque>
#include <functional>
#include <string>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace kestavo::daughterboards {

/// Keeps consecutive daughter-board frames at least `spacingMs` apart without ever blocking the
/// event loop: a frame is sent at once when the previous one left long enough ago, otherwise it
/// waits in a queue that a single-shot timer drains one frame per interval, in order.
///
/// The sender reports whether the frame went out; when it did not (the session ended), the
/// frames still waiting are dropped, since they would fail the same way.
class BoardFrameQueue final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BoardFrameQueue)

public:
    using Sender = std::function<bool(const std::string& frame)>;

    BoardFrameQueue(Sender sender, int spacingMs, QObject* parent = nullptr);

    void push(std::string frame);
    std::size_t pending() const { return m_pending.size(); }
    int spacingMs() const { return m_spacingMs; }

private:
    void sendFront();
    void scheduleNext();

    Sender m_sender;
    int m_spacingMs;
    std::deque<std::string> m_pending;
    QTimer m_timer;
    QElapsedTimer m_sinceLastSend; // invalid until the first frame went out
};

} // namespace kestavo::daughterboards
