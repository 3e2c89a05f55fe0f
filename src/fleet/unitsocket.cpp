#include "fleet/unitsocket.h"

#include <algorithm>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QNetworkDatagram>
#include <QTimer>

namespace kestavo::fleet {

UnitSocket::UnitSocket(const QHostAddress& address, quint16 port) : m_address(address), m_port(port) {}

bool UnitSocket::open()
{
    if (!m_socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0)) {
        m_error = QStringLiteral("cannot open a UDP socket: %1").arg(m_socket.errorString());
        return false;
    }
    return true;
}

void UnitSocket::setObservers(Observer sent, Observer received)
{
    m_onSent = std::move(sent);
    m_onReceived = std::move(received);
}

bool UnitSocket::send(const std::string& frame)
{
    const QByteArray bytes(frame.data(), static_cast<qsizetype>(frame.size()));
    if (m_socket.writeDatagram(bytes, m_address, m_port) != bytes.size()) {
        m_error = QStringLiteral("cannot send to %1 port %2: %3")
                      .arg(m_address.toString())
                      .arg(m_port)
                      .arg(m_socket.errorString());
        return false;
    }
    ++m_sent;
    if (m_onSent)
        m_onSent(bytes);
    return true;
}

std::optional<QByteArray> UnitSocket::receive(int timeoutMs)
{
    const QDeadlineTimer deadline(std::max(timeoutMs, 0));
    for (;;) {
        while (m_socket.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = m_socket.receiveDatagram();
            // Only the unit's own address and port: a reply from anywhere else is no answer of it.
            if (datagram.isValid() && datagram.senderPort() == m_port &&
                datagram.senderAddress().isEqual(m_address, QHostAddress::ConvertV4MappedToIPv4)) {
                if (m_onReceived)
                    m_onReceived(datagram.data());
                return datagram.data();
            }
        }
        const qint64 remaining = deadline.remainingTime();
        if (remaining <= 0)
            return std::nullopt;
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&m_socket, &QUdpSocket::readyRead, &loop, &QEventLoop::quit);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(static_cast<int>(remaining));
        loop.exec();
    }
}

std::optional<std::uint32_t> UnitSocket::localIpv4() const
{
    // Connecting a UDP socket only picks the route and the local address; nothing is sent.
    QUdpSocket probe;
    probe.connectToHost(m_address, m_port);
    bool isIpv4 = false;
    const quint32 address = probe.localAddress().toIPv4Address(&isIpv4);
    if (!isIpv4 || address == 0)
        return std::nullopt;
    return address;
}

} // namespace kestavo::fleet
