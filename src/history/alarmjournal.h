#pragma once

// Alarm rules, the alarms raised and their transitions, kept in the history file so that the
// console, the command-line client and the agent see the same alarms and the same rules.

#include <functional>
#include <limits>
#include <optional>

#include <QList>
#include <QMetaType>
#include <QSqlError>
#include <QString>

#include "history/historyconnection.h"
#include "storelink/storeroles.h"

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

/// The rule of a `schedule-failed` alarm: minus the schedule's id. No stored rule is negative, so
/// no rule change closes it; one open alarm per schedule and station.
inline qint64 scheduleFailedRule(qint64 scheduleId)
{
    return -scheduleId;
}

/// What an alarm's rule number names for people: "rule 4", or "schedule #12" for the alarm of a
/// failed schedule.
inline QString ruleName(qint64 rule)
{
    return rule < 0 ? QStringLiteral("schedule #%1").arg(-rule) : QStringLiteral("rule %1").arg(rule);
}

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

/// What a state change found in the store. Applied: the row was in the state the change started
/// from and now holds the new one. Adopted: another program changed it first (or it is gone); the
/// caller takes `stored` as the truth. Failed: the store could not be read or written.
struct AlarmChange
{
    enum class Outcome { Applied, Adopted, Failed };
    Outcome outcome = Outcome::Failed;
    std::optional<AlarmRecord> stored;        // absent when Failed, or when the row no longer exists
    AlarmState previous = AlarmState::Normal; // the stored state before the change

    QString error; // Failed: one sentence; a refusal by the store names the role the change needs

    bool applied() const { return outcome == Outcome::Applied; }
    bool failed() const { return outcome == Outcome::Failed; }
};

class AlarmJournal final
{
    Q_DISABLE_COPY_MOVE(AlarmJournal)

public:
    AlarmJournal() = default;

    /// A history file or a team store's address (see HistoryConnection::open()).
    bool open(const QString& location, const QString& program = {})
    {
        return m_connection.open(location, program);
    }
    bool isOpen() const { return m_connection.isOpen(); }
    QString error() const { return m_connection.error(); }
    const HistoryConnection& connection() const { return m_connection; }
    /// Why the last rule or setting change failed, in one sentence (a refusal by the store names
    /// the role it needs); a state change says it in AlarmChange::error.
    QString lastError() const { return m_lastError; }

    QList<AlarmRule> rules() const;
    /// Inserts (id 0, which is then set) or replaces the rule. A rule that is disabled, or now
    /// watches another station, kind or channel, closes the alarms it had open ("rule changed"),
    /// in the same transaction: nobody would ever clear them otherwise.
    bool saveRule(AlarmRule& rule, qint64 nowMs = 0, const QString& who = {});
    /// Stores every rule (an id not yet stored is kept) and, with `replace`, removes the others and
    /// closes their alarms: all in one transaction, so an import is whole or not at all.
    bool saveRules(QList<AlarmRule>& rules, bool replace, qint64 nowMs = 0, const QString& who = {});
    /// Removes the rule and closes its open alarms ("rule removed") in one transaction.
    bool removeRule(qint64 id, qint64 nowMs = 0, const QString& who = {});
    /// Closes open alarms whose rule no longer exists or is disabled (files written by earlier
    /// versions kept them open forever). A negative rule is no stored rule but a failed schedule
    /// (scheduleFailedRule()): those alarms stay until acknowledged. Returns how many were closed, -1 on
    /// failure.
    int closeOrphans(qint64 nowMs);

    /// Alarms still listed (openOnly) or every alarm ever raised, newest first.
    QList<AlarmRecord> alarms(bool openOnly = true) const;
    std::optional<AlarmRecord> alarm(qint64 id) const;

    // Every state change below is one write transaction that reads the stored row first and
    // writes only when it is in the state the change starts from; each applied change is logged
    // as an event in the same transaction. Nobody writes back a row read earlier.

    /// Raises `fresh` (id 0, state ActiveUnacknowledged) unless its station and rule already have
    /// an open alarm; that one is returned as Adopted then.
    AlarmChange raise(const AlarmRecord& fresh, const QString& who = {}, const QString& text = {});
    /// Moves alarm `id` from `from` to `next.state`, taking value, changed time, acknowledger and
    /// shelving time from `next`.
    AlarmChange change(qint64 id, AlarmState from, const AlarmRecord& next, const QString& who = {},
                       const QString& text = {});
    /// Acknowledges from whatever state is stored; Adopted when there was nothing to acknowledge.
    AlarmChange acknowledge(qint64 id, const QString& who, qint64 nowMs);
    /// Shelves an open alarm until `untilMs`; Adopted when it is no longer open.
    AlarmChange shelve(qint64 id, qint64 untilMs, const QString& who, qint64 nowMs, const QString& text = {});
    /// Ends a shelving: by time-out (`who` empty) or by hand (`who` is taken as the acknowledger).
    AlarmChange unshelve(qint64 id, AlarmState to, const QString& who, qint64 nowMs,
                         const QString& text = {});

    /// Moves whenever any program changes an alarm or a rule; -1 when it cannot be read.
    qint64 changeCounter() const;

    QList<AlarmEvent> events(qint64 fromMs = 0, qint64 toMs = std::numeric_limits<qint64>::max()) const;

    /// Settings everyone on the file shares (table `settings`): the stored text, or nothing when
    /// the setting was never made (the program's default holds).
    std::optional<QString> setting(const QString& name) const;
    bool setSetting(const QString& name, const QString& value);

private:
    using Step = std::function<std::optional<AlarmRecord>(const AlarmRecord& stored)>;
    /// Reads the row and writes what `step` makes of it, under one write lock; a step returning
    /// nothing leaves the row as stored (Adopted).
    AlarmChange update(qint64 id, const Step& step, const QString& who, const QString& text,
                       const QString& action);
    QString failure(const QSqlError& error, const QString& action, store::Role needed) const;
    bool fail(const QSqlError& error, const QString& action, store::Role needed);

    HistoryConnection m_connection;
    QString m_lastError;
};

} // namespace kestavo::history

Q_DECLARE_METATYPE(kestavo::history::AlarmRecord)
Q_DECLARE_METATYPE(kestavo::history::AlarmRule)
