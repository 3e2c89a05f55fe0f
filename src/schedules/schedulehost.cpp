#include "schedules/schedulehost.h"

#include <QTimeZone>

#include "protocol/codes.h"
#include "protocol/commanddescription.h"
#include "protocol/frames.h"
#include "protocol/reply.h"

#include "alarms/alarmengine.h"
#include "fleet/fleetpoller.h"
#include "history/alarmjournal.h"
#include "history/auditlog.h"

namespace kestavo::schedules {

ScheduleHost::ScheduleHost(fleet::FleetPoller& poller, alarms::AlarmEngine& leases, history::AuditLog* audit,
                           history::AlarmJournal* journal, Options options, QObject* parent)
    : QObject(parent), m_poller(poller), m_leases(leases), m_audit(audit), m_journal(journal),
      m_options(std::move(options))
{
    if (!m_options.clock)
        m_options.clock = [] {
            return QDateTime::currentDateTimeUtc();
        };
    m_timer.setInterval(m_options.tickMs);
    connect(&m_timer, &QTimer::timeout, this, &ScheduleHost::tick);
    connect(&m_poller, &fleet::FleetPoller::stationsReset, this, &ScheduleHost::reloadPlaces);
    connect(&m_poller, &fleet::FleetPoller::reportDecoded, this,
            [this](int index, qint64, const protocol::StatusReport& report) {
                if (m_started)
                    m_executor->report(m_poller.unit(index).station.address, report.relayOn, now());
            });
}

ScheduleHost::~ScheduleHost()
{
    stop();
}

QDateTime ScheduleHost::now() const
{
    return m_options.clock();
}

bool ScheduleHost::open(const QString& historyPath)
{
    return m_store.open(historyPath);
}

void ScheduleHost::setPlaceLookup(PlaceLookup lookup)
{
    m_lookup = std::move(lookup);
    reloadPlaces();
}

void ScheduleHost::reloadPlaces()
{
    m_places.clear();
    if (!m_lookup)
        return;
    for (int i = 0; i < m_poller.count(); ++i) {
        const QString& address = m_poller.unit(i).station.address;
        m_places.insert(address, m_lookup(address));
    }
}

void ScheduleHost::start()
{
    if (isRunning() || !m_store.isOpen())
        return;
    ScheduleExecutor::Hooks hooks;
    hooks.now = [this] {
        return now();
    };
    // A station this program stopped polling is not its to switch, whatever the lease says.
    hooks.holdsLease = [this](const QString& address) {
        return m_poller.isRunning() && m_poller.indexOf(address) >= 0 && m_leases.evaluates(address);
    };
    hooks.send = [this](const Occurrence& o, int attempt) {
        const int index = m_poller.indexOf(o.address);
        if (index < 0)
            return; // left the list: the retries give up on it
        const std::string password = m_poller.unit(index).station.password.toLatin1().toStdString();
        if (!m_poller.sendFrame(index, frameOf(o.entry, password)))
            qWarning("Schedule #%lld: %s at %s could not be sent (attempt %d)", o.entryId,
                     qPrintable(o.entry.actionText()), qPrintable(o.address), attempt);
    };
    hooks.log = [this](const LogRecord& record) {
        m_store.log(record);
        // moved, skipped, recovered, not replayed, not verified: what an operator asks about afterwards
        if (record.outcome != u"sent" && record.outcome != u"failed" && record.outcome != u"verified")
            qInfo("Schedule #%lld at %s %s: %s", record.schedule, qPrintable(record.address),
                  qPrintable(record.outcome), qPrintable(record.detail));
    };
    hooks.claim = [this](const LogRecord& record) {
        switch (m_store.claim(record)) {
        case ScheduleStore::Claim::Ours:
            break;
        case ScheduleStore::Claim::Taken:
            qInfo("Schedule #%lld at %s: carried out by another program", record.schedule,
                  qPrintable(record.address));
            return false;
        case ScheduleStore::Claim::Failed:
            // Nothing is known of the others; the lease says the station is ours.
            qWarning("Schedule #%lld at %s: the schedule log could not be written (%s)", record.schedule,
                     qPrintable(record.address), qPrintable(m_store.error()));
            break;
        }
        if (record.outcome != u"sent")
            qInfo("Schedule #%lld at %s %s: %s", record.schedule, qPrintable(record.address),
                  qPrintable(record.outcome), qPrintable(record.detail));
        return true;
    };
    hooks.settled = [this](const Occurrence& o, const LogRecord& record) {
        const bool verified = record.outcome == u"verified";
        audit(o.address, o.entry, verified ? QStringLiteral("acknowledged") : QStringLiteral("sent"),
              verified ? QStringLiteral("schedule #%1").arg(o.entryId) : record.detail);
    };
    hooks.failed = [this](const Occurrence& o, const QString& why) {
        qWarning("%s", qPrintable(why));
        audit(o.address, o.entry, QStringLiteral("no answer"), why);
        raiseFailure(o, why);
    };
    const auto sites = [this](const ScheduleEntry& entry) {
        QList<Site> list;
        for (int i = 0; i < m_poller.count(); ++i) {
            const QString& address = m_poller.unit(i).station.address;
            const Place place = m_places.value(address);
            if (entry.station.isEmpty() ? !stations::tagMatches(place.tags, entry.tag)
                                        : entry.station != address)
                continue;
            list.append({address,
                         place.site.zone.isEmpty() ? QTimeZone::systemTimeZone()
                                                   : QTimeZone(place.site.zone.toUtf8()),
                         place.site.latitude, place.site.longitude});
        }
        return list;
    };
    m_executor = std::make_unique<ScheduleExecutor>(hooks, sites, m_options.timing);
    m_started = false;
    m_startAtMs = m_poller.now() + m_options.startDelayMs;
    m_timer.start();
}

void ScheduleHost::stop(const QString& why)
{
    if (!isRunning())
        return;
    m_timer.stop();
    if (m_started)
        m_executor->abandonPending(
            why.isEmpty() ? QStringLiteral("the %1 stopped before a report showed it").arg(m_options.program)
                          : why);
    m_started = false;
}

void ScheduleHost::tick()
{
    // Edits by the CLI or a console show at the next tick.
    m_executor->setEntries(m_store.entries());
    if (!m_started) {
        if (m_poller.now() < m_startAtMs)
            return; // the stations' first reports take their leases first
        // When an executor last looked at a station: its newest log line (nothing was due there
        // after it, or it would be logged); none within the recovery window: unknown.
        QHash<QString, qint64> lastRun;
        for (const LogRecord& r : m_store.logSince(now().toMSecsSinceEpoch() - kRecoveryWindowMs))
            lastRun[r.address] = std::max(lastRun.value(r.address), r.timeMs);
        m_started = true;
        m_executor->start([&lastRun](const QString& address) {
            const auto found = lastRun.constFind(address);
            return found == lastRun.cend() ? QDateTime()
                                           : QDateTime::fromMSecsSinceEpoch(*found, QTimeZone::utc());
        });
        qInfo("Schedules: %d entries, carried out for the stations whose lease this %s holds",
              int(m_executor->entries().size()), qPrintable(m_options.program));
        return;
    }
    m_executor->tick();
}

std::string ScheduleHost::frameOf(const ScheduleEntry& e, const std::string& password)
{
    switch (e.action) {
    case Action::On:
        return protocol::relayOnFrame(e.relay, password);
    case Action::Off:
        return protocol::relayOffFrame(e.relay, password);
    case Action::Pulse:
        return protocol::relayCycleFrame(e.relay, e.pulseSeconds, password);
    case Action::Script:
        return protocol::scriptExecuteFrame(protocol::slotCode(e.scriptSlot), password);
    }
    return {};
}

void ScheduleHost::audit(const QString& address, const ScheduleEntry& entry, const QString& outcome,
                         const QString& detail)
{
    if (!m_audit)
        return;
    const int index = m_poller.indexOf(address);
    const auto command = protocol::describeCommand(frameOf(entry, {}));
    history::AuditRecord record;
    record.utcMs = QDateTime::currentMSecsSinceEpoch();
    record.user = history::AuditLog::localUser();
    record.host = history::AuditLog::localHost();
    record.program = m_options.program;
    record.address = address;
    record.description = index >= 0 ? m_poller.unit(index).station.description : QString();
    record.action = command ? QString::fromStdString(command->text) : entry.actionText();
    record.outcome = outcome;
    record.detail = detail;
    m_audit->append(record); // a failure is logged once by the log itself, until it writes again
}

void ScheduleHost::raiseFailure(const Occurrence& o, const QString& why)
{
    if (!m_journal)
        return;
    history::AlarmRecord alarm;
    alarm.address = o.address;
    alarm.rule = history::scheduleFailedRule(o.entryId);
    alarm.priority = history::AlarmPriority::High;
    const QString prefix = QStringLiteral("schedule #%1: ").arg(o.entryId);
    alarm.text = QStringLiteral("Schedule #%1 failed: %2")
                     .arg(o.entryId)
                     .arg(why.startsWith(prefix) ? why.mid(prefix.size()) : why);
    alarm.state = history::AlarmState::ActiveUnacknowledged;
    alarm.raisedMs = alarm.changedMs = now().toMSecsSinceEpoch();
    if (m_journal->raise(alarm, m_options.program, QStringLiteral("schedule-failed")).failed())
        qWarning("Alarms: the schedule-failed alarm of schedule #%lld could not be stored", o.entryId);
}

} // namespace kestavo::schedules
