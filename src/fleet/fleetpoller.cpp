#include "fleet/fleetpoller.h"

#include <algorithm>
#include <variant>

#include <QDateTime>
#include <QUdpSocket>

#include "protocol/frames.h"
#include "protocol/ipv4.h"

#include "stations/stationformat.h"

namespace kestavo::fleet {

namespace {

// Each poll lets the unit answer this many datagrams more, up to twice as many: a unit answering
// every poll once never runs out, one flooding the socket is cut off after a handful.
constexpr int kCreditPerPoll = 2;
// Room for a burst of replies from thousands of units between two turns of the event loop.
constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;
// Larger than any reply a unit sends; a longer datagram is cut and fails to decode.
constexpr qint64 kMaxDatagram = 2048;

constexpr int kMinIntervalMs = 1000;
constexpr int kMaxIntervalMs = 3600 * 1000;

} // namespace

QString addressProblem(const QString& address)
{
    // The strict reader: an inet_aton-style one would poll "127.0.82.010" at 127.0.82.8.
    const auto octets = protocol::parseIpv4(address.toStdString());
    if (!octets)
        return stations::addressRefusal(address);
    // A broadcast or multicast poll would reach every unit on the way and their answers none.
    if ((*octets)[0] == 0 || (*octets)[0] >= 224)
        return QStringLiteral("\"%1\" is not the address of one unit").arg(address);
    return QString();
}

FleetPoller::FleetPoller(QObject* parent)
    : QObject(parent), m_clock([] { return QDateTime::currentMSecsSinceEpoch(); }),
      m_buffer(kMaxDatagram, '\0')
{
    m_monotonic.start();
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, &FleetPoller::onTick);
    connect(&m_stateTimer, &QTimer::timeout, this, &FleetPoller::refreshStates);
    setTiming(m_timing);
}

FleetPoller::~FleetPoller() = default;

void FleetPoller::setTiming(const Timing& timing)
{
    m_timing = timing;
    m_timing.intervalMs = std::clamp(timing.intervalMs, kMinIntervalMs, kMaxIntervalMs);
    m_tick.setInterval(m_timing.tickMs);
    m_stateTimer.setInterval(m_timing.stateCheckMs);
    if (m_running)
        schedule();
}

LinkLimits FleetPoller::limits() const
{
    return LinkLimits{m_timing.intervalMs, m_timing.staleMs};
}

void FleetPoller::setStations(const QList<FleetStation>& stations)
{
    std::vector<Unit> old = std::move(m_units);
    QHash<QString, int> oldByAddress;
    for (int i = 0; i < static_cast<int>(old.size()); ++i)
        oldByAddress.insert(old[static_cast<std::size_t>(i)].station.address, i);

    m_units.clear();
    m_schedules.clear();
    m_byAddress.clear();
    m_units.reserve(static_cast<std::size_t>(stations.size()));
    m_schedules.reserve(static_cast<std::size_t>(stations.size()));
    for (const FleetStation& station : stations) {
        const int index = count();
        Unit unit;
        const auto previous = oldByAddress.constFind(station.address);
        if (previous != oldByAddress.cend()) {
            Unit& kept = old[static_cast<std::size_t>(*previous)];
            if (kept.station.password == station.password && kept.invalidReason.isEmpty())
                unit = std::move(kept);
        }
        unit.station = station;
        unit.invalidReason = addressProblem(station.address);
        Schedule sched;
        if (unit.invalidReason.isEmpty()) {
            sched.address =
                QHostAddress(protocol::ipv4Number(*protocol::parseIpv4(station.address.toStdString())));
            const quint32 ipv4 = sched.address.toIPv4Address();
            if (const auto first = m_byAddress.constFind(ipv4); first != m_byAddress.cend()) {
                unit.invalidReason = QStringLiteral("the same address as station \"%1\", which is polled")
                                         .arg(m_units[static_cast<std::size_t>(*first)].station.description);
            } else {
                m_byAddress.insert(ipv4, index);
                const std::string frame = protocol::pollFrame(station.password.toLatin1().toStdString());
                sched.frame = QByteArray(frame.data(), static_cast<qsizetype>(frame.size()));
            }
        }
        if (!unit.invalidReason.isEmpty()) {
            Unit invalid;
            invalid.station = station;
            invalid.invalidReason = unit.invalidReason;
            invalid.state = LinkState::Invalid;
            unit = std::move(invalid);
        } else {
            unit.state = evaluateLink(unit.lastReportMs, unit.passwordRejected, now(), limits());
        }
        m_units.push_back(std::move(unit));
        m_schedules.push_back(std::move(sched));
    }
    if (m_running)
        schedule();
    Q_EMIT stationsReset();
}

