#include "agent.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QHttpServer>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "protocol/commanddescription.h"
#include "protocol/frames.h"

#include "stations/databaselocation.h"
#include "stations/stationstore.h"

#include "alarms/alarmengine.h"
#include "alarms/fleetalarms.h"
#include "fleet/fleetrecorder.h"
#include "fleet/fleetstation.h"
#include "history/alarmjournal.h"
#include "history/auditlog.h"
#include "history/historystore.h"
#include "mqttpublisher.h"

namespace kestavo::agent {

namespace {

QString unitIdOf(const protocol::StatusReport& report)
{
    QString id;
    for (const std::uint8_t byte : report.mac)
        id += QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0'));
    return id;
}

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

Agent::Agent(const AgentOptions& options, const QString& applicationDir, QObject* parent)
    : QObject(parent), m_options(options),
      m_databasePath(stations::resolveDatabasePath(options.db, applicationDir))
{
    fleet::FleetPoller::Timing timing;
    timing.intervalMs = options.intervalMs;
    m_poller.setTiming(timing);
    m_poller.setUnitPort(options.unitPort);
    m_reload.setSingleShot(true);
    m_reload.setInterval(500);
    connect(&m_reload, &QTimer::timeout, this, [this] {
        if (reloadStations())
            qInfo("Station list reloaded: %d stations", m_poller.count());
        if (!m_watcher.files().contains(m_databasePath))
            m_watcher.addPath(m_databasePath); // a file replaced on save leaves the watch
    });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_reload, qOverload<>(&QTimer::start));
    connect(&m_poller, &fleet::FleetPoller::reportDecoded, this,
            [this](int index, qint64, const protocol::StatusReport&) { onReport(index); });
    connect(&m_poller, &fleet::FleetPoller::linkStateChanged, this, &Agent::onLinkState);
    m_switchTimeout.setInterval(500);
    connect(&m_switchTimeout, &QTimer::timeout, this, [this] {
        for (int i = 0; i < m_poller.count(); ++i)
            settleSwitches(i, true);
    });
    connect(&m_poller, &fleet::FleetPoller::stationsReset, this, [this] {
        // Indices change with the list; a pending check cannot follow them.
        m_pending.clear();
        m_unitIndex.clear();
    });
}

Agent::~Agent() = default;

bool Agent::reloadStations()
{
    stations::StationStore store;
    if (!QFileInfo::exists(m_databasePath)) {
        m_error = QStringLiteral("The station database \"%1\" does not exist.").arg(m_databasePath);
        return false;
    }
    const auto opened = store.open(m_databasePath);
    if (!opened.ok) {
        m_error = opened.error;
        return false;
    }
    QList<fleet::FleetStation> mine;
    for (const fleet::FleetStation& station : fleet::stationsFromStore(store)) {
        if (shardOf(station.address, m_options.shards) == m_options.shard)
            mine.append(station);
    }
    m_poller.setStations(mine);
    return true;
}

bool Agent::start()
{
    m_figures.startedAtSeconds = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    if (!reloadStations())
        return false;
    m_watcher.addPath(m_databasePath);

    if (m_options.history != QStringLiteral("none")) {
        const QString path =
            m_options.history.isEmpty()
                ? QFileInfo(m_databasePath).absoluteDir().filePath(QStringLiteral("history.db"))
                : m_options.history;
        m_history = std::make_unique<history::HistoryStore>();
        const auto opened = m_history->open(path);
        if (!opened.ok) {
            m_error = opened.error;
            return false;
        }
        m_recorder = std::make_unique<fleet::FleetRecorder>(m_poller, *m_history);
        openAlarms(path);
    }

    m_http = std::make_unique<QHttpServer>();
    // Read-only: GET on three paths; every other path or method is 404.
    m_http->route(QStringLiteral("/metrics"), QHttpServerRequest::Method::Get, [this] {
        ++m_figures.scrapes;
        QHttpServerResponse response("text/plain; version=0.0.4; charset=utf-8", metrics());
        return response;
    });
    m_http->route(QStringLiteral("/healthz"), QHttpServerRequest::Method::Get, [this] {
        return m_poller.isRunning()
                   ? QHttpServerResponse("text/plain", "ok\n")
                   : QHttpServerResponse("text/plain", "not polling\n",
                                         QHttpServerResponder::StatusCode::ServiceUnavailable);
    });
    m_http->route(QStringLiteral("/api/v1/stations"), QHttpServerRequest::Method::Get, [this] {
        return QHttpServerResponse(
            QJsonObject{{QStringLiteral("stations"), stationsJson(m_poller, m_alarms.get())}});
    });
    m_httpPort = m_http->listen(m_options.listenAddress, m_options.listenPort);
    if (m_httpPort == 0) {
        m_error = QStringLiteral("Cannot listen on %1:%2 for HTTP.")
                      .arg(m_options.listenAddress.toString())
                      .arg(m_options.listenPort);
        return false;
    }

    if (!m_options.mqttHost.isEmpty()) {
        MqttPublisher::Settings settings;
        settings.host = m_options.mqttHost;
        settings.port = m_options.mqttPort;
        settings.prefix = m_options.mqttPrefix;
        settings.discoveryPrefix = m_options.discoveryPrefix;
        settings.user = m_options.mqttUser;
        settings.caFile = m_options.mqttCaFile;
        settings.agentName = QHostInfo::localHostName();
        if (m_options.allowControl)
            settings.subscriptions << QStringLiteral("%1/+/relay/+/set").arg(m_options.mqttPrefix);
        if (!m_options.mqttPasswordFile.isEmpty()) {
            QFile file(m_options.mqttPasswordFile);
            if (!file.open(QIODevice::ReadOnly)) {
                m_error = QStringLiteral("The MQTT password file \"%1\" cannot be read: %2.")
                              .arg(m_options.mqttPasswordFile, file.errorString());
                return false;
            }
            settings.password = QString::fromUtf8(file.readAll()).trimmed();
        }
        m_mqtt = std::make_unique<MqttPublisher>(settings);
        connect(m_mqtt.get(), &MqttPublisher::connectionChanged, this,
                [this](bool connected) { m_figures.mqttConnected = connected; });
        connect(m_mqtt.get(), &MqttPublisher::messageReceived, this, &Agent::onCommand);
        if (!m_mqtt->start()) {
            m_error = m_mqtt->errorString();
            return false;
        }
    }

    if (!m_poller.start()) {
        m_error = m_poller.errorString();
        return false;
    }
    qInfo("Polling %d stations every %d ms; metrics on http://%s:%u/metrics", m_poller.count(),
          m_options.intervalMs, qPrintable(m_options.listenAddress.toString()), unsigned(m_httpPort));
    return true;
}

// Without them the agent still polls and exports: alarms and the audit log are then left out.
void Agent::openAlarms(const QString& historyPath)
{
    auto journal = std::make_unique<history::AlarmJournal>();
    auto audit = std::make_unique<history::AuditLog>();
    if (!journal->open(historyPath) || !audit->open(historyPath)) {
        qWarning("Alarms and the audit log are off: %s",
                 qPrintable(journal->isOpen() ? audit->error() : journal->error()));
        return;
    }
    m_alarmJournal = std::move(journal);
    m_audit = std::move(audit);
    m_alarms = std::make_unique<alarms::AlarmEngine>(m_alarmJournal.get());
    m_alarms->load();
    alarms::feedFromFleet(*m_alarms, m_poller);
}

void Agent::audit(int index, int relay, bool on, const QString& outcome, const QString& detail)
{
    if (!m_audit)
        return;
    const fleet::FleetPoller::Unit& unit = m_poller.unit(index);
    const auto command = protocol::describeCommand(on ? protocol::relayOnFrame(relay, {})
                                                      : protocol::relayOffFrame(relay, {}));
    history::AuditRecord record;
    record.utcMs = QDateTime::currentMSecsSinceEpoch();
    record.user = history::AuditLog::localUser();
    record.host = history::AuditLog::localHost();
    record.program = QStringLiteral("agent");
    record.address = unit.station.address;
    record.description = unit.station.description;
    record.action = command ? QString::fromStdString(command->text) : QString();
    record.outcome = outcome;
    record.detail = detail;
    m_audit->append(record); // a failure is logged once by the log itself, until it writes again
}

void Agent::shutdown()
{
    m_poller.stop();
    m_alarms.reset();
    if (m_history) {
        m_recorder.reset();
        m_history->close();
    }
    if (m_mqtt)
        m_mqtt->stop();
    qInfo("Stopped");
}

QByteArray Agent::metrics()
{
    if (m_mqtt)
        m_figures.mqttMessages = m_mqtt->published();
    return prometheusText(m_poller, m_figures, m_alarms.get());
}

void Agent::onLinkState(int index, fleet::LinkState state)
{
    const fleet::FleetPoller::Unit& unit = m_poller.unit(index);
    qInfo("Unit %s (%s): %s", qPrintable(unit.station.address), qPrintable(unit.station.description),
          qPrintable(fleet::linkStateText(state)));
    if (!m_mqtt || !unit.lastReport)
        return;
    const QString id = unitIdOf(*unit.lastReport);
    m_mqtt->publish(QStringLiteral("%1/%2/availability").arg(m_options.mqttPrefix, id),
                    state == fleet::LinkState::Online ? "online" : "offline", true);
}

void Agent::onReport(int index)
{
    if (!m_mqtt)
        return;
    const fleet::FleetPoller::Unit& unit = m_poller.unit(index);
    const QString id = unitIdOf(*unit.lastReport);
    m_unitIndex.insert(id, index);
    settleSwitches(index, false);
    if (m_discovered.value(id) != unit.station.description || !m_discovered.contains(id)) {
        publishDiscovery(unit, id);
        m_discovered.insert(id, unit.station.description);
        m_mqtt->publish(QStringLiteral("%1/%2/availability").arg(m_options.mqttPrefix, id), "online", true);
    }
    m_mqtt->publish(
        QStringLiteral("%1/%2/state").arg(m_options.mqttPrefix, id),
        compact(unitJson(unit, m_poller.now(), alarmsByStation(m_alarms.get()).value(unit.station.address))),
        true);
}

// One device per unit; every entity's unique_id is derived from the MAC, so it survives restarts
// and a change of the unit's address.
void Agent::publishDiscovery(const fleet::FleetPoller::Unit& unit, const QString& id)
{
    const QString base = QStringLiteral("%1/%2").arg(m_options.mqttPrefix, id);
    const QString node = QStringLiteral("kestavo_%1").arg(id);
    const QJsonObject device{{QStringLiteral("identifiers"), QJsonArray{node}},
                             {QStringLiteral("name"), unit.station.description},
                             {QStringLiteral("model"), QStringLiteral("KSV")},
                             {QStringLiteral("sw_version"), QString::fromStdString(protocol::revisionDotted(
                                                                unit.lastReport->revisionBytes))}};
    const auto entity = [&](const QString& component, const QString& object, const QString& name,
                            QJsonObject config) {
        config.insert(QStringLiteral("name"), name);
        config.insert(QStringLiteral("unique_id"), node + u'_' + object);
        config.insert(QStringLiteral("object_id"), node + u'_' + object);
        config.insert(QStringLiteral("device"), device);
        if (!config.contains(QStringLiteral("state_topic")))
            config.insert(QStringLiteral("state_topic"), base + QStringLiteral("/state"));
        if (object != QStringLiteral("link"))
            config.insert(QStringLiteral("availability_topic"), base + QStringLiteral("/availability"));
        m_mqtt->publish(
            QStringLiteral("%1/%2/%3/%4/config").arg(m_options.discoveryPrefix, component, node, object),
            compact(config), true);
    };
    for (int c = 1; c <= 8; ++c) {
        entity(
            QStringLiteral("sensor"), QStringLiteral("voltage%1").arg(c), captionOf(unit.station, c),
            {{QStringLiteral("device_class"), QStringLiteral("voltage")},
             {QStringLiteral("unit_of_measurement"), QStringLiteral("V")},
             {QStringLiteral("state_class"), QStringLiteral("measurement")},
             {QStringLiteral("value_template"), QStringLiteral("{{ value_json.voltages[%1] }}").arg(c - 1)}});
    }
    entity(QStringLiteral("sensor"), QStringLiteral("temperature"), QStringLiteral("Temperature"),
           {{QStringLiteral("device_class"), QStringLiteral("temperature")},
            {QStringLiteral("unit_of_measurement"), QStringLiteral("°C")},
            {QStringLiteral("state_class"), QStringLiteral("measurement")},
            {QStringLiteral("value_template"), QStringLiteral("{{ value_json.temperature_c }}")}});
    entity(QStringLiteral("sensor"), QStringLiteral("uptime"), QStringLiteral("Uptime"),
           {{QStringLiteral("device_class"), QStringLiteral("duration")},
            {QStringLiteral("unit_of_measurement"), QStringLiteral("s")},
            {QStringLiteral("value_template"), QStringLiteral("{{ value_json.uptime_s }}")}});
    for (int p = 1; p <= 5; ++p) {
        entity(QStringLiteral("binary_sensor"), QStringLiteral("io%1").arg(p),
               QStringLiteral("I/O pin %1").arg(p),
               {{QStringLiteral("value_template"),
                 QStringLiteral("{{ 'ON' if value_json.io[%1] == 1 else 'OFF' }}").arg(p - 1)}});
    }
    for (int r = 1; r <= 3 && m_options.allowControl; ++r) {
        entity(QStringLiteral("switch"), QStringLiteral("relay%1").arg(r), QStringLiteral("Relay %1").arg(r),
               {{QStringLiteral("command_topic"), base + QStringLiteral("/relay/%1/set").arg(r)},
                {QStringLiteral("payload_on"), QStringLiteral("ON")},
                {QStringLiteral("payload_off"), QStringLiteral("OFF")},
                {QStringLiteral("value_template"),
                 QStringLiteral("{{ 'ON' if value_json.relays[%1] else 'OFF' }}").arg(r - 1)}});
    }
    // Without --allow-control relays are read-only.
    for (int r = 1; r <= 3 && !m_options.allowControl; ++r) {
        entity(QStringLiteral("binary_sensor"), QStringLiteral("relay%1").arg(r),
               QStringLiteral("Relay %1").arg(r),
               {{QStringLiteral("value_template"),
                 QStringLiteral("{{ 'ON' if value_json.relays[%1] else 'OFF' }}").arg(r - 1)}});
    }
    entity(QStringLiteral("binary_sensor"), QStringLiteral("link"), QStringLiteral("Link"),
           {{QStringLiteral("device_class"), QStringLiteral("connectivity")},
            {QStringLiteral("state_topic"), base + QStringLiteral("/availability")},
            {QStringLiteral("payload_on"), QStringLiteral("online")},
            {QStringLiteral("payload_off"), QStringLiteral("offline")}});
}

void Agent::ignoreCommand(const QString& topic, const QString& why)
{
    if (m_ignoredTopics.size() < 1000 && !m_ignoredTopics.contains(topic)) {
        m_ignoredTopics.insert(topic);
        qWarning("MQTT command on %s ignored: %s", qPrintable(topic), qPrintable(why));
    }
}

// <prefix>/<unit>/relay/<n>/set with ON or OFF sends the console's own relay frame; the next
// reports must show the change.
void Agent::onCommand(const QString& topic, const QByteArray& payload)
{
    const QStringList parts = topic.mid(m_options.mqttPrefix.size() + 1).split(u'/');
    if (!m_options.allowControl || !topic.startsWith(m_options.mqttPrefix + u'/') || parts.size() != 4 ||
        parts[1] != QStringLiteral("relay") || parts[3] != QStringLiteral("set"))
        return ignoreCommand(topic, QStringLiteral("not a relay command"));
    bool ok = false;
    const int relay = parts[2].toInt(&ok);
    if (!ok || relay < 1 || relay > 3)
        return ignoreCommand(topic, QStringLiteral("relays are numbered 1 to 3"));
    if (payload != "ON" && payload != "OFF")
        return ignoreCommand(topic, QStringLiteral("the payload must be ON or OFF"));
    const auto found = m_unitIndex.constFind(parts[0]);
    if (found == m_unitIndex.cend())
        return ignoreCommand(topic, QStringLiteral("no unit of this agent has reported with that MAC"));
    const int index = *found;
    const fleet::FleetPoller::Unit& unit = m_poller.unit(index);
    const bool on = payload == "ON";
    const std::string password = unit.station.password.toLatin1().toStdString();
    const std::string frame =
        on ? protocol::relayOnFrame(relay, password) : protocol::relayOffFrame(relay, password);
    const QString result =
        QStringLiteral("%1/%2/relay/%3/result").arg(m_options.mqttPrefix, parts[0]).arg(relay);
    if (!m_poller.sendFrame(index, frame)) {
        audit(index, relay, on, QStringLiteral("no answer"), QStringLiteral("not sent"));
        m_mqtt->publish(
            result, QByteArrayLiteral("{\"requested\":\"") + payload + "\",\"outcome\":\"not sent\"}", false);
        return;
    }
    qInfo("Unit %s (%s): relay %d %s requested over MQTT", qPrintable(unit.station.address),
          qPrintable(unit.station.description), relay, payload.constData());
    // Two poll intervals for the unit to show it, and never less than three seconds.
    m_pending.append({index, relay, on, m_poller.now() + std::max(2 * m_options.intervalMs, 3000)});
    m_switchTimeout.start();
}

void Agent::settleSwitches(int index, bool timedOut)
{
    const fleet::FleetPoller::Unit& unit = m_poller.unit(index);
    for (qsizetype i = m_pending.size() - 1; i >= 0; --i) {
        const PendingSwitch& pending = m_pending.at(i);
        if (pending.index != index)
            continue;
        const auto shown =
            unit.lastReport ? unit.lastReport->relayOn[std::size_t(pending.relay - 1)] : std::nullopt;
        const bool confirmed = !timedOut && shown && *shown == pending.on;
        const bool expired = m_poller.now() >= pending.deadlineMs;
        if (!confirmed && !expired)
            continue;
        const QString id = unitIdOf(*unit.lastReport);
        const QByteArray requested = pending.on ? "ON" : "OFF";
        m_mqtt->publish(
            QStringLiteral("%1/%2/relay/%3/result").arg(m_options.mqttPrefix, id).arg(pending.relay),
            QByteArrayLiteral("{\"requested\":\"") + requested + "\",\"outcome\":\"" +
                (confirmed ? "confirmed" : "not shown by the unit") + "\"}",
            false);
        audit(index, pending.relay, pending.on,
              confirmed ? QStringLiteral("acknowledged") : QStringLiteral("no answer"),
              confirmed ? QString() : QStringLiteral("the unit's reports did not show the change"));
        if (!confirmed)
            qWarning("Unit %s (%s): relay %d %s was not shown by the unit", qPrintable(unit.station.address),
                     qPrintable(unit.station.description), pending.relay, requested.constData());
        m_pending.removeAt(i);
    }
    if (m_pending.isEmpty())
        m_switchTimeout.stop();
}

} // namespace kestavo::agent
