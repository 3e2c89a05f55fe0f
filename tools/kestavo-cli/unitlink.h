#pragma once

// A synchronous conversation with one unit over UDP: send a frame, wait for the next datagram
// from the unit's address. Waiting runs a local event loop, so a simulated unit living in the
// same thread (as in the tests) gets to answer while the command waits.

#include <functional>
#include <optional>
#include <string>

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QUdpSocket>

namespace kestavo::cli {

class UnitLink final
{
    Q_DISABLE_COPY_MOVE(UnitLink)

public:
    UnitLink(const QHostAddress& address, quint16 port);

    /// Binds a local socket on a port the system picks. On failure errorString() says why.
    bool open();
    QString errorString() const { return m_error; }

    /// Sends one frame as one datagram.
    bool send(const std::string& frame);

    /// The next datagram from the unit's address, or nothing when timeoutMs pass without one.
    /// Datagrams from other addresses are dropped.
    std::optional<QByteArray> receive(int timeoutMs);
    /// Sees every datagram receive() hands out (the audit trail pairs them with what was sent).
    void setReceiveObserver(std::function<void(const QByteArray&)> observer)
    {
        m_observer = std::move(observer);
    }

    /// This computer's IPv4 address on the way to the unit, as the unit will see it; empty when
    /// the system cannot tell. Nothing is sent to find out.
    std::optional<quint32> localIpv4() const;

    int framesSent() const { return m_sent; }
    const QHostAddress& address() const { return m_address; }
    quint16 port() const { return m_port; }

private:
    QHostAddress m_address;
    quint16 m_port;
    QUdpSocket m_socket;
    QString m_error;
    int m_sent = 0;
    std::function<void(const QByteArray&)> m_observer;
};

} // namespace kestavo::cli
