#include "app/consolealarms.h"

#include <QDateTime>

#include "protocol/reply.h"

#include "stations/stationformat.h"
#include "stations/stationstore.h"

#include "session/consolestate.h"
#include "session/session.h"

#include "alarms/alarmengine.h"
#include "alarms/auditrecorder.h"
#include "alarms/fleetalarms.h"
#include "fleet/fleetpoller.h"
#include "fleet/linkstate.h"
#include "gui/alarms/alarmnotifications.h"
#include "gui/alarms/alarmsounder.h"
#include "gui/alarms/alarmsummarylabel.h"
#include "gui/alarms/alarmwindows.h"
#include "history/alarmjournal.h"
#include "history/auditlog.h"
#include "history/stationleases.h"
#include "notify/curltransport.h"
#include "notify/notifier.h"
#include "notify/notifystore.h"

namespace kestavo::app {

ConsoleAlarms::ConsoleAlarms(core::Session& session, core::ConsoleState& state, stations::StationStore& store,
                             platform::FileChooser& files, const Devices& devices)
    : m_session(session), m_store(store), m_journal(std::make_unique<history::AlarmJournal>()),
      m_leases(std::make_unique<history::StationLeases>()), m_audit(std::make_unique<history::AuditLog>())
{
    // A console evaluates a station only while no agent does (the agent outranks it); otherwise
    // it shows the agent's alarms from the file.
    alarms::AlarmEngine::Options engineOptions;
    engineOptions.program = QStringLiteral("console");
    engineOptions.leases = m_leases.get();
    m_engine = std::make_unique<alarms::AlarmEngine>(m_journal.get(), engineOptions);
    alarms::AuditRecorder::Options recorderOptions;
    recorderOptions.program = QStringLiteral("console");
    recorderOptions.answerTimeoutMs = devices.answerTimeoutMs;
    m_recorder = std::make_unique<alarms::AuditRecorder>(m_audit.get(), recorderOptions);
    m_sounder = std::make_unique<alarmwindows::AlarmSounder>(*m_engine, devices.siren, devices.ioSound,
                                                             devices.soundRepeatMs);
    if (devices.notifier)
        m_notifications = std::make_unique<alarmwindows::AlarmNotifications>(*m_engine, *devices.notifier);
    m_services.reset(
        new alarmwindows::AlarmServices{*m_engine, *m_journal, *m_sounder, *m_audit, *m_recorder, files});

    // One path for every decoded report: the engine does not know it came from the session.
    QObject::connect(&state, &core::ConsoleState::statusDecoded, m_engine.get(),
                     [this](const protocol::StatusReport& report) {
                         const QString unit = address();
                         const int position = m_store.positionOf(unit);
                         history::RangeFlags ranges;
                         if (position >= 0)
                             ranges = {m_store.valueAt(position, QStringLiteral("JP6")).toInt(),
                                       m_store.valueAt(position, QStringLiteral("JP7")).toInt()};
                         m_engine->report(unit, QDateTime::currentMSecsSinceEpoch(), report, ranges);
                     });
    QObject::connect(&session, &core::Session::watchdogExpired, m_engine.get(), [this] {
        m_engine->linkState(address(), QDateTime::currentMSecsSinceEpoch(), alarms::LinkState::Offline);
    });
    QObject::connect(&session, &core::Session::passwordRefused, m_engine.get(), [this] {
        m_engine->linkState(address(), QDateTime::currentMSecsSinceEpoch(), alarms::LinkState::BadPassword);
    });

    const auto sent = [this](const QByteArray& frame) {
        const QString unit = address();
        m_recorder->frameSent(unit, description(unit), frame);
    };
    const auto received = [this](const QByteArray& datagram) {
        m_recorder->replyReceived(address(), datagram);
    };
    QObject::connect(&session, &core::Session::frameSent, m_recorder.get(), sent);
    QObject::connect(&session, &core::Session::adminFrameSent, m_recorder.get(), sent);
    QObject::connect(&session, &core::Session::replyReceived, m_recorder.get(), received);
    QObject::connect(&session, &core::Session::adminReplyReceived, m_recorder.get(), received);

    m_sync.setInterval(devices.journalSyncMs);
    QObject::connect(&m_sync, &QTimer::timeout, m_engine.get(), [this] { m_engine->syncFromJournal(); });
}

ConsoleAlarms::~ConsoleAlarms()
{
    m_notifier.reset();
    m_recorder->finish();
}

QString ConsoleAlarms::open(const QString& historyPath)
{
    if (!m_journal->open(historyPath))
        return m_journal->error();
    if (!m_audit->open(historyPath))
        return m_audit->error();
    if (!m_leases->open(historyPath))
        return m_leases->error();
    m_location = historyPath;
    m_engine->load();
    if (!m_notices)
        m_sync.start();
    openNotifier(historyPath);
    return {};
}

// The console sends a station's notifications only while it evaluates that station's alarms (holds
// its lease); for the stations an agent evaluates, the agent sends.
void ConsoleAlarms::openNotifier(const QString& historyPath)
{
    auto store = std::make_unique<notify::NotifyStore>();
    if (!store->open(historyPath)) {
        qWarning("Notifications are off: %s", qPrintable(store->error()));
        return;
    }
    notify::Notifier::Options options;
    options.program = QStringLiteral("console");
    options.station = [this](const QString& address) {
        return notify::StationInfo{description(address), m_store.tagsOf(address)};
    };
    options.refreshStations = [this] {
        return m_store.refreshExtras();
    };
    options.ownsStation = [this](const QString& address) {
        return m_engine->evaluates(address);
    };
    m_notifyStore = std::move(store);
    m_notifier = std::make_unique<notify::Notifier>(m_notifyStore.get(),
                                                    std::make_shared<notify::CurlTransport>(), options);
    QObject::connect(m_engine.get(), &alarms::AlarmEngine::alarmChanged, m_notifier.get(),
                     &notify::Notifier::alarmChanged);
    // Stations in maintenance neither sound nor pop up here either: the notifier knows which are.
    const auto inMaintenance = [notifier = m_notifier.get()](const QString& address) {
        return notifier->maintenanceOf(address).has_value();
    };
    m_sounder->setSuppressed(inMaintenance);
    QObject::connect(m_notifier.get(), &notify::Notifier::maintenanceChanged, m_sounder.get(),
                     &alarmwindows::AlarmSounder::update);
    if (m_notifications) {
        m_notifications->setSuppressed(inMaintenance);
        QObject::connect(m_notifier.get(), &notify::Notifier::maintenanceChanged, m_notifications.get(),
                         &alarmwindows::AlarmNotifications::announceWaiting);
    }
    m_sounder->update();
    m_services->notifyStore = m_notifyStore.get();
    m_services->notifier = m_notifier.get();
    m_services->stationName = [this](const QString& address) {
        return description(address);
    };
    m_services->stationsWithTag = [this](const QString& tag) {
        m_store.refreshExtras();
        return m_store.addressesWithTag(tag);
    };
}

void ConsoleAlarms::followNotices()
{
    m_notices = true;
    m_sync.stop();
}

void ConsoleAlarms::reconnect()
{
    if (m_location.isEmpty())
        return;
    const bool ok = m_journal->open(m_location) && m_audit->open(m_location) && m_leases->open(m_location) &&
                    (!m_notifyStore || m_notifyStore->open(m_location));
    if (!ok)
        qWarning("The alarms' store could not be opened again: %s",
                 qPrintable(m_journal->error() + m_audit->error() + m_leases->error()));
    m_engine->syncFromJournal();
}

void ConsoleAlarms::attachFleet(fleet::FleetPoller& poller)
{
    alarms::feedFromFleet(*m_engine, poller);
}

void ConsoleAlarms::registerWindows(core::DialogRegistry& registry)
{
    alarmwindows::registerAlarmWindows(registry, *m_services);
}

alarmwindows::AlarmSummaryLabel* ConsoleAlarms::createSummary(QWidget* parent)
{
    auto* label = new alarmwindows::AlarmSummaryLabel(*m_engine, parent);
    if (m_notifier) {
        label->setSuppressed([notifier = m_notifier.get()](const QString& address) {
            return notifier->maintenanceOf(address).has_value();
        });
        QObject::connect(m_notifier.get(), &notify::Notifier::maintenanceChanged, label,
                         &alarmwindows::AlarmSummaryLabel::refresh);
    }
    return label;
}

QString ConsoleAlarms::address() const
{
    return m_session.unitAddress().toString();
}

QString ConsoleAlarms::description(const QString& address) const
{
    const int position = m_store.positionOf(address);
    if (position < 0)
        return {};
    return m_store.entryAt(position).mid(stations::kAddressWidth + stations::kEntryGap).trimmed();
}

} // namespace kestavo::app
