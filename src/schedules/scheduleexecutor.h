#pragma once

// Carries out schedule entries for the stations whose lease this program holds. It is driven from
// outside: tick() whenever the clock may have passed a due time (a timer of the host), report()
// with every decoded status report. Nothing here talks to a unit, reads a clock or knows about
// leases itself: the host hands in the sender, the clock and the lease predicate, so the same
// object runs in the agent, in a console and in tests with a clock of their own.
//
// An action counts as done when a report after it shows it: a relay switched on or off shows that
// state; a pulse or a script run is done when the unit answers at all (the relay may be back
// already). Without that within verifyMs the action is sent again, up to `attempts` times in all;
// then it has failed (the host raises a `schedule-failed` alarm). With the defaults an action is
// given up 3 × 20 s = one minute after it was due.

#include <array>
#include <functional>
#include <optional>
#include <set>
#include <tuple>

#include <QDateTime>
#include <QList>
#include <QString>

#include "schedules/occurrences.h"
#include "schedules/schedulestore.h"

namespace kestavo::schedules {

class ScheduleExecutor final
{
    Q_DISABLE_COPY_MOVE(ScheduleExecutor)

public:
    struct Timing
    {
        qint64 verifyMs = 20'000; // how long a report may take to show the action
        int attempts = 3;         // sends in all, the first included
    };

    struct Hooks
    {
        std::function<QDateTime()> now;                                  // UTC
        std::function<bool(const QString& address)> holdsLease;          // act only then
        std::function<void(const Occurrence& action, int attempt)> send; // one command frame
        std::function<void(const LogRecord& record)> log;                // the schedule log
        std::function<void(const Occurrence& action, const QString& why)> failed;
        // Optional: records a "sent" or "recovered" occurrence where every program sharing the
        // timetable looks first; false when another program already carried it out (the lease
        // changed hands around its due time). It stands for the log line of that record.
        std::function<bool(const LogRecord& record)> claim;
        // Optional: an action's last word when it did not fail, "verified" or "not verified",
        // with the entry as it was when sent (it may have been edited or removed since).
        std::function<void(const Occurrence& action, const LogRecord& record)> settled;
    };

    ScheduleExecutor(Hooks hooks, SiteResolver sites, Timing timing);

    void setEntries(const QList<ScheduleEntry>& entries) { m_entries = entries; }
    const QList<ScheduleEntry>& entries() const { return m_entries; }

    /// Called once when the executor starts: applies what was missed since `lastRunUtc` (see
    /// missedActions()) and logs what is not replayed. Later ticks start from now.
    void start(const QDateTime& lastRunUtc);
    /// The same, each station from when an executor last looked at it: where programs share a
    /// timetable, another one may have run other stations' entries while this station had none.
    void start(const std::function<QDateTime(const QString& address)>& lastRunOf);
    /// Sends what fell due since the last tick, and resends or gives up what is still unverified.
    void tick();
    /// A status report of `address` received at `at`; relays[i] is relay i + 1 (empty: unknown).
    void report(const QString& address, const std::array<std::optional<bool>, 3>& relays,
                const QDateTime& at);

    /// The host stops: every action still waiting for a report is logged "not verified" (with
    /// `why`) and settled. Returns how many there were.
    int abandonPending(const QString& why);

    /// Actions sent and not yet verified or given up.
    int pending() const { return int(m_pending.size()); }
    QDateTime lastTick() const { return m_lastTick; }

private:
    struct Pending
    {
        Occurrence action;
        QDateTime sentAt;
        int attempts = 0;
        QString outcome; // "sent" or "recovered": what the log called it
    };

    void dispatch(const Occurrence& o, const QString& outcome);
    LogRecord record(const Occurrence& o, const QString& outcome, const QString& detail) const;
    void log(const Occurrence& o, const QString& outcome, const QString& detail);
    void settle(const Occurrence& o, const QString& outcome, const QString& detail);
    bool shows(const Pending& p, const std::array<std::optional<bool>, 3>& relays) const;

    Hooks m_hooks;
    SiteResolver m_sites;
    Timing m_timing;
    QList<ScheduleEntry> m_entries;
    QDateTime m_lastTick;
    QList<Pending> m_pending;
    std::set<std::tuple<qint64, QString, qint64>> m_skipsLogged;
};

} // namespace kestavo::schedules