int FleetPoller::indexOf(const QString& address) const
{
    for (int i = 0; i < count(); ++i) {
        if (m_units[static_cast<std::size_t>(i)].station.address == address)
            return i;
    }
    return -1;
}

bool FleetPoller::ensureSocket()
{
    if (m_socket)
        return true;
    auto* socket = new QUdpSocket(this);
    if (!socket->bind(QHostAddress::AnyIPv4, 0)) {
        m_error =
            QStringLiteral("The fleet's UDP socket could not be opened: %1.").arg(socket->errorString());
        delete socket;
        return false;
    }
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(kReceiveBufferBytes));
    connect(socket, &QUdpSocket::readyRead, this, &FleetPoller::readPending);
    m_socket = socket;
    m_error.clear();
    return true;
}

quint16 FleetPoller::localPort() const
{
    return m_socket ? m_socket->localPort() : 0;
}

bool FleetPoller::start()
{
    if (m_running)
        return true;
    if (!ensureSocket())
        return false;
    m_running = true;
    schedule();
    m_tick.start();
    m_stateTimer.start();
    Q_EMIT runningChanged(true);
    return true;
}

void FleetPoller::stop()
{
    const bool was = m_running;
    m_running = false;
    m_tick.stop();
    m_stateTimer.stop();
    m_queue = {};
    for (Schedule& sched : m_schedules)
        sched.awaiting = false;
    if (was)
        Q_EMIT runningChanged(false);
}

// Spreads the first polls evenly over one interval, in directory order.
void FleetPoller::schedule()
{
    m_queue = {};
    std::vector<int> pollable;
    for (int i = 0; i < count(); ++i) {
        if (m_units[static_cast<std::size_t>(i)].invalidReason.isEmpty())
            pollable.push_back(i);
    }
    const qint64 start = m_monotonic.elapsed();
    const auto n = static_cast<qint64>(pollable.size());
    for (qint64 k = 0; k < n; ++k) {
        const int index = pollable[static_cast<std::size_t>(k)];
        const qint64 due = start + k * m_timing.intervalMs / n;
        m_schedules[static_cast<std::size_t>(index)].dueMs = due;
        m_queue.emplace(due, index);
    }
}

void FleetPoller::onTick()
{
    const qint64 nowMs = m_monotonic.elapsed();
    while (!m_queue.empty() && m_queue.top().first <= nowMs) {
        const int index = m_queue.top().second;
        m_queue.pop();
        Schedule& sched = m_schedules[static_cast<std::size_t>(index)];
        if (sched.externalPollMs && nowMs - *sched.externalPollMs < m_timing.externalQuietMs)
            ++m_units[static_cast<std::size_t>(index)].skipped;
        else
            sendPoll(index);
        // After a stall the missed polls are not made up in a burst: the unit's rhythm restarts.
        sched.dueMs = std::max(sched.dueMs + m_timing.intervalMs, nowMs + m_timing.intervalMs / 2);
        m_queue.emplace(sched.dueMs, index);
    }
}

bool FleetPoller::pollAll()
{
    if (!ensureSocket())
        return false;
    for (int i = 0; i < count(); ++i) {
        if (m_units[static_cast<std::size_t>(i)].invalidReason.isEmpty())
            sendPoll(i);
    }
    return true;
}

bool FleetPoller::sendFrame(int index, const std::string& frame)
{
    if (index < 0 || index >= count() || !m_units[static_cast<std::size_t>(index)].invalidReason.isEmpty() ||
        !ensureSocket())
        return false;
    Schedule& sched = m_schedules[static_cast<std::size_t>(index)];
    const QByteArray bytes(frame.data(), static_cast<qsizetype>(frame.size()));
    if (m_socket->writeDatagram(bytes, sched.address, m_unitPort) != bytes.size()) {
        ++m_counters.sendErrors;
        return false;
    }
    sched.credit = std::min(sched.credit + kCreditPerPoll, 2 * kCreditPerPoll);
    return true;
}

