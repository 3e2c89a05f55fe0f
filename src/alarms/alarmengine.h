#pragma once

// The alarm engine: rules applied to every station's reports and link state, each alarm moving
// normal -> active, unacknowledged -> active, acknowledged -> normal, or -> cleared,
// unacknowledged when it clears first. Whoever decoded a report hands it in; the engine does not
// know the session or the fleet poller. Time comes from the caller (reports) and an injected
// clock (tick), so tests run hours of delays in microseconds.
//
// With a journal, the journal is the truth and the engine's alarms are a cache: every change is a
// conditional transaction in the store, and a change another program made first is adopted. With
// station leases, the engine evaluates only the stations whose lease it holds; the others' alarms
// it reads from the store (within a tick of their change).

#include <functional>
#include <map>
#include <optional>

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include "history/alarmjournal.h"
#include "history/historytypes.h"
#include "history/stationleases.h"

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
        /// Null: this engine evaluates every station it is told about.
        history::StationLeases* leases = nullptr;
        QString program = QStringLiteral("console");
        /// The name this engine holds leases under; empty: one of its own. A program that also
        /// leases the stations it polls (the agent) shares its name, so the two never compete.
        QString holder{};
        qint64 leaseTtlMs = 30000;             // renewed every third of it while the station reports
        qint64 maxShelveMs = 24 * 3600 * 1000; // the longest shelving unless the file's setting says
                                               // otherwise (alarms/shelving.h)
    };

    /// `journal` (may be null) keeps rules, alarms and every transition; it must outlive the engine.
    explicit AlarmEngine(history::AlarmJournal* journal, QObject* parent = nullptr);
    AlarmEngine(history::AlarmJournal* journal, const Options& options, QObject* parent = nullptr);
    /// Gives up the leases this engine holds, so another program takes over at once.
    ~AlarmEngine() override;

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
    /// The longest shelving: the history file's setting, or Options::maxShelveMs without one.
    qint64 maxShelveMs() const;
    /// Shelves an open alarm for `durationMs` (at most maxShelveMs()) with a reason, which
    /// the event log keeps; false when refused (see shelveProblem) or not applied.
    bool shelve(qint64 alarmId, qint64 durationMs, const QString& who, const QString& reason);
    /// Brings a shelved alarm back by hand, which counts as acknowledging it: active, acknowledged
    /// while its condition holds, otherwise over.
    bool unshelve(qint64 alarmId, const QString& who);
    /// Adopts what other programs changed in the journal (acknowledgements, shelving, alarms raised
    /// by the station's evaluator, rules added or removed) when its change counter moved.
    void syncFromJournal();

    /// The stations a poller of this program polls: their leases are kept while they stay silent
    /// (an offline unit sends nothing, and its offline rule must still be evaluated here).
    void setWatched(const QStringList& addresses);
    /// Whether this engine evaluates the station's rules now (holds its lease, or needs none).
    bool evaluates(const QString& address) const;
    /// This engine's name in the lease table.
    QString holder() const { return m_holder; }

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
    /// The set of stations this engine evaluates changed (a lease taken, lost or given up).
    void evaluationChanged();
    /// A change could not be stored (the file is locked or read-only); sent once until one succeeds.
    void storeFailed(const QString& message);

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
    /// Takes the station's lease on first sight; false while another program holds it.
    bool mayEvaluate(const QString& address, qint64 t);
    void renewLeases(qint64 t);
    void setHeld(const QSet<QString>& held);
    void resetTrackers(const QString& address);
    /// Stores `next` (a change from `from`), then updates the cache from what is stored. False
    /// when the change did not apply: another program's change was adopted, or the store failed.
    bool commit(AlarmRecord next, AlarmState from, const QString& who, const QString& text = {});
    /// The cache after a journal call: the new row when the change applied, the stored one when
    /// another program's came first; a failure reported as `what` ("the acknowledgement").
    bool take(const history::AlarmChange& change, qint64 id, const QString& what);
    void adopt(const std::optional<AlarmRecord>& stored, qint64 id);
    void cache(const AlarmRecord& alarm, AlarmState previous);
    void reportFailure(const QString& what);
    void observe(const QString& address, const AlarmRule& rule, qint64 t, std::optional<bool> raise,
                 std::optional<bool> clear, std::optional<double> value);
    void evaluate(const Key& key, const AlarmRule& rule, qint64 t);
    const AlarmRule* findRule(qint64 id) const;

    history::AlarmJournal* m_journal;
    Options m_options;
    QList<AlarmRule> m_rules;
    std::map<Key, Tracker> m_trackers;
    std::map<qint64, AlarmRecord> m_alarms; // open alarms by id
    std::map<QString, LinkState> m_links;
    std::map<QString, qint64> m_linkSince;
    qint64 m_nextId = 1; // ids when there is no journal, never while one is open
    QString m_holder;
    QSet<QString> m_held;
    std::map<QString, qint64> m_polled; // station → when it last reported or changed link
    QSet<QString> m_watched;
    qint64 m_renewAtMs = 0;
    qint64 m_heldUntilMs = 0;
    qint64 m_counter = -1;
    bool m_failing = false;
    QTimer m_timer;
};

} // namespace kestavo::alarms
