#pragma once

// Alarm rules, the alarms raised and their transitions, kept in the history file so that the
// console, the command-line client and the agent see the same alarms and the same rules.

#include <limits>
#include <optional>

#include <QList>
#include <QMetaType>
#include <QString>

#include "history/historyconnection.h"

namespace kestavo::history {

enum class AlarmRuleKind : int {
    VoltageAbove = 1, // channel 1-8, limit in volts
    VoltageBelow = 2,
    TemperatureAbove = 3, // limit in °C
    TemperatureBelow = 4,
    PinIs = 5,       // channel = I/O pin 1-5, limit = the alarming value 0 or 1
    RelayNot = 6,    // channel = relay 1-3, limit = the expected state 0 (off) or 1 (on)
    LinkOffline = 7, // limit = seconds without a report
    BadPassword = 8,
};

enum class AlarmPriority : int { High = 1, Medium = 2, Low = 3 };

enum class AlarmState : int {
    Normal = 0,
    ActiveUnacknowledged = 1,
    ActiveAcknowledged = 2,
    ClearedUnacknowledged = 3,
    Shelved = 4,
};

struct AlarmRule
{
    qint64 id = 0;
    QString address; // empty: a default for every station without a rule of the same kind and channel
    AlarmRuleKind kind = AlarmRuleKind::VoltageBelow;
    int channel = 0;
    double limit = 0;
    double deadband = 0; // the reading must come back this far past the limit to clear
    int onDelayS = 0;    // the condition must hold this long before the alarm is raised
    int offDelayS = 0;   // and be gone this long before it clears
    AlarmPriority priority = AlarmPriority::Medium;
    QString text;
    bool enabled = true;

    bool operator==(const AlarmRule&) const = default;
};

struct AlarmRecord
{
    qint64 id = 0;
    QString address;
    qint64 rule = 0;
    AlarmPriority priority = AlarmPriority::Medium;
    QString text;
    AlarmState state = AlarmState::Normal;
    std::optional<double> value;
    qint64 raisedMs = 0;
    qint64 changedMs = 0;
    QString ackedBy;
    qint64 shelvedUntilMs = 0;
};

struct AlarmEvent
{
    qint64 id = 0;
    qint64 utcMs = 0;
    qint64 alarm = 0;
    QString address;
    qint64 rule = 0;
    std::optional<double> value;
    AlarmState state = AlarmState::Normal;
    QString who;
    QString text;
};

/// "normal", "active, unacknowledged", "active, acknowledged", "cleared, unacknowledged", "shelved".
QString stateText(AlarmState state);
QString priorityText(AlarmPriority priority); // "high", "medium", "low"
std::optional<AlarmPriority> priorityFromText(const QString& text);
/// Where acknowledging an alarm in `state` takes it; the same state when there is nothing to
/// acknowledge.
AlarmState acknowledged(AlarmState state);
/// Active or cleared-unacknowledged: still listed for the operator.
bool isOpenState(AlarmState state);

class AlarmJournal final
{
    Q_DISABLE_COPY_MOVE(AlarmJournal)

public:
    AlarmJournal() = default;

    bool open(const QString& path) { return m_connection.open(path); }
    bool isOpen() const { return m_connection.isOpen(); }
    QString error() const { return m_connection.error(); }

    QList<AlarmRule> rules() const;
    /// Inserts (id 0, which is then set) or replaces the rule.
    bool saveRule(AlarmRule& rule);
    bool removeRule(qint64 id);

    /// Alarms still listed (openOnly) or every alarm ever raised, newest first.
    QList<AlarmRecord> alarms(bool openOnly = true) const;
    std::optional<AlarmRecord> alarm(qint64 id) const;
    /// Inserts (id 0, which is then set) or updates the alarm, and logs the transition as an event.
    bool saveAlarm(AlarmRecord& alarm, const QString& who = {}, const QString& eventText = {});

    QList<AlarmEvent> events(qint64 fromMs = 0, qint64 toMs = std::numeric_limits<qint64>::max()) const;

private:
    HistoryConnection m_connection;
};

} // namespace kestavo::history

Q_DECLARE_METATYPE(kestavo::history::AlarmRecord)
Q_DECLARE_METATYPE(kestavo::history::AlarmRule)