void FleetPoller::sendPoll(int index)
{
    Unit& unit = m_units[static_cast<std::size_t>(index)];
    Schedule& sched = m_schedules[static_cast<std::size_t>(index)];
    if (m_socket->writeDatagram(sched.frame, sched.address, m_unitPort) != sched.frame.size()) {
        ++m_counters.sendErrors;
        return;
    }
    if (sched.awaiting)
        ++unit.lost;
    ++unit.sent;
    sched.awaiting = true;
    sched.sentAtNs = m_monotonic.nsecsElapsed();
    sched.credit = std::min(sched.credit + kCreditPerPoll, 2 * kCreditPerPoll);
}

void FleetPoller::readPending()
{
    if (!m_socket)
        return;
    QHostAddress from;
    quint16 fromPort = 0;
    while (m_socket->hasPendingDatagrams()) {
        const qint64 size = m_socket->readDatagram(m_buffer.data(), kMaxDatagram, &from, &fromPort);
        if (size < 0)
            break;
        ++m_counters.datagrams;
        const auto found = m_byAddress.constFind(from.toIPv4Address());
        if (found == m_byAddress.cend() || fromPort != m_unitPort) {
            ++m_counters.strangers;
            continue;
        }
        handleDatagram(*found, m_buffer.constData(), size);
    }
}

void FleetPoller::handleDatagram(int index, const char* data, qint64 size)
{
    Unit& unit = m_units[static_cast<std::size_t>(index)];
    Schedule& sched = m_schedules[static_cast<std::size_t>(index)];
    if (sched.credit <= 0) {
        ++unit.rateLimited;
        return;
    }
    --sched.credit;
    const std::string_view bytes(data, static_cast<std::size_t>(size));
    const auto classified = protocol::classify(bytes);
    const auto* cls = std::get_if<protocol::Classification>(&classified);
    if (!cls) {
        ++m_counters.undecodable;
        return;
    }
    ++unit.received;
    const bool answered = sched.awaiting;
    sched.awaiting = false;
    if (!cls->passwordAccepted) {
        unit.passwordRejected = true;
        setState(index, LinkState::BadPassword);
        Q_EMIT unitChanged(index);
        return;
    }
    if (cls->cls != protocol::ReplyClass::StatusReport)
        return;
    auto decoded = protocol::decodeStatus(bytes);
    auto* report = std::get_if<protocol::StatusReport>(&decoded);
    if (!report) {
        ++m_counters.undecodable;
        return;
    }
    const qint64 utcMs = now();
    if (answered)
        unit.rttUs = (m_monotonic.nsecsElapsed() - sched.sentAtNs) / 1000;
    unit.passwordRejected = false;
    unit.lastReportMs = utcMs;
    unit.lastReport = std::move(*report);
    setState(index, LinkState::Online);
    Q_EMIT reportDecoded(index, utcMs, *unit.lastReport);
    Q_EMIT unitChanged(index);
}

void FleetPoller::noteExternalPoll(const QString& address)
{
    const int index = indexOf(address);
    if (index >= 0)
        m_schedules[static_cast<std::size_t>(index)].externalPollMs = m_monotonic.elapsed();
}

void FleetPoller::noteExternalReport(const QString& address, const protocol::StatusReport& report)
{
    const int index = indexOf(address);
    if (index < 0 || !m_units[static_cast<std::size_t>(index)].invalidReason.isEmpty())
        return;
    Unit& unit = m_units[static_cast<std::size_t>(index)];
    m_schedules[static_cast<std::size_t>(index)].externalPollMs = m_monotonic.elapsed();
    unit.passwordRejected = false;
    unit.lastReportMs = now();
    unit.lastReport = report;
    setState(index, LinkState::Online);
    Q_EMIT unitChanged(index);
}

void FleetPoller::refreshStates()
{
    const qint64 nowMs = now();
    for (int i = 0; i < count(); ++i) {
        const Unit& unit = m_units[static_cast<std::size_t>(i)];
        if (unit.state == LinkState::Invalid)
            continue;
        const LinkState state = evaluateLink(unit.lastReportMs, unit.passwordRejected, nowMs, limits());
        if (state != unit.state) {
            setState(i, state);
            Q_EMIT unitChanged(i);
        }
    }
}

void FleetPoller::setState(int index, LinkState state)
{
    Unit& unit = m_units[static_cast<std::size_t>(index)];
    if (unit.state == state)
        return;
    unit.state = state;
    Q_EMIT linkStateChanged(index, state);
}

} // namespace kestavo::fleet
