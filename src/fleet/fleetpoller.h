#pragma once

// Polls every station of the directory at once over one shared UDP socket: each unit gets the
// console's own poll frame at the poll interval, the units' send times spread evenly over the
// interval so that thousands of them never fire in the same millisecond. Replies are matched to a
// unit by their source address and port; anything else is counted and dropped.
//
// The poller knows no sinks: it emits reportDecoded() for every status report it decoded, and
// whoever records, alarms or displays connects to it.

#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTimer>
#include <queue>

#include "protocol/reply.h"

#include "fleet/fleetstation.h"
#include "fleet/linkstate.h"

class QUdpSocket;

namespace kestavo::fleet {

class FleetPoller final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FleetPoller)

public:
    /// Wall-clock time in milliseconds since the epoch (UTC): the time stamped on reports and the
    /// clock the link state is judged by. Tests inject their own.
    using Clock = std::function<qint64()>;

    struct Timing
    {
        int intervalMs = 5000;         // between two polls of one unit; 1 s to 1 h
        int tickMs = 10;               // how often due polls are looked for
        int stateCheckMs = 1000;       // how often link states are re-judged as reports age
        qint64 staleMs = 60000;        // a report older than this makes the unit offline
        qint64 externalQuietMs = 1500; // a unit another part of the console polled this recently is skipped
    };

    struct Unit
    {
        FleetStation station;
        QString invalidReason; // set: the unit is never polled
        LinkState state = LinkState::Offline;
        std::optional<qint64> lastReportMs; // clock time of the last report, ours or another poller's
        std::optional<protocol::StatusReport> lastReport;
        std::optional<qint64> rttUs; // poll to decoded reply, of the last report we polled for
        bool passwordRejected = false;
        quint64 sent = 0;
        quint64 received = 0;
        quint64 lost = 0;        // polls followed by the next one without any reply between
        quint64 rateLimited = 0; // datagrams dropped undecoded because the unit sent far more than asked
        quint64 skipped = 0;     // polls left out because another part of the console had just polled
    };

    struct Counters
    {
        quint64 datagrams = 0;   // every datagram read from the socket
        quint64 strangers = 0;   // from an address and port no unit of the fleet has
        quint64 undecodable = 0; // from a unit, but too short or garbled
        quint64 sendErrors = 0;
    };

    explicit FleetPoller(QObject* parent = nullptr);
    ~FleetPoller() override;

    void setTiming(const Timing& timing);
    const Timing& timing() const { return m_timing; }
    void setClock(Clock clock) { m_clock = std::move(clock); }
    qint64 now() const { return m_clock(); }
    /// The units' UDP port: 7 unless a simulator or a port-forwarded site needs another.
    void setUnitPort(quint16 port) { m_unitPort = port; }
    quint16 unitPort() const { return m_unitPort; }

    /// Replaces the list of units. A unit whose address and password are unchanged keeps its
    /// counters and its last report, so reloading the directory does not reset the view.
    void setStations(const QList<FleetStation>& stations);

    /// Binds the shared socket and starts the staggered polls. False with errorString() on failure.
    bool start();
    void stop();
    bool isRunning() const { return m_running; }
    QString errorString() const { return m_error; }
    quint16 localPort() const;

    /// Binds the socket if needed and sends one poll to every pollable unit now (kestavo-cli fleet).
    bool pollAll();
    /// Sends one frame (built by the protocol's builders) to a pollable unit over the shared socket;
    /// its answer is read like a poll's. False when the unit cannot be polled or the send failed.
    bool sendFrame(int index, const std::string& frame);

    int count() const { return static_cast<int>(m_units.size()); }
    const Unit& unit(int index) const { return m_units.at(static_cast<std::size_t>(index)); }
    int indexOf(const QString& address) const;
    const Counters& counters() const { return m_counters; }

    /// Another part of the console sent this unit a frame: the poller's next poll of it is skipped
    /// when it would follow too closely.
    void noteExternalPoll(const QString& address);
    /// Another part of the console decoded a report of this unit: the fleet's view takes it over.
    void noteExternalReport(const QString& address, const protocol::StatusReport& report);

    /// Re-judges every link state against the clock (the state timer calls this).
    void refreshStates();

    /// Reads what is waiting on the socket now, instead of on the next turn of the event loop.
    void readPending();

Q_SIGNALS:
    /// After setStations(): rows may have come and gone.
    void stationsReset();
    /// start() began polling, or stop() ended it.
    void runningChanged(bool running);
    void reportDecoded(int index, qint64 utcMs, const kestavo::protocol::StatusReport& report);
    void linkStateChanged(int index, kestavo::fleet::LinkState state);
    /// Anything shown for the unit changed: report, counters or state.
    void unitChanged(int index);

private:
    struct Schedule
    {
        QByteArray frame; // the poll frame, built once per password
        QHostAddress address;
        qint64 dueMs = 0; // monotonic
        bool awaiting = false;
        qint64 sentAtNs = 0;
        int credit = 0;
        std::optional<qint64> externalPollMs; // monotonic
    };
    using Due = std::pair<qint64, int>; // monotonic due time, unit index

    bool ensureSocket();
    void schedule();
    void onTick();
    void sendPoll(int index);
    void handleDatagram(int index, const char* data, qint64 size);
    void setState(int index, LinkState state);
    LinkLimits limits() const;

    Timing m_timing;
    Clock m_clock;
    quint16 m_unitPort = 7;
    QUdpSocket* m_socket = nullptr;
    QTimer m_tick;
    QTimer m_stateTimer;
    QElapsedTimer m_monotonic;
    std::vector<Unit> m_units;
    std::vector<Schedule> m_schedules;
    QHash<quint32, int> m_byAddress; // IPv4 address -> unit index
    std::priority_queue<Due, std::vector<Due>, std::greater<>> m_queue;
    Counters m_counters;
    QByteArray m_buffer;
    QString m_error;
    bool m_running = false;
};

/// Why `address` cannot be polled, or an empty text when it is a unicast IPv4 address written
/// as four decimal numbers.
QString addressProblem(const QString& address);

} // namespace kestavo::fleet
