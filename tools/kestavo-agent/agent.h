#pragma once

// kestavo-agent: the fleet as a service. Polls every station of the directory (or its shard),
// records history, serves Prometheus metrics and a JSON API over HTTP, and publishes to MQTT with
// Home Assistant discovery. Reloads the station list when the database file changes.

#include <memory>

#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QTimer>

#include "agentoptions.h"
#include "fleet/fleetpoller.h"
#include "metrics.h"

class QHttpServer;

namespace kestavo::history {
class HistoryStore;
}
namespace kestavo::fleet {
class FleetRecorder;
}

namespace kestavo::agent {

class MqttPublisher;

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

private:
    bool reloadStations();
    void onReport(int index);
    void onLinkState(int index, fleet::LinkState state);
    void publishDiscovery(const fleet::FleetPoller::Unit& unit, const QString& unitId);
    QByteArray metrics();

    AgentOptions m_options;
    QString m_databasePath;
    QString m_error;
    fleet::FleetPoller m_poller;
    std::unique_ptr<history::HistoryStore> m_history;
    std::unique_ptr<fleet::FleetRecorder> m_recorder;
    std::unique_ptr<QHttpServer> m_http;
    std::unique_ptr<MqttPublisher> m_mqtt;
    QFileSystemWatcher m_watcher;
    QTimer m_reload;
    quint16 m_httpPort = 0;
    AgentFigures m_figures;
    QHash<QString, QString> m_discovered; // unit id (MAC) -> the discovery payload's station name
};

} // namespace kestavo::agent
