#pragma once

// One simulated KSV unit on the network: a UDP socket in front of a UnitModel, with the fault
// injector between the model's replies and the wire, and the status web page beside it. Meant
// to be embedded: tests and the console's demo create one in-process, start() it and read
// port(). In real-time mode a timer moves the unit's clock with the wall clock; otherwise the
// clock moves only through advance(), which is what tests use.

#include <cstdint>
#include <memory>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include "ksv-sim/faultinjector.h"
#include "ksv-sim/unitmodel.h"

class QUdpSocket;

namespace kestavo::sim {

class StatusPage;

class SimulatedUnit final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SimulatedUnit)

public:
    struct Config
    {
        UnitModel::Config unit;
        FaultInjector::Config faults;
        QHostAddress bindAddress = QHostAddress(QHostAddress::LocalHost); // 127.0.0.0/8 only
        quint16 port = 7;                // 0: the system picks one, see port()
        int httpPort = -1;               // status web page port; -1 none, 0 any free one
        bool realTime = true;            // false: time moves only through advance()
        int tickMs = 100;                // real-time step of the unit's clock
        int reorderFlushMs = 500;        // a held-back reply goes out anyway after this long
        bool followAddressChange = true; // an 'F' inside 127.0.0.0/8 moves the socket there
    };

    struct Counters
    {
        std::uint64_t datagramsReceived = 0;
        std::uint64_t repliesSent = 0; // datagrams written to the socket, copies included
        std::uint64_t sendErrors = 0;
    };

    explicit SimulatedUnit(const Config& config, QObject* parent = nullptr);
    ~SimulatedUnit() override;

    /// Binds the socket (and the web page when HTTP is on). On failure errorString() says why.
    bool start();
    void stop();
    bool isRunning() const;
    QString errorString() const { return m_error; }

    QHostAddress address() const;
    quint16 port() const;
    /// Port of the status web page, 0 while it is not listening.
    quint16 httpPort() const;

    /// Moves the unit's clock by ms (manual mode; in real-time mode it adds to the wall clock).
    void advance(std::int64_t ms);

    UnitModel& model() { return m_model; }
    const UnitModel& model() const { return m_model; }
    const FaultInjector& faults() const { return m_faults; }
    const Counters& counters() const { return m_counters; }
    const Config& config() const { return m_config; }

    static bool isLoopback(const QHostAddress& address);
    /// One line about a handled datagram, as --verbose prints it.
    static QString describeFrame(const UnitModel::FrameRecord& record, quint16 sourcePort);

Q_SIGNALS:
    /// After the model has handled a datagram; record is the model's log entry for it.
    void frameHandled(const kestavo::sim::UnitModel::FrameRecord& record, quint16 sourcePort);
    void replySent(const QByteArray& bytes);
    /// The unit has moved its socket after an 'F' frame.
    void addressChanged(const QHostAddress& address);

private:
    void readDatagrams();
    void send(const FaultInjector::Delivery& delivery, const QHostAddress& to, quint16 port);
    void deliver(std::vector<FaultInjector::Delivery> deliveries, const QHostAddress& to, quint16 port);
    void catchUp();
    void afterStateChange();
    bool bindSocket(const QHostAddress& address, quint16 port);
    void moveTo(const QHostAddress& address);

    Config m_config;
    UnitModel m_model;
    FaultInjector m_faults;
    Counters m_counters;
    QString m_error;
    QUdpSocket* m_socket = nullptr;
    std::unique_ptr<StatusPage> m_page;
    QTimer m_tick;
    QTimer m_flush;
    QElapsedTimer m_clock;
    std::int64_t m_clockBase = 0; // wall-clock milliseconds already given to the model
    QHostAddress m_lastPeer;
    quint16 m_lastPeerPort = 0;
    quint16 m_httpPort = 0;
    QHostAddress m_handledAddress; // the model's address the socket has last been set up for
};

} // namespace kestavo::sim
