#pragma once

// One line of a site's timetable: what to do (switch a relay on or off, pulse it, run a relay
// script slot), where (one station or every station with a tag), when (a time of day, or a sun
// event plus or minus minutes, in the site's own time), on which weekdays, between which dates and
// except on which dates.

#include <optional>

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace kestavo::schedules {

enum class Action { On, Off, Pulse, Script };
enum class Anchor { Clock, Sunrise, Sunset, Dawn, Dusk };

inline constexpr int kRelays = 3;
inline constexpr int kScriptSlots = 8;
inline constexpr int kMaxPulseSeconds = 60; // the unit's relay cycle delay
inline constexpr int kMaxSunOffsetMinutes = 720;
inline constexpr quint8 kEveryDay = 0x7f;

struct ScheduleEntry
{
    qint64 id = 0;
    QString station; // an address, or empty when `tag` names the stations
    QString tag;
    Action action = Action::On;
    int relay = 0;        // 1..3 for On, Off and Pulse
    int pulseSeconds = 0; // Pulse
    int scriptSlot = 0;   // Script: 1..8
    Anchor anchor = Anchor::Clock;
    int minuteOfDay = 0;         // Clock: 0..1439, local wall time
    int offsetMinutes = 0;       // sun anchors: minutes after (negative: before) the event
    quint8 weekdays = kEveryDay; // bit 0 Monday … bit 6 Sunday
    QDate from;                  // invalid: no first date
    QDate until;                 // invalid: no last date (inclusive)
    QList<QDate> except;
    bool enabled = true;

    /// Whether the entry acts on this local date (weekday, date range, exceptions; not `enabled`).
    bool runsOn(const QDate& date) const;
    /// Switches a relay to a state that holds (what missed-action recovery may apply again).
    bool setsState() const { return action == Action::On || action == Action::Off; }
    bool usesSun() const { return anchor != Anchor::Clock; }

    /// Why the entry cannot run, naming the field ("relay: …"), or empty.
    QString problem() const;

    QString targetText() const; // "10.0.0.5" or "tag north/pumps"
    QString actionText() const; // "relay 2 on", "relay 1 pulse 5 s", "script 3"
    QString whenText() const;   // "07:30", "sunset+15", "dawn-30"
    QString daysText() const;   // "every day", "mon,tue,fri"

    friend bool operator==(const ScheduleEntry&, const ScheduleEntry&) = default;
};

QString actionWord(Action action); // on, off, pulse, script
std::optional<Action> actionFromWord(const QString& word);
QString anchorWord(Anchor anchor); // at, sunrise, sunset, dawn, dusk
std::optional<Anchor> anchorFromWord(const QString& word);

/// "mon,tue,sat" (also "every day", "weekdays", "weekend") to a weekday mask; nullopt names no day.
std::optional<quint8> parseDays(const QString& text, QString* problem);
QString daysText(quint8 mask);

/// "07:30" to minutes since midnight.
std::optional<int> parseClock(const QString& text);
QString clockText(int minuteOfDay);

/// A date as YYYY-MM-DD.
std::optional<QDate> parseDate(const QString& text);

} // namespace kestavo::schedules
