#pragma once

// A program's schedule executor, wired to what the program already runs: its fleet poller (the
// stations, their reports, the frames sent to them), its alarm engine (whose station leases say
// which stations are this program's to switch), its audit log and its alarm journal (a failed
// action raises a `schedule-failed` alarm). The agent started with --allow-control and a console
// watching all stations host one each; the lease decides which of them acts for a station, and the
// claim in the schedule log keeps a handover at a due time from switching the relay twice.

#include <functional>
#include <memory>

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "stations/stationextras.h"

#include "schedules/scheduleexecutor.h"
#include "schedules/schedulestore.h"

namespace kestavo::fleet {
class FleetPoller;
}
namespace kestavo::alarms {
class AlarmEngine;
}
namespace kestavo::history {
class AlarmJournal;
class AuditLog;
} // namespace kestavo::history

namespace kestavo::schedules {

class ScheduleHost final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScheduleHost)

public:
    struct Options
    {
        QString program;                  // "agent", "console": audit records and alarm events
        std::function<QDateTime()> clock; // UTC; the machine's when empty
        int tickMs = 1000;                // entries re-read and due times looked at this often
        int startDelayMs = 10'000;        // the missed actions wait for the first reports' leases
        ScheduleExecutor::Timing timing;
    };
    /// Where a station is, for its entries' tags, zone and sun times.
    struct Place
    {
        QStringList tags;
        stations::StationSite site;
    };
    using PlaceLookup = std::function<Place(const QString& address)>;

    /// `audit` and `journal` may be null (no audit records, no schedule-failed alarms); all four
    /// outlive the host.
    ScheduleHost(fleet::FleetPoller& poller, alarms::AlarmEngine& leases, history::AuditLog* audit,
                 history::AlarmJournal* journal, Options options, QObject* parent = nullptr);
    /// Stops (see stop()) with "the <program> stopped".
    ~ScheduleHost() override;

    /// Opens the schedule tables of the history file; false with error().
    bool open(const QString& historyPath);
    QString error() const { return m_store.error(); }
    /// Asked for every station of the poller's list whenever the list is set again.
    void setPlaceLookup(PlaceLookup lookup);

    /// Starts ticking; the executor itself starts startDelayMs later with the missed actions.
    void start();
    /// Stops ticking. Actions sent and not yet shown by a report are logged and audited as not
    /// verified, `why` saying what stopped.
    void stop(const QString& why = {});
    bool isRunning() const { return m_timer.isActive(); }
    /// Null until the executor started.
    const ScheduleExecutor* executor() const { return m_started ? m_executor.get() : nullptr; }

    /// The frame carrying out an entry's action, with the station's password.
    static std::string frameOf(const ScheduleEntry& entry, const std::string& password);

private:
    void tick();
    void reloadPlaces();
    void audit(const QString& address, const ScheduleEntry& entry, const QString& outcome,
               const QString& detail);
    void raiseFailure(const Occurrence& action, const QString& why);
    QDateTime now() const;

    fleet::FleetPoller& m_poller;
    alarms::AlarmEngine& m_leases;
    history::AuditLog* m_audit;
    history::AlarmJournal* m_journal;
    Options m_options;
    ScheduleStore m_store;
    std::unique_ptr<ScheduleExecutor> m_executor;
    PlaceLookup m_lookup;
    QHash<QString, Place> m_places; // the poller's stations
    QTimer m_timer;
    qint64 m_startAtMs = 0; // poller clock
    bool m_started = false;
};

} // namespace kestavo::schedules
