#include "agent.h"

#include <algorithm>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>

#include "protocol/codes.h"
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
#include "history/stationleases.h"
#include "httplistener.h"
#include "mqttpublisher.h"
#include "notify/curltransport.h"
#include "notify/notifier.h"
#include "notify/notifystore.h"
#include "pollleases.h"
#include "relaycommand.h"
#include "schedules/schedulehost.h"
#include "schedules/schedulestore.h"
#include "sqlitefile/sqlitefile.h"
#include "text/boundedfile.h"

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
        m_stationStamp = FileStamp::of(m_databasePath);
        const bool reloaded = reloadStations();
        m_stationLogStamp = FileStamp::of(m_databasePath + QStringLiteral("-wal"));
        if (reloaded) {
            setProblem(Problem::Stations, {});
            qInfo("Station list reloaded: %d stations", m_poller.count());
        } else {
            // The stations already known go on being polled.
            setProblem(Problem::Stations, m_error);
        }
        if (QFileInfo::exists(m_databasePath) && !m_watcher.files().contains(m_databasePath))
            m_watcher.addPath(m_databasePath); // a file replaced on save leaves the watch
    });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_reload, qOverload<>(&QTimer::start));
    // The folder too: a file renamed away and back, or replaced by a rename, shows only there.
    // Other files come and go in it (the history's journal): only a change of ours counts.
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (FileStamp::of(m_databasePath) != m_stationStamp)
            m_reload.start();
    });
    m_healthTimer.setInterval(1000);
    connect(&m_healthTimer, &QTimer::timeout, this, &Agent::checkHistory);
    connect(&m_poller, &fleet::FleetPoller::reportDecoded, this,
            [this](int index, qint64, const protocol::StatusReport&) { onReport(index); });
    connect(&m_poller, &fleet::FleetPoller::linkStateChanged, this, &Agent::onLinkState);
    m_switchTimeout.setInterval(500);
    connect(&m_switchTimeout, &QTimer::timeout, this, [this] {
        for (int i = 0; i < m_poller.count(); ++i)
            settleSwitches(i, true);
    });
    connect(&m_poller, &fleet::FleetPoller::stationsReset, this, [this] {
        m_unitIndex.clear();
        // A switch still waiting for its unit waits on if the unit stayed in the list.
        QSet<QString> listed;
        for (int i = 0; i < m_poller.count(); ++i)
            listed.insert(m_poller.unit(i).station.address);
        for (qsizetype i = m_pending.size() - 1; i >= 0; --i) {
            if (listed.contains(m_pending.at(i).address))
                continue;
            abandonSwitch(
                m_pending.at(i),
                QStringLiteral("the station left the station list before its unit showed the change"));
            m_pending.removeAt(i);
        }
    });
}

Agent::~Agent()
{
    if (QSqlDatabase::contains(m_healthConnection)) {
        QSqlDatabase::database(m_healthConnection, false).close();
        QSqlDatabase::removeDatabase(m_healthConnection);
    }
}

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
    m_stationTags.clear();
    m_stationSites.clear();
    m_directory = fleet::stationsFromStore(store);
    QStringList addresses;
    for (const fleet::FleetStation& station : std::as_const(m_directory)) {
        m_stationTags.insert(station.address, store.tagsOf(station.address));
        m_stationSites.insert(station.address, store.siteOf(station.address));
        addresses.append(station.address);
    }
    if (m_pollLeases)
        m_pollLeases->setStations(addresses); // applies them when what it holds changes
    applyStations();
    return true;
}

void Agent::applyStations()
{
    QList<fleet::FleetStation> mine;
    for (const fleet::FleetStation& station : std::as_const(m_directory)) {
        if (m_pollLeases ? m_pollLeases->held().contains(station.address)
                         : shardOf(station.address, m_options.shards) == m_options.shard)
            mine.append(station);
    }
    m_poller.setStations(mine);
}

