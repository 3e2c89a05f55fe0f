#pragma once

// The alarm engine: rules applied to every station's reports and link state, each alarm moving
// normal -> active, unacknowledged -> active, acknowledged -> normal, or -> cleared,
// unacknowledged when it clears first. Whoever decoded a report hands it in; the engine does not
// know the session or the fleet poller. Time comes from the caller (reports) and an injected
// clock (tick), so tests run hours of delays in microseconds.

#include <functional>
#include <map>
#include <optional>

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include "history/alarmjournal.h"
#include "history/historytypes.h"

namespace kestavo::protocol {
struct StatusReport;
}

namespace kestavo::alarms {

using history::AlarmPriority;
using history::AlarmRecord;
using history::AlarmRule;
using history::AlarmRuleKind;
using history::AlarmState;

/// The link to a station as its producer sees it.
enum class LinkState { Online, Stale, Offline, BadPassword, Invalid };

class AlarmEngine final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlarmEngine)

public:
    struct Options
    {
        std::function<qint64()> clock; // UTC ms; the system clock when empty
        int tickMs = 1000;             // delays, offline durations and shelving are checked this often
    };

    /// `journal` (may be null) keeps rules, alarms and every transition; it must outlive the engine.
    explicit AlarmEngine(history::AlarmJournal* journal, QObject* parent = nullptr);
    AlarmEngine(history::AlarmJournal* journal, const Options& options, QObject* parent = nullptr);

    /// Reads rules and the alarms still open from the journal.
    void load();
    void setRules(const QList<AlarmRule>& rules);
    const QList<AlarmRule>& rules() const { return m_rules; }

    void report(const QString& address, qint64 utcMs, const protocol::StatusReport& report,
                const history::RangeFlags& ranges = {});
    void linkState(const QString& address, qint64 utcMs, LinkState state);
    /// Runs the delays and the shelving expiry up to `nowMs` (the timer calls it with the clock).
    void tick(qint64 nowMs);

    bool acknowledge(qint64 alarmId, const QString& who);
    int acknowledgeAll(const QString& who);
    bool shelve(qint64 alarmId, qint64 durationMs, const QString& who);
    /// Adopts acknowledgements another program (the command-line client) wrote into the journal.
    void syncFromJournal();

    /// The alarms still listed: unacknowledged first, then by priority, then newest first.
    QList<AlarmRecord> openAlarms() const;
    std::optional<AlarmRecord> alarm(qint64 id) const;

    struct Summary
    {
        int count = 0;
        std::optional<AlarmPriority> highest;
    };
    /// Open, not shelved alarms of one station.
    Summary summary(const QString& address) const;
    QStringList stations() const;

    qint64 now() const;

Q_SIGNALS:
    /// Every transition, after it was written to the journal.
    void alarmChanged(const kestavo::history::AlarmRecord& alarm, kestavo::history::AlarmState previous);

private:
    struct Tracker
    {
        bool latched = false; // the condition, with the deadband applied
        bool raised = false;  // latched long enough: the on-delay has passed
        qint64 since = 0;     // when `latched` last changed
        std::optional<double> value;
        qint64 alarmId = 0; // the alarm this rule has open for the station, 0 when none
    };
    using Key = std::pair<QString, qint64>; // station, rule id

    QList<AlarmRule> rulesFor(const QString& address) const;
    void observe(const QString& address, const AlarmRule& rule, qint64 t, std::optional<bool> raise,
                 std::optional<bool> clear, std::optional<double> value);
    void evaluate(const Key& key, const AlarmRule& rule, qint64 t);
    void transition(AlarmRecord& alarm, AlarmState to, qint64 t, const QString& who,
                    const QString& text = {});
    const AlarmRule* findRule(qint64 id) const;

    history::AlarmJournal* m_journal;
    Options m_options;
    QList<AlarmRule> m_rules;
    std::map<Key, Tracker> m_trackers;
    std::map<qint64, AlarmRecord> m_alarms; // open alarms by id
    std::map<QString, LinkState> m_links;
    std::map<QString, qint64> m_linkSince;
    qint64 m_nextId = 1; // ids when there is no journal
    QTimer m_timer;
};

} // namespace kestavo::alarms
