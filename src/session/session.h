#pragma once

#include <string>

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include "protocol/reply.h"

class QUdpSocket;

namespace kestavo::platform {
class Prompter;
}
namespace kestavo::stations {
class StationStore;
}

namespace kestavo::core {

class ConsoleState;

/// The session with the selected unit over the main socket (`Winsock1`): Start, the poll tick, the
/// watchdog, Stop, the frame counters and the reply decoder. Every frame a dialog sends on the main
/// socket goes through send().
class Session final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Session)

public:
    enum class Phase { Idle, Waiting, Receiving };

    struct Timing
    {
        int pollMs = 1000;
        int pulseMs = 200;
        int watchdogMs = 60000;
    };

    Session(ConsoleState& state, stations::StationStore& store, platform::Prompter& prompter,
            QObject* parent = nullptr);
    ~Session() override;

    void setTiming(const Timing& timing);
    const Timing& timing() const { return m_timing; }
    /// The unit's UDP port: 7 unless a simulator or a port-forwarded site needs another.
    void setUnitPort(quint16 port) { m_unitPort = port; }
    quint16 unitPort() const { return m_unitPort; }

    /// "Start": address is the station box text (its first 15 characters, trimmed, are used).
    void start(const QString& stationBoxText);
    /// "Stop": also run by the watchdog, a rejected password, `U1` and an address change.
    void stop();

    /// Sends one frame on the main socket; `counted` adds 1 to "Sent:". Returns false when no
    /// session runs (nothing is sent) or the socket refused the datagram.
    bool send(const std::string& frame, bool counted = true);

    /// The selected station's password as it goes on the wire (the `Text9` mirror).
    std::string password() const;

    Phase phase() const { return m_phase; }
    int sent() const { return m_sent; }
    int received() const { return m_received; }
    int lost() const { return m_lost; }
    /// The address of this computer's interface that reaches the unit (null without a session).
    QHostAddress localAddress() const;
    quint16 localPort() const;
    QHostAddress unitAddress() const { return m_unitAddress; }

    // Timer access for tests and the main window's state display.
    const QTimer& pollTimer() const { return m_poll; }
    const QTimer& pulseTimer() const { return m_pulse; }
    const QTimer& watchdogTimer() const { return m_watchdog; }

    /// While held, poll ticks send nothing. A password change holds them: a poll sent after the
    /// unit switched to the new password but before the console learned of it would be refused
    /// and end the session.
    void setPollsHeld(bool held) { m_pollsHeld = held; }
    bool pollsHeld() const { return m_pollsHeld; }

    /// The security dialog sends the password and allowed-IP changes on sockets of its own; it
    /// reports them here so that whoever watches the session's traffic (the audit trail) sees them.
    void noteAdminFrame(const QByteArray& frame) { Q_EMIT adminFrameSent(frame); }
    void noteAdminReply(const QByteArray& datagram) { Q_EMIT adminReplyReceived(datagram); }

    /// Feeds one datagram to the reply decoder as if it had arrived on the main socket.
    void handleDatagram(const QByteArray& datagram);

Q_SIGNALS:
    void phaseChanged(kestavo::core::Session::Phase phase);
    /// sentChanged is true when the sent figure changed (the lost figure is recomputed only then).
    void countersChanged(bool sentChanged);
    /// The activity label's pulse colour (six-step cycle).
    void pulseColour(quint32 rgb);
    /// After every Start (also one that reused the open socket).
    void started();
    /// After Stop: the main window resets its readouts.
    void stopped();
    /// A frame went out on the main socket.
    void frameSent(const QByteArray& frame);
    /// Once per Start: the unit's status reports are shorter than its revision promises (or than
    /// any revision's base fields); `length` is the report's size in bytes.
    void shortReports(int length);
    /// The watchdog ended the session (no reply for its interval); stopped() follows.
    void watchdogExpired();
    /// The unit refused the password; stopped() follows.
    void passwordRefused();
    /// A datagram from the unit reached the reply decoder (before it is decoded).
    void replyReceived(const QByteArray& datagram);
    /// A password or allowed-IP frame went out, or its answer came back, on the security sockets.
    void adminFrameSent(const QByteArray& frame);
    void adminReplyReceived(const QByteArray& datagram);

private:
    void onReadyRead();
    void onPollTick();
    void onWatchdog();
    void onPulse();
    void setPhase(Phase phase);
    void setSent(int sent);
    void decodeStatusReport(const QByteArray& datagram);
    void applyStatusReport(const protocol::StatusReport& report);

    ConsoleState& m_state;
    stations::StationStore& m_store;
    platform::Prompter& m_prompter;
    QUdpSocket* m_socket = nullptr;
    QTimer m_poll;
    QTimer m_pulse;
    QTimer m_watchdog;
    Timing m_timing;
    quint16 m_unitPort = 7;
    QHostAddress m_unitAddress;
    Phase m_phase = Phase::Idle;
    int m_sent = 0;
    int m_received = 0;
    int m_lost = 0;
    int m_pulseStep = 0;
    bool m_firstReport = false;
    bool m_errorShown = false;
    bool m_pollsHeld = false;
    bool m_shortReported = false;
};

} // namespace kestavo::core
