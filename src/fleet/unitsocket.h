#pragma once

// One unit's conversation for a fleet operation: a UDP socket of its own, bound to a port the
// system picks, that hands the backup library's exchange the datagrams from that unit only.
// Created and used on one worker thread; waiting runs that thread's event loop.

#include <functional>

#include <QHostAddress>
#include <QUdpSocket>

#include "backup/unittransport.h"

namespace kestavo::fleet {

class UnitSocket final : public backup::UnitTransport
{
    Q_DISABLE_COPY_MOVE(UnitSocket)

public:
    using Observer = std::function<void(const QByteArray&)>;

    UnitSocket(const QHostAddress& address, quint16 port);
    ~UnitSocket() override = default;

    /// Binds the socket; false with errorString() set when it cannot.
    bool open();
    /// See every frame sent and every datagram handed out (the audit pairs them).
    void setObservers(Observer sent, Observer received);
    int framesSent() const { return m_sent; }

    bool send(const std::string& frame) override;
    std::optional<QByteArray> receive(int timeoutMs) override;
    QString errorString() const override { return m_error; }
    std::optional<std::uint32_t> localIpv4() const override;

private:
    QHostAddress m_address;
    quint16 m_port;
    QUdpSocket m_socket;
    QString m_error;
    int m_sent = 0;
    Observer m_onSent;
    Observer m_onReceived;
};

} // namespace kestavo::fleet
