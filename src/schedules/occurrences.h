#pragma once

// When entries act: their occurrences between two instants at each station they name, in the
// station's own time, and what to do after the executor was away (missed-action recovery). Pure
// functions: the clock is whatever instant the caller passes.

#include <functional>
#include <optional>

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>

#include "schedules/scheduleentry.h"

namespace kestavo::schedules {

/// A wall-clock time of a zone as an instant. On the spring-forward day a time inside the gap
/// does not exist: it resolves to the end of the gap (02:30 → 03:00) and `moved` is set. On the
/// fall-back day a repeated time resolves to its first instant, so it runs once.
struct LocalInstant
{
    QDateTime utc;
    bool moved = false;
    bool repeated = false;
};
LocalInstant resolveLocal(const QDate& date, const QTime& time, const QTimeZone& zone);

/// A station as schedules see it: its zone (the machine's when it has none) and position.
struct Site
{
    QString address;
    QTimeZone zone;
    std::optional<double> latitude;
    std::optional<double> longitude;
};

struct Occurrence
{
    enum class Note {
        None,
        Moved,      // the local time did not exist that day (clocks went forward): run at the gap's end
        NoSun,      // polar day or night: the sun event does not happen that date, nothing runs
        NoPosition, // a sun time at a station without latitude and longitude: nothing runs
    };
    qint64 entryId = 0;
    ScheduleEntry entry;
    QString address;
    QDate localDate;
    QDateTime utc; // when it runs; for NoSun and NoPosition the start of the local date
    QTimeZone zone;
    Note note = Note::None;
    QString detail; // what the log says about a moved or skipped occurrence

    bool runs() const { return note == Note::None || note == Note::Moved; }
};

/// Every occurrence of an enabled entry at `site` with fromUtc <= time < toUtc, in time order.
QList<Occurrence> occurrences(const ScheduleEntry& entry, const Site& site, const QDateTime& fromUtc,
                              const QDateTime& toUtc);

/// The stations an entry names, as sites (a tag's stations, or the one station).
using SiteResolver = std::function<QList<Site>(const ScheduleEntry&)>;

/// The occurrences of every entry at every station it names, merged in time order (ties keep the
/// entries' order).
QList<Occurrence> upcoming(const QList<ScheduleEntry>& entries, const SiteResolver& sites,
                           const QDateTime& fromUtc, const QDateTime& toUtc);

inline constexpr qint64 kRecoveryWindowMs = 12 * 3'600'000LL;

struct Recovery
{
    QList<Occurrence> apply;       // per station and relay, the latest on/off that was missed
    QList<Occurrence> notReplayed; // missed pulses and script runs: logged, never sent late
};

/// What an executor starting at `nowUtc` does about the actions due while it was away: since
/// `lastRunUtc` (when it last looked; invalid when unknown), at most kRecoveryWindowMs back.
Recovery missedActions(const QList<ScheduleEntry>& entries, const SiteResolver& sites,
                       const QDateTime& lastRunUtc, const QDateTime& nowUtc);

} // namespace kestavo::schedules
