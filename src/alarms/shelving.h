#pragma once

// Shelving an alarm: for how long at most, why, and what the event log says about it. The
// console and the command line check a shelving alike, so one rule holds however it is asked.

#include <QString>

namespace kestavo::alarms {

/// The longest an alarm may be shelved: a shelved alarm is forgotten, so it comes back within a
/// day (the alarm-management rule of thumb) and someone decides again.
constexpr qint64 kMaxShelveMs = 24 * 3600 * 1000;

/// Empty when the alarm may be shelved for `durationMs` with `reason`; otherwise one sentence
/// saying what to change.
QString shelveProblem(qint64 durationMs, const QString& reason, qint64 maxMs = kMaxShelveMs);
/// The event's text: "shelved until 2026-01-01T02:00:00.000Z: battery swap".
QString shelveText(qint64 untilMs, const QString& reason);
/// "2 h", "90 min", "1 h 30 min": a duration as the windows and messages say it.
QString durationWords(qint64 ms);

} // namespace kestavo::alarms
