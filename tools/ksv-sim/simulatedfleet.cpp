#include "ksv-sim/simulatedfleet.h"

#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QVariant>

namespace kestavo::sim {

namespace {

constexpr qint64 kMaxDatagram = 4096;
constexpr int kBufferBytes = 8 * 1024 * 1024;

Ipv4 toIpv4(quint32 value)
{
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

bool isLoopback(quint32 address)
{
    return (address >> 24) == 127;
}

} // namespace

SimulatedFleet::SimulatedFleet(const std::vector<SimulatedUnit::Config>& configs, QObject* parent)
    : QObject(parent), m_buffer(kMaxDatagram, '\0')
{
    if (!configs.empty()) {
        m_first = configs.front().bindAddress.toIPv4Address();
        m_port = configs.front().port;
    }
    m_models.reserve(configs.size());
    for (std::size_t k = 0; k < configs.size(); ++k) {
        UnitModel::Config unit = configs[k].unit;
        unit.address = toIpv4(m_first + static_cast<quint32>(k));
        m_models.emplace_back(unit);
    }
    m_clockBase.assign(configs.size(), 0);
}

SimulatedFleet::~SimulatedFleet() = default;

bool SimulatedFleet::start()
{
    if (m_socket)
        return true;
    const quint32 last = m_first + static_cast<quint32>(m_models.size()) - 1;
    if (m_models.empty() || !isLoopback(m_first) || !isLoopback(last) || last < m_first) {
        m_error = QStringLiteral("the units' addresses must all lie in 127.0.0.0/8");
        return false;
    }
    auto* socket = new QUdpSocket(this);
    // Every address of the port: the units' addresses are told apart by each datagram's destination.
    // Datagrams from outside loopback are refused in readDatagrams().
    if (!socket->bind(QHostAddress::AnyIPv4, m_port)) {
        m_error = QStringLiteral("cannot listen on port %1: %2").arg(m_port).arg(socket->errorString());
        delete socket;
        return false;
    }
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(kBufferBytes));
    socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, QVariant(kBufferBytes));
    connect(socket, &QUdpSocket::readyRead, this, &SimulatedFleet::readDatagrams);
    m_socket = socket;
    m_port = socket->localPort();
    m_clock.start();
    return true;
}

void SimulatedFleet::stop()
{
    delete m_socket;
    m_socket = nullptr;
}

quint16 SimulatedFleet::port() const
{
    return m_port;
}

QHostAddress SimulatedFleet::address(int index) const
{
    return QHostAddress(m_first + static_cast<quint32>(index));
}

void SimulatedFleet::readDatagrams()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(kMaxDatagram);
        if (!datagram.isValid())
            continue;
        ++m_counters.datagramsReceived;
        const quint32 from = datagram.senderAddress().toIPv4Address();
        const quint32 to = datagram.destinationAddress().toIPv4Address();
        if (!isLoopback(from) || to < m_first || to - m_first >= m_models.size()) {
            ++m_counters.refused;
            continue;
        }
        const std::size_t k = to - m_first;
        UnitModel& model = m_models[k];
        const std::int64_t elapsed = m_clock.elapsed();
        if (elapsed > m_clockBase[k]) {
            model.advance(elapsed - m_clockBase[k]);
            m_clockBase[k] = elapsed;
        }
        const QByteArray data = datagram.data();
        const std::vector<std::string> replies = model.handleFrame(
            std::string_view(data.constData(), static_cast<std::size_t>(data.size())), toIpv4(from));
        for (const std::string& bytes : replies) {
            if (reply(bytes, to, from, static_cast<quint16>(datagram.senderPort())))
                ++m_counters.repliesSent;
            else
                ++m_counters.sendErrors;
        }
    }
}

// Qt sends a datagram from the address the routing picks (127.0.0.1 here); the unit must answer
// from its own address, which IP_PKTINFO's ipi_spec_dst sets for this one datagram.
bool SimulatedFleet::reply(const std::string& bytes, quint32 from, quint32 to, quint16 toPort)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(toPort);
    target.sin_addr.s_addr = htonl(to);
    iovec vector{const_cast<char*>(bytes.data()), bytes.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))]{};
    msghdr message{};
    message.msg_name = &target;
    message.msg_namelen = sizeof target;
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst.s_addr = htonl(from);
    std::memcpy(CMSG_DATA(header), &info, sizeof info);
    return ::sendmsg(static_cast<int>(m_socket->socketDescriptor()), &message, 0) ==
           static_cast<ssize_t>(bytes.size());
}

} // namespace kestavo::sim
