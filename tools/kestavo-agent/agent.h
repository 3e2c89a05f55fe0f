#pragma once

// kestavo-agent: the fleet as a service. Polls every station of the directory (or its shard),
// records history, serves Prometheus metrics and a JSON API over HTTP, and publishes to MQTT with
// Home Assistant discovery. Reloads the station list when the database file changes.

#include <functional>
#include <memory>

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QTimer>

#include "stations/stationextras.h"

#include "agentoptions.h"
#include "fleet/fleetpoller.h"
#include "metrics.h"

namespace kestavo::alarms {
class AlarmEngine;
}
namespace kestavo::history {
class AlarmJournal;
class AuditLog;
class StationLeases;
class HistoryStore;
} // namespace kestavo::history
namespace kestavo::fleet {
class FleetRecorder;
}
namespace kestavo::schedules {
class ScheduleHost;
}
namespace kestavo::notify {
class Notifier;
class NotifyStore;
} // namespace kestavo::notify

namespace kestavo::agent {

class HttpListener;
class MqttPublisher;
class PollLeases;

class Agent final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Agent)

public:
    /// applicationDir: where a portable "ksv.dat" is looked for, as the console does.
    Agent(const AgentOptions& options, const QString& applicationDir, QObject* parent = nullptr);
    ~Agent() override;

    /// Opens the files, starts polling, listening and publishing. False with errorString().
    bool start();
    /// SIGTERM: polls stop, the history's last batch is written, MQTT says "offline".
    void shutdown();
    QString errorString() const { return m_error; }

    fleet::FleetPoller& poller() { return m_poller; }
    quint16 httpPort() const { return m_httpPort; }
    MqttPublisher* mqtt() { return m_mqtt.get(); }
    /// The Prometheus text /metrics serves.
    QByteArray metrics();
    /// The clock schedules run on (UTC); before start(). Default: the machine's.
    void setScheduleClock(std::function<QDateTime()> clock) { m_scheduleClock = std::move(clock); }

private:
    bool reloadStations();
    /// Hands the poller the stations this agent polls: those it holds the lease of, or without
    /// leases its whole shard.
    void applyStations();
    void onReport(int index);
    void onLinkState(int index, fleet::LinkState state);
    void publishDiscovery(const fleet::FleetPoller::Unit& unit, const QString& unitId);
    void onCommand(const QString& topic, const QByteArray& payload, bool retained);
    bool takeCommandToken(const QString& unitId);
    void ignoreCommand(const QString& topic, const QString& why);
    void settleSwitches(int index, bool timedOut);
    void openAlarms(const QString& historyPath);
    void openNotifier(const QString& historyPath);
    void openSchedules(const QString& historyPath);
    QJsonObject withMaintenance(QJsonObject station) const;
    QJsonArray withMaintenance(QJsonArray stations) const;
    /// One audit record (program "agent") for a relay command sent over MQTT.
    void audit(int index, int relay, bool on, const QString& outcome, const QString& detail);
    void audit(const QString& address, const QString& description, int relay, bool on, const QString& outcome,
               const QString& detail);

    // What keeps the agent from doing its work; /healthz is 503 while any is present.
    enum class Problem { HistoryWrite, HistoryLocked, HistoryReplaced, HistoryDamaged, Stations };
    static QByteArray problemName(Problem kind);
    /// Empty reason: the problem is gone.
    void setProblem(Problem kind, const QString& reason);
    void checkHistory();
    // Identifies a file at a path: a rename or replacement changes it.
    struct FileStamp
    {
        bool exists = false;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 seconds = 0;
        qint64 nanoseconds = 0;
        static FileStamp of(const QString& path);
        bool operator==(const FileStamp&) const = default;
    };

    AgentOptions m_options;
    QString m_databasePath;
    QString m_error;
    fleet::FleetPoller m_poller;
    std::unique_ptr<history::HistoryStore> m_history;
    std::unique_ptr<fleet::FleetRecorder> m_recorder;
    // Alarms and the audit log live in the history file; the engine goes before its journal.
    std::unique_ptr<history::AlarmJournal> m_alarmJournal;
    std::unique_ptr<history::AuditLog> m_audit;
    std::unique_ptr<history::StationLeases> m_leases; // outlives m_alarms, which releases them
    QString m_holder;                                 // the agent's name in the lease table
    std::unique_ptr<PollLeases> m_pollLeases;         // which stations to poll, with leases
    QList<fleet::FleetStation> m_directory;           // every station of the directory
    std::unique_ptr<alarms::AlarmEngine> m_alarms;
    // Notifications of the engine's alarms; the notifier goes before the engine it listens to.
    std::unique_ptr<notify::NotifyStore> m_notifyStore;
    std::unique_ptr<notify::Notifier> m_notifier;
    std::unique_ptr<HttpListener> m_http;
    std::unique_ptr<MqttPublisher> m_mqtt;
    QFileSystemWatcher m_watcher;
    QTimer m_reload;
    quint16 m_httpPort = 0;
    AgentFigures m_figures;
    QHash<QString, QString> m_discovered; // unit id (MAC) -> the discovery payload's station name
    QHash<QString, int> m_unitIndex;      // unit id (MAC) -> poller index, from the reports

    // A relay switched over MQTT waits for a report that shows it.
    // Kept by address, not row: a reload of the station list renumbers the rows while the unit
    // still has to show the change.
    struct PendingSwitch
    {
        QString address;
        QString description;
        QString unitId;
        int relay = 0;
        bool on = false;
        qint64 deadlineMs = 0; // poller clock
    };
    QList<PendingSwitch> m_pending;
    /// Ends a pending switch that can no longer be confirmed: audited and answered on MQTT.
    void abandonSwitch(const PendingSwitch& pending, const QString& why);

    // Schedules, run only with --allow-control and alarms on: the executor acts for the stations
    // whose lease the alarm engine holds. Goes before the engine and the audit log it uses.
    std::unique_ptr<schedules::ScheduleHost> m_schedules;
    std::function<QDateTime()> m_scheduleClock;
    QHash<QString, QStringList> m_stationTags;            // address -> tags, from the station file
    QHash<QString, stations::StationSite> m_stationSites; // address -> zone and position
    QTimer m_switchTimeout;
    QSet<QString> m_ignoredTopics; // logged once each
    QMap<Problem, QString> m_problems;
    QTimer m_healthTimer;
    FileStamp m_stationStamp;    // of the station file last read
    FileStamp m_stationLogStamp; // of its write-ahead log then
    FileStamp m_historyStamp;    // of the history file when opened
    qint64 m_lastHistoryWriteMs = 0;
    QString m_healthConnection = QStringLiteral("kestavo-agent-health-%1").arg(quintptr(this));
    struct CommandBucket
    {
        int tokens = 0;
        qint64 lastMs = 0; // poller clock of the last refill
    };
    QHash<QString, CommandBucket> m_commandBuckets; // unit id (MAC) -> its relay commands' allowance
};

} // namespace kestavo::agent
