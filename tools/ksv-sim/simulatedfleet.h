#pragma once

// Many simulated units behind one socket, as a fleet of units on consecutive loopback addresses
// that all listen on the same port. A socket per unit would not scale: the event loop watches
// every descriptor on each turn, and a process may hold only so many. The shared socket listens
// on every address of the port, reads each datagram's destination address to find the unit, and
// answers from that address, so the poller sees each unit at its own address.
//
// The units' clocks move with the wall clock, brought up to date when a datagram reaches them.
// Injected faults and the status web page belong to SimulatedUnit and are not offered here.

#include <cstdint>
#include <vector>

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include "ksv-sim/simulatedunit.h"
#include "ksv-sim/unitmodel.h"

class QUdpSocket;

namespace kestavo::sim {

class SimulatedFleet final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SimulatedFleet)

public:
    struct Counters
    {
        std::uint64_t datagramsReceived = 0;
        std::uint64_t repliesSent = 0;
        std::uint64_t refused = 0; // not for one of the units, or from outside 127.0.0.0/8
        std::uint64_t sendErrors = 0;
    };

    /// Unit k answers at configs[0].bindAddress + k on configs[0].port (0: the system picks).
    explicit SimulatedFleet(const std::vector<SimulatedUnit::Config>& configs, QObject* parent = nullptr);
    ~SimulatedFleet() override;

    bool start();
    void stop();
    QString errorString() const { return m_error; }

    int count() const { return static_cast<int>(m_models.size()); }
    quint16 port() const;
    QHostAddress address(int index) const;
    UnitModel& model(int index) { return m_models.at(static_cast<std::size_t>(index)); }
    const Counters& counters() const { return m_counters; }

private:
    void readDatagrams();
    bool reply(const std::string& bytes, quint32 from, quint32 to, quint16 toPort);

    std::vector<UnitModel> m_models;
    std::vector<std::int64_t> m_clockBase; // wall-clock milliseconds already given to each model
    quint32 m_first = 0;                   // IPv4 address of unit 0
    quint16 m_port = 0;
    QUdpSocket* m_socket = nullptr;
    QElapsedTimer m_clock;
    QByteArray m_buffer;
    Counters m_counters;
    QString m_error;
};

} // namespace kestavo::sim
