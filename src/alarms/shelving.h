#pragma once

// Shelving an alarm: for how long at most, why, and what the event log says about it. The
// console and the command line check a shelving alike, so one rule holds however it is asked.

#include <optional>

#include <QString>

namespace kestavo::history {
class AlarmJournal;
}

namespace kestavo::alarms {

/// The longest an alarm may be shelved unless the team set another: a shelved alarm is
/// forgotten, so it comes back within a day (the alarm-management rule of thumb) and someone
/// decides again.
constexpr qint64 kMaxShelveMs = 24 * 3600 * 1000;
/// What the setting may be: from a minute to a week (a shelf is not a place to keep alarms).
constexpr qint64 kMaxShelveFloorMs = 60 * 1000;
constexpr qint64 kMaxShelveCeilingMs = 7 * 24 * 3600 * 1000LL;
/// The history file's setting that holds the longest shelving, in minutes.
inline const QString kMaxShelveSetting = QStringLiteral("alarms.max_shelve_minutes");

/// Empty when the alarm may be shelved for `durationMs` with `reason`; otherwise one sentence
/// saying what to change.
QString shelveProblem(qint64 durationMs, const QString& reason, qint64 maxMs = kMaxShelveMs);
/// The event's text: "shelved until 2026-01-01T02:00:00.000Z: battery swap".
QString shelveText(qint64 untilMs, const QString& reason);
/// "2 h", "90 min", "1 h 30 min": a duration as the windows and messages say it.
QString durationWords(qint64 ms);

/// Empty when `ms` may be the longest shelving; otherwise why not.
QString maxShelveProblem(qint64 ms);
/// The longest shelving the file's setting allows; `fallback` when it is not set, unreadable or
/// out of range.
qint64 maxShelveMs(const history::AlarmJournal& journal, qint64 fallback = kMaxShelveMs);
/// Stores the setting for everyone on the file; false when the file refused the write.
bool setMaxShelveMs(history::AlarmJournal& journal, qint64 ms);

} // namespace kestavo::alarms
