#include "gui/backup/sessiontransport.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include "session/session.h"

namespace kestavo::unitbackup {

namespace {
constexpr qsizetype kMaxQueued = 64;
}

SessionTransport::SessionTransport(core::Session& session, QObject* parent)
    : QObject(parent), m_session(session)
{
    connect(&m_session, &core::Session::replyReceived, this, [this](const QByteArray& datagram) {
        // The session's polls answer all the time; a window left open must not hoard them.
        if (m_replies.size() >= kMaxQueued)
            m_replies.removeFirst();
        m_replies << datagram;
    });
}

bool SessionTransport::send(const std::string& frame)
{
    // Whatever arrived before this frame cannot be its answer.
    m_replies.clear();
    return m_session.send(frame);
}

std::optional<QByteArray> SessionTransport::receive(int timeoutMs)
{
    const QDeadlineTimer deadline(std::max(timeoutMs, 0));
    while (m_replies.isEmpty()) {
        const qint64 remaining = deadline.remainingTime();
        if (remaining <= 0)
            return std::nullopt;
        // Woken by the next reply or by the deadline; the window's buttons are off meanwhile.
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&m_session, &core::Session::replyReceived, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(static_cast<int>(remaining));
        loop.exec();
    }
    return m_replies.takeFirst();
}

QString SessionTransport::errorString() const
{
    return QStringLiteral(
        "no session with the unit is running (or its socket refused the frame): Aquire Data First!");
}

std::optional<std::uint32_t> SessionTransport::localIpv4() const
{
    bool isIpv4 = false;
    const quint32 address = m_session.localAddress().toIPv4Address(&isIpv4);
    if (!isIpv4 || address == 0)
        return std::nullopt;
    return address;
}

} // namespace kestavo::unitbackup
