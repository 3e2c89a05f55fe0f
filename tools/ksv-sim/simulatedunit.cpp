#include "ksv-sim/simulatedunit.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

#include "ksv-sim/statuspage.h"

namespace kestavo::sim {

namespace {

Ipv4 toIpv4(const QHostAddress& address)
{
    const quint32 value = address.toIPv4Address();
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

QHostAddress fromIpv4(const Ipv4& address)
{
    return QHostAddress((quint32{address[0]} << 24) | (quint32{address[1]} << 16) |
                        (quint32{address[2]} << 8) | address[3]);
}

UnitModel::Config withAddress(UnitModel::Config config, const QHostAddress& bindAddress)
{
    if (bindAddress.protocol() == QAbstractSocket::IPv4Protocol)
        config.address = toIpv4(bindAddress);
    return config;
}

} // namespace

SimulatedUnit::SimulatedUnit(const Config& config, QObject* parent)
    : QObject(parent), m_config(config), m_model(withAddress(config.unit, config.bindAddress)),
      m_faults(config.faults), m_page(std::make_unique<StatusPage>(m_model))
{
    m_tick.setInterval(m_config.tickMs);
    connect(&m_tick, &QTimer::timeout, this, &SimulatedUnit::catchUp);
    m_flush.setSingleShot(true);
    connect(&m_flush, &QTimer::timeout, this,
            [this] { deliver(m_faults.releaseHeld(), m_lastPeer, m_lastPeerPort); });
}

SimulatedUnit::~SimulatedUnit() = default;

bool SimulatedUnit::isLoopback(const QHostAddress& address)
{
    return address.protocol() == QAbstractSocket::IPv4Protocol && (address.toIPv4Address() >> 24) == 127;
}

bool SimulatedUnit::start()
{
    m_error.clear();
    if (!isLoopback(m_config.bindAddress)) {
        m_error =
            QStringLiteral("The simulator listens on loopback addresses only (127.0.0.0/8); %1 is outside.")
                .arg(m_config.bindAddress.toString());
        return false;
    }
    if (!bindSocket(m_config.bindAddress, m_config.port))
        return false;
    m_handledAddress = fromIpv4(m_model.address());
    if (m_config.realTime) {
        m_clock.start();
        m_clockBase = 0;
        m_tick.start();
    }
    afterStateChange();
    if (m_config.httpPort >= 0 && m_model.httpOn() && !m_page->isListening()) {
        m_error = QStringLiteral("The status web page cannot listen on %1 port %2: %3")
                      .arg(m_config.bindAddress.toString())
                      .arg(m_config.httpPort)
                      .arg(m_page->errorString());
        stop();
        return false;
    }
    return true;
}

bool SimulatedUnit::bindSocket(const QHostAddress& address, quint16 port)
{
    auto* socket = new QUdpSocket(this);
    if (!socket->bind(address, port)) {
        m_error = QStringLiteral("Cannot listen on %1 port %2: %3%4")
                      .arg(address.toString())
                      .arg(port)
                      .arg(socket->errorString(),
                           port < 1024 ? QStringLiteral(" (ports below 1024 need root; try --port 7007)")
                                       : QString());
        delete socket;
        return false;
    }
    connect(socket, &QUdpSocket::readyRead, this, &SimulatedUnit::readDatagrams);
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->close();
        m_socket->deleteLater();
    }
    m_socket = socket;
    return true;
}

void SimulatedUnit::stop()
{
    m_tick.stop();
    m_flush.stop();
    m_page->close();
    if (m_socket) {
        m_socket->close();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
}

bool SimulatedUnit::isRunning() const
{
    return m_socket != nullptr;
}

QHostAddress SimulatedUnit::address() const
{
    return m_socket ? m_socket->localAddress() : m_config.bindAddress;
}

quint16 SimulatedUnit::port() const
{
    return m_socket ? m_socket->localPort() : 0;
}

quint16 SimulatedUnit::httpPort() const
{
    return m_page->isListening() ? m_page->port() : 0;
}

void SimulatedUnit::advance(std::int64_t ms)
{
    m_model.advance(ms);
    afterStateChange();
}

void SimulatedUnit::catchUp()
{
    if (m_config.realTime && m_clock.isValid()) {
        const std::int64_t elapsed = m_clock.elapsed();
        if (elapsed > m_clockBase) {
            m_model.advance(elapsed - m_clockBase);
            m_clockBase = elapsed;
        }
    }
    afterStateChange();
}

void SimulatedUnit::readDatagrams()
{
    QUdpSocket* socket = m_socket;
    while (socket && socket == m_socket && socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (!datagram.isValid())
            continue;
        ++m_counters.datagramsReceived;
        catchUp();
        const QByteArray data = datagram.data();
        const QHostAddress peer = datagram.senderAddress();
        const auto peerPort = static_cast<quint16>(datagram.senderPort());
        const std::vector<std::string> replies = m_model.handleFrame(
            std::string_view(data.constData(), static_cast<std::size_t>(data.size())), toIpv4(peer));
        Q_EMIT frameHandled(m_model.frames().back(), peerPort);

        const bool wasHolding = m_faults.holding();
        std::vector<FaultInjector::Delivery> deliveries = m_faults.process(replies);
        if (wasHolding && !m_faults.holding()) {
            // The held-back reply came out last, behind the one that overtook it; it belongs to
            // the peer of the frame it answered.
            FaultInjector::Delivery held = std::move(deliveries.back());
            deliveries.pop_back();
            deliver(std::move(deliveries), peer, peerPort);
            deliver({std::move(held)}, m_lastPeer, m_lastPeerPort);
            m_flush.stop();
        } else {
            deliver(std::move(deliveries), peer, peerPort);
        }
        if (!wasHolding && m_faults.holding()) {
            m_lastPeer = peer;
            m_lastPeerPort = peerPort;
            m_flush.start(m_config.reorderFlushMs);
        }
        afterStateChange();
    }
}

void SimulatedUnit::deliver(std::vector<FaultInjector::Delivery> deliveries, const QHostAddress& to,
                            quint16 port)
{
    for (FaultInjector::Delivery& delivery : deliveries) {
        if (delivery.delayMs <= 0) {
            send(delivery, to, port);
        } else {
            QTimer::singleShot(delivery.delayMs, this, [this, delivery = std::move(delivery), to, port] {
                send(delivery, to, port);
            });
        }
    }
}

void SimulatedUnit::send(const FaultInjector::Delivery& delivery, const QHostAddress& to, quint16 port)
{
    if (!m_socket)
        return;
    const QByteArray bytes(delivery.bytes.data(), static_cast<qsizetype>(delivery.bytes.size()));
    if (m_socket->writeDatagram(bytes, to, port) < 0) {
        ++m_counters.sendErrors;
        return;
    }
    ++m_counters.repliesSent;
    Q_EMIT replySent(bytes);
}

void SimulatedUnit::afterStateChange()
{
    if (!m_socket)
        return;
    // The web page follows the unit's HTTP switch and keeps its port across off and on.
    const bool wanted = m_config.httpPort >= 0 && m_model.httpOn();
    if (wanted && !m_page->isListening()) {
        const quint16 port = m_httpPort ? m_httpPort : static_cast<quint16>(m_config.httpPort);
        if (m_page->listen(address(), port))
            m_httpPort = m_page->port();
    } else if (!wanted && m_page->isListening()) {
        m_page->close();
    }

    const QHostAddress recorded = fromIpv4(m_model.address());
    if (recorded != m_handledAddress) {
        m_handledAddress = recorded;
        // Outside loopback the new address is only recorded and reported; the socket stays.
        if (m_config.followAddressChange && isLoopback(recorded)) {
            // Not from inside the socket's own readyRead: move on the next turn of the event loop.
            QMetaObject::invokeMethod(
                this, [this, recorded] { moveTo(recorded); }, Qt::QueuedConnection);
        }
    }
}

void SimulatedUnit::moveTo(const QHostAddress& address)
{
    if (!m_socket || fromIpv4(m_model.address()) != address || m_socket->localAddress() == address)
        return;
    const quint16 port = m_socket->localPort();
    if (!bindSocket(address, port))
        return; // stays where it was; errorString() says why
    m_page->close();
    afterStateChange(); // the page follows to the new address
    Q_EMIT addressChanged(address);
}

QString SimulatedUnit::describeFrame(const UnitModel::FrameRecord& record, quint16 sourcePort)
{
    static const char* const kOutcomes[] = {"accepted",   "wrong password", "filtered (allowed IP list)",
                                            "bad header", "too short",      "unknown opcode"};
    const auto& s = record.source;
    const QString opcode = record.bytes.size() >= 10 && record.bytes[9] >= 0x21 && record.bytes[9] < 0x7F
                               ? QStringLiteral("'%1'").arg(QLatin1Char(record.bytes[9]))
                               : QStringLiteral("-");
    return QStringLiteral("%1 ms %2.%3.%4.%5:%6 %7 %8 bytes %9")
        .arg(record.atMs)
        .arg(s[0])
        .arg(s[1])
        .arg(s[2])
        .arg(s[3])
        .arg(sourcePort)
        .arg(opcode)
        .arg(record.bytes.size())
        .arg(QLatin1String(kOutcomes[static_cast<int>(record.outcome)]));
}

} // namespace kestavo::sim