bool Agent::start()
{
    m_figures.startedAtSeconds = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    if (!reloadStations())
        return false;
    m_stationStamp = FileStamp::of(m_databasePath);
    m_stationLogStamp = FileStamp::of(m_databasePath + QStringLiteral("-wal"));
    m_watcher.addPath(m_databasePath);
    m_watcher.addPath(QFileInfo(m_databasePath).absolutePath());

    if (m_options.history != QStringLiteral("none")) {
        const QString path =
            m_options.history.isEmpty()
                ? QFileInfo(m_databasePath).absoluteDir().filePath(QStringLiteral("history.db"))
                : m_options.history;
        history::HistoryStore::Options historyOptions;
        historyOptions.maxPendingSamples = bufferSamples(m_options, int(m_directory.size()));
        m_history = std::make_unique<history::HistoryStore>(historyOptions);
        const auto opened = m_history->open(path);
        if (!opened.ok) {
            m_error = opened.error;
            return false;
        }
        m_recorder = std::make_unique<fleet::FleetRecorder>(m_poller, *m_history);
        m_historyStamp = FileStamp::of(path);
        // A connection of our own to look at the file's first bytes through SQLite's handle.
        QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_healthConnection);
        check.setDatabaseName(path);
        check.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        check.open();
        m_lastHistoryWriteMs = QDateTime::currentMSecsSinceEpoch();
        connect(m_history.get(), &history::HistoryStore::written, this,
                [this] { m_lastHistoryWriteMs = QDateTime::currentMSecsSinceEpoch(); });
        connect(m_history.get(), &history::HistoryStore::recordingChanged, this, &Agent::checkHistory);
        m_healthTimer.start();
        openAlarms(path);
        openSchedules(path);
        if (m_leases) {
            PollLeases::Options leaseOptions;
            leaseOptions.leaseMs = m_options.leaseMs;
            m_pollLeases = std::make_unique<PollLeases>(*m_leases, m_holder, m_options.shard,
                                                        m_options.shards, leaseOptions);
            connect(m_pollLeases.get(), &PollLeases::heldChanged, this, [this] {
                qInfo("Polling %d stations whose lease this agent holds", int(m_pollLeases->held().size()));
                applyStations();
            });
            QStringList addresses;
            for (const fleet::FleetStation& station : std::as_const(m_directory))
                addresses.append(station.address);
            m_pollLeases->setStations(addresses);
            applyStations();
            m_pollLeases->start();
        }
    }

    HttpListener::Limits limits;
    limits.timeoutSeconds = m_options.httpTimeoutSeconds;
    m_http = std::make_unique<HttpListener>(limits);
    // Read-only: GET on three paths; every other path or method is 404.
    m_http->route("/metrics", [this] {
        ++m_figures.scrapes;
        return HttpListener::Response{200, "text/plain; version=0.0.4; charset=utf-8", metrics()};
    });
    m_http->route("/healthz", [this] {
        if (!m_poller.isRunning())
            return HttpListener::Response{503, "text/plain; charset=utf-8", "not polling\n"};
        if (m_problems.isEmpty())
            return HttpListener::Response{200, "text/plain; charset=utf-8", "ok\n"};
        QByteArray text;
        for (auto it = m_problems.cbegin(); it != m_problems.cend(); ++it)
            text += problemName(it.key()) + ": " + it.value().toUtf8() + '\n';
        return HttpListener::Response{503, "text/plain; charset=utf-8", text};
    });
    m_http->route("/api/v1/stations", [this] {
        return HttpListener::Response{
            200, "application/json",
            compact(QJsonObject{
                {QStringLiteral("stations"), withMaintenance(stationsJson(m_poller, m_alarms.get()))}})};
    });
    if (!m_http->listen(m_options.listenAddress, m_options.listenPort)) {
        m_error = m_http->errorString();
        return false;
    }
    m_httpPort = m_http->port();
    if (!m_options.listenAddress.isLoopback())
        qWarning("HTTP is served on %s, which is not a loopback address: anyone who can reach it reads "
                 "the fleet's metrics",
                 qPrintable(m_options.listenAddress.toString()));

    if (!m_options.mqttHost.isEmpty()) {
        MqttPublisher::Settings settings;
        settings.host = m_options.mqttHost;
        settings.port = m_options.mqttPort;
        settings.prefix = m_options.mqttPrefix;
        settings.discoveryPrefix = m_options.discoveryPrefix;
        settings.user = m_options.mqttUser;
        settings.caFile = m_options.mqttCaFile;
        const QString host = QHostInfo::localHostName();
        settings.agentName = m_options.mqttClientId.isEmpty() ? host : m_options.mqttClientId;
        settings.clientId =
            m_options.mqttClientId.isEmpty()
                ? QStringLiteral("kestavo-agent-%1-%2").arg(host).arg(QCoreApplication::applicationPid())
                : m_options.mqttClientId;
        if (m_options.allowControl)
            settings.subscriptions << QStringLiteral("%1/+/relay/+/set").arg(m_options.mqttPrefix);
        if (!m_options.mqttPasswordFile.isEmpty()) {
            // A password is a line; a FIFO or /dev/zero named here must not hang or fill the agent.
            const text::BoundedRead file =
                text::readBoundedFile(m_options.mqttPasswordFile, 4096, text::Secret::Yes);
            if (!file.ok) {
                m_error = QStringLiteral("The MQTT password file: %1").arg(file.error);
                return false;
            }
            if (!file.warning.isEmpty())
                qWarning("The MQTT password file: %s", qPrintable(file.warning));
            settings.password = QString::fromUtf8(file.bytes).trimmed();
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
    // The agent outranks a console on the stations it polls: one evaluator, one alarm per condition.
    auto leases = std::make_unique<history::StationLeases>();
    alarms::AlarmEngine::Options engineOptions;
    engineOptions.program = QStringLiteral("agent");
    if (leases->open(historyPath)) {
        m_leases = std::move(leases);
        engineOptions.leases = m_leases.get();
        // One name for what the agent polls and what it evaluates: the two leases never compete.
        m_holder = history::StationLeases::newHolder();
        engineOptions.holder = m_holder;
        engineOptions.leaseTtlMs = m_options.leaseMs;
    } else {
        qWarning("Station leases are off (%s): a console on the same file may raise alarms of its own",
                 qPrintable(leases->error()));
    }
    m_alarms = std::make_unique<alarms::AlarmEngine>(m_alarmJournal.get(), engineOptions);
    m_alarms->load();
    alarms::feedFromFleet(*m_alarms, m_poller);
    openNotifier(historyPath);
}

void Agent::openNotifier(const QString& historyPath)
{
    auto store = std::make_unique<notify::NotifyStore>();
    if (!store->open(historyPath)) {
        qWarning("Notifications are off: %s", qPrintable(store->error()));
        return;
    }
    notify::Notifier::Options options;
    options.program = QStringLiteral("agent");
    options.station = [this](const QString& address) {
        for (int i = 0; i < m_poller.count(); ++i)
            if (m_poller.unit(i).station.address == address)
                return notify::StationInfo{m_poller.unit(i).station.description,
                                           m_stationTags.value(address)};
        return notify::StationInfo{};
    };
    // Routes and maintenance by tag follow the stations' current tags. A change made while another
    // program (a console) holds the station file open stays in its write-ahead log, which the file
    // watcher does not see; the notifier's refresh looks at the log too.
    options.refreshStations = [this] {
        if (FileStamp::of(m_databasePath + QStringLiteral("-wal")) != m_stationLogStamp &&
            !m_reload.isActive())
            m_reload.start();
        return false; // the reload comes a moment later, and every decision asks for the tags anew
    };
    // Notifications go out from the one program evaluating the station: the lease holder.
    options.ownsStation = [this](const QString& address) {
        return m_alarms && m_alarms->evaluates(address);
    };
    m_notifyStore = std::move(store);
    m_notifier = std::make_unique<notify::Notifier>(m_notifyStore.get(),
                                                    std::make_shared<notify::CurlTransport>(), options);
    connect(m_alarms.get(), &alarms::AlarmEngine::alarmChanged, m_notifier.get(),
            &notify::Notifier::alarmChanged);
    connect(m_notifier.get(), &notify::Notifier::delivered, this, [](const notify::Delivery& d) {
        if (d.outcome == u"failed" || d.outcome == u"retrying")
            qWarning("Notification route %lld: %s message for %s %s: %s", d.route, qPrintable(d.kind),
                     qPrintable(d.address), qPrintable(d.outcome), qPrintable(d.detail));
    });
    connect(m_notifier.get(), &notify::Notifier::floodChanged, this, [](bool flooding) {
        qWarning(flooding ? "Alarm flood: 10 or more alarms within 10 minutes" : "The alarm flood is over");
    });
}

// Schedules switch relays, so they run only where the agent may command units, and only for the
// stations whose lease the alarm engine holds: one program carries out each station's timetable.
void Agent::openSchedules(const QString& historyPath)
{
    if (!m_options.allowControl) {
        // This agent holds the leases of the stations it polls, so no console runs their schedules
        // either: say so rather than let a timetable silently do nothing.
        schedules::ScheduleStore store;
        if (!store.open(historyPath))
            return;
        const auto entries = store.entries();
        const auto enabled = std::count_if(entries.cbegin(), entries.cend(),
                                           [](const schedules::ScheduleEntry& e) { return e.enabled; });
        if (enabled > 0)
            qWarning("%lld enabled schedules are not carried out for the stations this agent polls: it "
                     "runs without --allow-control and holds their leases, so no console carries them out "
                     "either",
                     static_cast<long long>(enabled));
        return;
    }
    if (!m_alarms) {
        qWarning("Schedules are not carried out: they need the alarms' station leases, which are off");
        return;
    }
    schedules::ScheduleHost::Options options;
    options.program = QStringLiteral("agent");
    options.clock = m_scheduleClock;
    options.tickMs = m_options.scheduleTickMs;
    options.startDelayMs =
        m_options.scheduleStartDelayMs >= 0 ? m_options.scheduleStartDelayMs : 2 * m_options.intervalMs;
    options.timing.verifyMs = m_options.scheduleVerifyMs;
    options.timing.attempts = m_options.scheduleAttempts;
    auto host = std::make_unique<schedules::ScheduleHost>(m_poller, *m_alarms, m_audit.get(),
                                                          m_alarmJournal.get(), options);
    if (!host->open(historyPath)) {
        qWarning("Schedules are not carried out: %s", qPrintable(host->error()));
        return;
    }
    // Filled from the station file before the poller's list is set, so always current here.
    host->setPlaceLookup([this](const QString& address) {
        return schedules::ScheduleHost::Place{m_stationTags.value(address), m_stationSites.value(address)};
    });
    m_schedules = std::move(host);
    m_schedules->start();
}

void Agent::audit(int index, int relay, bool on, const QString& outcome, const QString& detail)
{
    const fleet::FleetPoller::Unit& unit = m_poller.unit(index);
    audit(unit.station.address, unit.station.description, relay, on, outcome, detail);
}

void Agent::audit(const QString& address, const QString& description, int relay, bool on,
                  const QString& outcome, const QString& detail)
{
    if (!m_audit)
        return;
    const auto command = protocol::describeCommand(on ? protocol::relayOnFrame(relay, {})
                                                      : protocol::relayOffFrame(relay, {}));
    history::AuditRecord record;
    record.utcMs = QDateTime::currentMSecsSinceEpoch();
    record.user = history::AuditLog::localUser();
    record.host = history::AuditLog::localHost();
    record.program = QStringLiteral("agent");
    record.address = address;
    record.description = description;
    record.action = command ? QString::fromStdString(command->text) : QString();
    record.outcome = outcome;
    record.detail = detail;
    m_audit->append(record); // a failure is logged once by the log itself, until it writes again
}

Agent::FileStamp Agent::FileStamp::of(const QString& path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {true, info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

QByteArray Agent::problemName(Problem kind)
{
    return kProblemNames[int(kind)];
}

// One log line when a problem starts, changes or ends; /healthz and the metrics read the map.
void Agent::setProblem(Problem kind, const QString& reason)
{
    const auto found = m_problems.constFind(kind);
    if (reason.isEmpty()) {
        if (found == m_problems.cend())
            return;
        m_problems.remove(kind);
        qInfo("Health: %s is fine again", problemName(kind).constData());
        return;
    }
    if (found != m_problems.cend() && *found == reason)
        return;
    if (found == m_problems.cend())
        ++m_figures.problemOnsets[std::size_t(kind)];
    m_problems.insert(kind, reason);
    qWarning("Health: %s: %s", problemName(kind).constData(), qPrintable(reason));
}

// The history file: writes failing, writes stuck behind another program's lock, or the file at
// the path no longer the one open (renamed away, deleted, replaced): samples would go nowhere.
void Agent::checkHistory()
{
    if (!m_history || !m_history->isOpen())
        return;
    const QString path = m_history->path();
    setProblem(Problem::HistoryWrite, m_history->isRecording() ? QString() : m_history->lastError());
    const qint64 quietMs = QDateTime::currentMSecsSinceEpoch() - m_lastHistoryWriteMs;
    setProblem(Problem::HistoryLocked,
               m_history->pendingCount() > 0 && quietMs > m_options.historyStallMs
                   ? QStringLiteral("nothing could be written to the history file \"%1\" for more than %2 s: "
                                    "another program holds it locked, or the disk does not keep up")
                         .arg(path)
                         .arg(m_options.historyStallMs / 1000.0)
                   : QString());
    // Written over in place (cp onto it, an editor): SQLite may not read the start of the file
    // again for a long while, so look at it, through SQLite's own handle.
    const auto header = sqlitefile::fileHeader(QSqlDatabase::database(m_healthConnection, false));
    const bool damaged = !header || *header != sqlitefile::magic();
    setProblem(Problem::HistoryDamaged,
               damaged ? QStringLiteral("the history file \"%1\" no longer starts as a database: something "
                                        "wrote over it; restore it from a backup")
                             .arg(path)
                       : QString());
    const FileStamp now = FileStamp::of(path);
    const bool same = now.exists && now.device == m_historyStamp.device && now.inode == m_historyStamp.inode;
    setProblem(Problem::HistoryReplaced,
               same ? QString()
                    : QStringLiteral("the history file \"%1\" was removed or replaced while open: what is "
                                     "recorded goes to the old file; restart the agent")
                          .arg(path));
}

void Agent::abandonSwitch(const PendingSwitch& pending, const QString& why)
{
    const QByteArray requested = pending.on ? "ON" : "OFF";
    audit(pending.address, pending.description, pending.relay, pending.on, QStringLiteral("no answer"), why);
    if (m_mqtt)
        m_mqtt->publish(
            QStringLiteral("%1/%2/relay/%3/result")
                .arg(m_options.mqttPrefix, pending.unitId)
                .arg(pending.relay),
            QByteArrayLiteral("{\"requested\":\"") + requested + "\",\"outcome\":\"not confirmed\"}", false);
    qWarning("Unit %s (%s): relay %d %s not confirmed: %s", qPrintable(pending.address),
             qPrintable(pending.description), pending.relay, requested.constData(), qPrintable(why));
}

void Agent::shutdown()
{
    // Every command sent gets its audit record, confirmed or not.
    for (const PendingSwitch& pending : std::as_const(m_pending))
        abandonSwitch(pending, QStringLiteral("the agent stopped before the unit showed the change"));
    m_pending.clear();
    m_switchTimeout.stop();
    // Actions still waiting for a report are audited as not verified.
    m_schedules.reset();
    m_healthTimer.stop();
    m_poller.stop();
    m_notifier.reset();
    m_alarms.reset();
    // Another agent takes over this one's stations at its next renewal, not when the leases lapse.
    if (m_pollLeases) {
        m_pollLeases->stop();
        m_leases->release(m_holder);
    }
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
    for (int kind = 0; kind < kProblemKinds; ++kind)
        m_figures.problems[std::size_t(kind)] = m_problems.contains(Problem(kind));
    if (m_notifier) {
        for (const auto p :
             {history::AlarmPriority::High, history::AlarmPriority::Medium, history::AlarmPriority::Low})
            m_figures.alarmsRaised[std::size_t(int(p) - 1)] = m_notifier->raisedTotal(p);
        m_figures.alarmFlood = m_notifier->flooding();
    }
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
    m_mqtt->publish(QStringLiteral("%1/%2/state").arg(m_options.mqttPrefix, id),
                    compact(withMaintenance(unitJson(
                        unit, m_poller.now(), alarmsByStation(m_alarms.get()).value(unit.station.address)))),
                    true);
}

// A station out of service says so beside its alarms: they are recorded but not notified.
QJsonObject Agent::withMaintenance(QJsonObject station) const
{
    if (!m_notifier)
        return station;
    if (const auto window = m_notifier->maintenanceOf(station.value(QStringLiteral("address")).toString()))
        station.insert(QStringLiteral("maintenance"),
                       QJsonObject{{QStringLiteral("until"), history::isoUtc(window->endMs)},
                                   {QStringLiteral("reason"), window->reason}});
    return station;
}

QJsonArray Agent::withMaintenance(QJsonArray stations) const
{
    for (auto it = stations.begin(); it != stations.end(); ++it)
        *it = withMaintenance(it->toObject());
    return stations;
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
        // A unit is available while its link is up and the agent that reports it is running: when
        // the agent stops, its last will takes every unit it published with it.
        QJsonArray availability{QJsonObject{{QStringLiteral("topic"), m_mqtt->agentTopic()}}};
        if (object != QStringLiteral("link"))
            availability.append(
                QJsonObject{{QStringLiteral("topic"), base + QStringLiteral("/availability")}});
        config.insert(QStringLiteral("availability"), availability);
        config.insert(QStringLiteral("availability_mode"), QStringLiteral("all"));
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
// reports must show the change. Only a command sent while we listen counts: a retained one was
// left on the broker by someone, maybe long ago, and may contradict what an operator did since.
void Agent::onCommand(const QString& topic, const QByteArray& payload, bool retained)
{
    // Empty: a retained command being cleared (by us or another agent); nothing to do.
    if (payload.isEmpty() || !m_options.allowControl)
        return;
    if (retained) {
        ++m_figures.commandsRetained;
        ignoreCommand(
            topic, QStringLiteral("a retained command is never carried out; it is cleared from the broker"));
        m_mqtt->publish(topic, QByteArray(), true);
        return;
    }
    const auto parsed = parseRelayCommand(m_options.mqttPrefix, topic, payload);
    if (const auto* why = std::get_if<QString>(&parsed)) {
        ++m_figures.commandsInvalid;
        return ignoreCommand(topic, *why);
    }
    const RelayCommand& command = std::get<RelayCommand>(parsed);
    const auto found = m_unitIndex.constFind(command.unitId);
    if (found == m_unitIndex.cend()) {
        ++m_figures.commandsInvalid;
        return ignoreCommand(topic, QStringLiteral("no unit of this agent has reported with that MAC"));
    }
    const int index = *found;
    const int relay = command.relay;
    const bool on = command.on;
    const QString result =
        QStringLiteral("%1/%2/relay/%3/result").arg(m_options.mqttPrefix, command.unitId).arg(relay);
    if (!takeCommandToken(command.unitId)) {
        ++m_figures.commandsRateLimited;
        ignoreCommand(
            topic, QStringLiteral("more than %1 commands for this unit in a row; one every %2 ms after that")
                       .arg(m_options.relayBurst)
                       .arg(m_options.relayRefillMs));
        m_mqtt->publish(result,
                        QByteArrayLiteral("{\"requested\":\"") + payload + "\",\"outcome\":\"rate limited\"}",
                        false);
        return;
    }
    ++m_figures.commandsSent;
    const fleet::FleetPoller::Unit& unit = m_poller.unit(index);
    const std::string password = unit.station.password.toLatin1().toStdString();
    const std::string frame =
        on ? protocol::relayOnFrame(relay, password) : protocol::relayOffFrame(relay, password);
    if (!m_poller.sendFrame(index, frame)) {
        audit(index, relay, on, QStringLiteral("no answer"), QStringLiteral("not sent"));
        m_mqtt->publish(
            result, QByteArrayLiteral("{\"requested\":\"") + payload + "\",\"outcome\":\"not sent\"}", false);
        return;
    }
    qInfo("Unit %s (%s): relay %d %s requested over MQTT", qPrintable(unit.station.address),
          qPrintable(unit.station.description), relay, payload.constData());
    // A command sent with the retain flag reaches us live like any other; clear it so that it is not
    // handed to us again at the next subscription.
    m_mqtt->publish(topic, QByteArray(), true);
    // Two poll intervals for the unit to show it, and never less than three seconds.
    m_pending.append({unit.station.address, unit.station.description, command.unitId, relay, on,
                      m_poller.now() + std::max(2 * m_options.intervalMs, 3000)});
    m_switchTimeout.start();
}

// A token bucket per unit on the poller's clock: a burst of relayBurst, then one per relayRefillMs.
bool Agent::takeCommandToken(const QString& unitId)
{
    const qint64 now = m_poller.now();
    const auto found = m_commandBuckets.find(unitId);
    if (found == m_commandBuckets.end()) {
        m_commandBuckets.insert(unitId, {m_options.relayBurst - 1, now});
        return m_options.relayBurst > 0;
    }
    CommandBucket& bucket = *found;
    if (m_options.relayRefillMs > 0) {
        const qint64 refills = (now - bucket.lastMs) / m_options.relayRefillMs;
        if (refills > 0) {
            bucket.tokens = int(std::min<qint64>(m_options.relayBurst, bucket.tokens + refills));
            bucket.lastMs += refills * m_options.relayRefillMs;
        }
    }
    if (bucket.tokens <= 0)
        return false;
    --bucket.tokens;
    return true;
}

void Agent::settleSwitches(int index, bool timedOut)
{
    const fleet::FleetPoller::Unit& unit = m_poller.unit(index);
    for (qsizetype i = m_pending.size() - 1; i >= 0; --i) {
        const PendingSwitch& pending = m_pending.at(i);
        if (pending.address != unit.station.address)
            continue;
        const auto shown =
            unit.lastReport ? unit.lastReport->relayOn[std::size_t(pending.relay - 1)] : std::nullopt;
        const bool confirmed = !timedOut && shown && *shown == pending.on;
        const bool expired = m_poller.now() >= pending.deadlineMs;
        if (!confirmed && !expired)
            continue;
        const QByteArray requested = pending.on ? "ON" : "OFF";
        m_mqtt->publish(QStringLiteral("%1/%2/relay/%3/result")
                            .arg(m_options.mqttPrefix, pending.unitId)
                            .arg(pending.relay),
                        QByteArrayLiteral("{\"requested\":\"") + requested + "\",\"outcome\":\"" +
                            (confirmed ? "confirmed" : "not shown by the unit") + "\"}",
                        false);
        audit(pending.address, pending.description, pending.relay, pending.on,
              confirmed ? QStringLiteral("acknowledged") : QStringLiteral("no answer"),
              confirmed ? QString() : QStringLiteral("the unit's reports did not show the change"));
        if (!confirmed)
            qWarning("Unit %s (%s): relay %d %s was not shown by the unit", qPrintable(pending.address),
                     qPrintable(pending.description), pending.relay, requested.constData());
        m_pending.removeAt(i);
    }
    if (m_pending.isEmpty())
        m_switchTimeout.stop();
}

} // namespace kestavo::agent
