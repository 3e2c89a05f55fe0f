#include "alarms/alarmengine.h"

#include <algorithm>
#include <set>

#include <QDateTime>

#include "protocol/conversions.h"
#include "protocol/reply.h"

#include "alarms/rulevalidation.h"
#include "alarms/shelving.h"
#include "history/auditlog.h"

namespace kestavo::alarms {

namespace {

int listOrder(AlarmState state)
{
    switch (state) {
    case AlarmState::ActiveUnacknowledged:
    case AlarmState::ClearedUnacknowledged:
        return 0;
    case AlarmState::ActiveAcknowledged:
        return 1;
    default:
        return 2;
    }
}

} // namespace

AlarmEngine::AlarmEngine(history::AlarmJournal* journal, QObject* parent)
    : AlarmEngine(journal, Options(), parent)
{
}

AlarmEngine::AlarmEngine(history::AlarmJournal* journal, const Options& options, QObject* parent)
    : QObject(parent), m_journal(journal), m_options(options)
{
    if (m_options.leases)
        m_holder = m_options.holder.isEmpty() ? history::StationLeases::newHolder() : m_options.holder;
    m_timer.setInterval(options.tickMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(now()); });
    m_timer.start();
}

AlarmEngine::~AlarmEngine()
{
    if (m_options.leases && m_options.leases->isOpen() && !m_held.isEmpty())
        m_options.leases->release(m_holder);
}

qint64 AlarmEngine::now() const
{
    return m_options.clock ? m_options.clock() : QDateTime::currentMSecsSinceEpoch();
}

void AlarmEngine::load()
{
    if (!m_journal || !m_journal->isOpen())
        return;
    m_counter = m_journal->changeCounter();
    m_journal->closeOrphans(now());
    m_rules = m_journal->rules();
    m_alarms.clear();
    m_trackers.clear();
    for (const AlarmRecord& a : m_journal->alarms(true))
        m_alarms[a.id] = a;
    QSet<QString> stations;
    for (const auto& [id, a] : m_alarms)
        stations.insert(a.address);
    for (const QString& address : stations)
        resetTrackers(address);
}

void AlarmEngine::resetTrackers(const QString& address)
{
    for (auto it = m_trackers.begin(); it != m_trackers.end();)
        it = it->first.first == address ? m_trackers.erase(it) : std::next(it);
    for (const auto& [id, a] : m_alarms) {
        if (a.address != address)
            continue;
        Tracker& t = m_trackers[{a.address, a.rule}];
        t.alarmId = a.id;
        t.latched = t.raised = a.state != AlarmState::ClearedUnacknowledged;
        t.since = a.changedMs;
        t.value = a.value;
    }
}

bool AlarmEngine::evaluates(const QString& address) const
{
    return !m_options.leases || m_held.contains(address);
}

bool AlarmEngine::mayEvaluate(const QString& address, qint64 t)
{
    if (!m_options.leases)
        return true;
    const bool known = m_polled.count(address) > 0;
    m_polled[address] = t;
    if (!known && m_options.leases->isOpen()) {
        if (const auto held =
                m_options.leases->acquire({address}, m_holder, m_options.program, t, m_options.leaseTtlMs)) {
            if (held->contains(address)) {
                QSet<QString> next = m_held;
                next.insert(address);
                m_heldUntilMs = std::max(m_heldUntilMs, t + m_options.leaseTtlMs);
                setHeld(next);
            }
        }
    }
    return m_held.contains(address);
}

void AlarmEngine::setWatched(const QStringList& addresses)
{
    m_watched = QSet<QString>(addresses.begin(), addresses.end());
}

void AlarmEngine::renewLeases(qint64 t)
{
    if (!m_options.leases || !m_options.leases->isOpen() || t < m_renewAtMs)
        return;
    m_renewAtMs = t + m_options.leaseTtlMs / 3;
    // Only stations still polled keep their lease; one the program stopped polling lapses.
    QStringList polled;
    for (auto it = m_polled.begin(); it != m_polled.end();) {
        if (t - it->second > m_options.leaseTtlMs && !m_watched.contains(it->first)) {
            it = m_polled.erase(it);
        } else {
            polled.append(it->first);
            ++it;
        }
    }
    const auto held = polled.isEmpty() ? std::optional<QSet<QString>>(QSet<QString>())
                                       : m_options.leases->acquire(polled, m_holder, m_options.program, t,
                                                                   m_options.leaseTtlMs);
    if (held) {
        m_heldUntilMs = t + m_options.leaseTtlMs;
        setHeld(*held);
    } else if (t >= m_heldUntilMs) {
        // Not renewed in time: another program may have taken over; stop rather than evaluate twice.
        setHeld({});
    }
}

void AlarmEngine::setHeld(const QSet<QString>& held)
{
    if (held == m_held)
        return;
    const QSet<QString> gained = held - m_held;
    m_held = held;
    // Another program evaluated these meanwhile: start from what it stored, not from old trackers.
    for (const QString& address : gained)
        resetTrackers(address);
    Q_EMIT evaluationChanged();
}

void AlarmEngine::setRules(const QList<AlarmRule>& rules)
{
    m_rules = rules;
}

const AlarmRule* AlarmEngine::findRule(qint64 id) const
{
    for (const AlarmRule& rule : m_rules)
        if (rule.id == id)
            return &rule;
    return nullptr;
}

QList<AlarmRule> AlarmEngine::rulesFor(const QString& address) const
{
    QList<AlarmRule> result;
    for (const AlarmRule& rule : m_rules)
        if (rule.enabled && rule.address == address)
            result.append(rule);
    // A default applies unless the station has its own rule for the same thing.
    for (const AlarmRule& rule : m_rules) {
        if (!rule.enabled || !rule.address.isEmpty())
            continue;
        const bool overridden = std::any_of(result.begin(), result.end(), [&](const AlarmRule& own) {
            return own.kind == rule.kind && own.channel == rule.channel && !own.address.isEmpty();
        });
        if (!overridden)
            result.append(rule);
    }
    return result;
}

void AlarmEngine::report(const QString& address, qint64 utcMs, const protocol::StatusReport& report,
                         const history::RangeFlags& ranges)
{
    linkState(address, utcMs, LinkState::Online);
    if (!evaluates(address))
        return;
    for (const AlarmRule& rule : rulesFor(address)) {
        const int index = rule.channel - 1;
        std::optional<double> value;
        switch (rule.kind) {
        case AlarmRuleKind::VoltageAbove:
        case AlarmRuleKind::VoltageBelow:
            if (index >= 0 && index < 8) {
                const int range = rule.channel == 1   ? ranges.channel1
                                  : rule.channel == 2 ? ranges.channel2
                                                      : 0;
                value = protocol::channelVolts(rule.channel, report.channels[std::size_t(index)], range);
            }
            break;
        case AlarmRuleKind::TemperatureAbove:
        case AlarmRuleKind::TemperatureBelow:
            value = report.temperatureC;
            break;
        case AlarmRuleKind::PinIs:
            if (index >= 0 && index < 5 && report.ioPins[std::size_t(index)])
                value = *report.ioPins[std::size_t(index)];
            break;
        case AlarmRuleKind::RelayNot:
            if (index >= 0 && index < 3 && report.relayOn[std::size_t(index)])
                value = *report.relayOn[std::size_t(index)] ? 1 : 0;
            break;
        case AlarmRuleKind::LinkOffline:
        case AlarmRuleKind::BadPassword:
            continue;
        }
        if (!value) // not reported: the condition stays as it was
            continue;
        const double v = *value;
        switch (rule.kind) {
        case AlarmRuleKind::VoltageAbove:
        case AlarmRuleKind::TemperatureAbove:
            observe(address, rule, utcMs, v > rule.limit, v < rule.limit - rule.deadband, value);
            break;
        case AlarmRuleKind::VoltageBelow:
        case AlarmRuleKind::TemperatureBelow:
            observe(address, rule, utcMs, v<rule.limit, v> rule.limit + rule.deadband, value);
            break;
        default: {
            // A pin alarms at its value; a relay when it is not in its expected state.
            const bool alarming = rule.kind == AlarmRuleKind::PinIs ? v == rule.limit : v != rule.limit;
            observe(address, rule, utcMs, alarming, !alarming, value);
            break;
        }
        }
    }
}

void AlarmEngine::linkState(const QString& address, qint64 utcMs, LinkState state)
{
    m_links[address] = state;
    if (!mayEvaluate(address, utcMs))
        return;
    for (const AlarmRule& rule : rulesFor(address)) {
        if (rule.kind == AlarmRuleKind::LinkOffline)
            observe(address, rule, utcMs, state == LinkState::Offline, state != LinkState::Offline,
                    std::nullopt);
        else if (rule.kind == AlarmRuleKind::BadPassword)
            observe(address, rule, utcMs, state == LinkState::BadPassword, state != LinkState::BadPassword,
                    std::nullopt);
    }
}

void AlarmEngine::observe(const QString& address, const AlarmRule& rule, qint64 t, std::optional<bool> raise,
                          std::optional<bool> clear, std::optional<double> value)
{
    const Key key{address, rule.id};
    Tracker& tracker = m_trackers[key];
    if (value)
        tracker.value = value;
    if (!tracker.latched && raise.value_or(false)) {
        tracker.latched = true;
        tracker.since = t;
    } else if (tracker.latched && clear.value_or(false)) {
        tracker.latched = false;
        tracker.since = t;
    }
    evaluate(key, rule, t);
}

void AlarmEngine::evaluate(const Key& key, const AlarmRule& rule, qint64 t)
{
    Tracker& tracker = m_trackers[key];
    qint64 onDelay = qint64(rule.onDelayS) * 1000;
    if (rule.kind == AlarmRuleKind::LinkOffline)
        onDelay += qint64(rule.limit * 1000);
    const qint64 offDelay = qint64(rule.offDelayS) * 1000;
    const auto found = tracker.alarmId ? m_alarms.find(tracker.alarmId) : m_alarms.end();

    if (tracker.latched && !tracker.raised && t - tracker.since >= onDelay) {
        if (found != m_alarms.end()) {
            AlarmRecord next = found->second;
            next.value = tracker.value;
            next.changedMs = t;
            if (next.state == AlarmState::ClearedUnacknowledged) {
                next.state = AlarmState::ActiveUnacknowledged;
                if (!commit(next, AlarmState::ClearedUnacknowledged, {})) {
                    // Closed meanwhile by someone else, or not stored: look again next tick.
                    const auto now = m_alarms.find(next.id);
                    if (now == m_alarms.end() || now->second.state == AlarmState::ClearedUnacknowledged)
                        return;
                }
            }
            m_trackers[key].raised = true; // a shelved alarm stays quiet until its time is up
            return;
        }
        AlarmRecord fresh;
        fresh.address = key.first;
        fresh.rule = rule.id;
        fresh.priority = rule.priority;
        fresh.text = ruleText(rule);
        fresh.value = tracker.value;
        fresh.raisedMs = t;
        fresh.changedMs = t;
        fresh.state = AlarmState::ActiveUnacknowledged;
        if (!m_journal || !m_journal->isOpen()) {
            fresh.id = m_nextId++;
            cache(fresh, AlarmState::Normal);
        } else {
            const history::AlarmChange change = m_journal->raise(fresh);
            if (change.failed() || !change.stored) {
                reportFailure(
                    QStringLiteral("the alarm \"%1\" of %2 could not be stored").arg(fresh.text, key.first));
                return; // not raised: the next tick tries again, no id is made up meanwhile
            }
            m_failing = false;
            if (change.applied())
                cache(*change.stored, AlarmState::Normal);
            else
                adopt(change.stored, change.stored->id);
            fresh = *change.stored;
        }
        Tracker& updated = m_trackers[key];
        updated.raised = true;
        updated.alarmId = fresh.id;
        // An open alarm found in the store that had cleared meanwhile becomes active again.
        if (fresh.state == AlarmState::ClearedUnacknowledged) {
            updated.raised = false;
            evaluate(key, rule, t);
        }
    } else if (!tracker.latched && tracker.raised && t - tracker.since >= offDelay) {
        if (found == m_alarms.end()) {
            tracker.raised = false;
            return;
        }
        AlarmRecord next = found->second;
        next.value = tracker.value;
        next.changedMs = t;
        const AlarmState from = next.state;
        if (from == AlarmState::ActiveUnacknowledged)
            next.state = AlarmState::ClearedUnacknowledged;
        else if (from == AlarmState::ActiveAcknowledged)
            next.state = AlarmState::Normal;
        // Not applied but still open: acknowledged meanwhile (cleared from the stored state on
        // the next tick) or not stored (tried again).
        if (next.state != from && !commit(next, from, {}) && m_alarms.count(next.id))
            return;
        m_trackers[key].raised = false;
    } else if (!tracker.latched && !tracker.raised && found != m_alarms.end() &&
               found->second.state == AlarmState::ActiveAcknowledged) {
        // Unshelved by hand in another program after the condition had gone while shelved:
        // nothing else would ever end it.
        AlarmRecord next = found->second;
        next.state = AlarmState::Normal;
        next.changedMs = t;
        commit(next, AlarmState::ActiveAcknowledged, {});
    }
}

bool AlarmEngine::commit(AlarmRecord next, AlarmState from, const QString& who, const QString& text)
{
    if (!m_journal || !m_journal->isOpen()) {
        const auto it = m_alarms.find(next.id);
        if (it == m_alarms.end() || it->second.state != from)
            return false;
        if (next.state == AlarmState::ActiveAcknowledged ||
            (from == AlarmState::ClearedUnacknowledged && next.state == AlarmState::Normal))
            next.ackedBy = who;
        cache(next, from);
        return true;
    }
    const history::AlarmChange change = m_journal->change(next.id, from, next, who, text);
    return take(change, next.id, QStringLiteral("the change"));
}

bool AlarmEngine::take(const history::AlarmChange& change, qint64 id, const QString& what)
{
    if (change.failed()) {
        reportFailure(QStringLiteral("%1 of alarm %2 could not be stored").arg(what).arg(id));
        return false;
    }
    m_failing = false;
    if (change.applied())
        cache(*change.stored, change.previous);
    else
        adopt(change.stored, id);
    return change.applied();
}

void AlarmEngine::adopt(const std::optional<AlarmRecord>& stored, qint64 id)
{
    const auto it = m_alarms.find(id);
    const AlarmState previous = it == m_alarms.end() ? AlarmState::Normal : it->second.state;
    if (stored) {
        if (it != m_alarms.end() && it->second.state == stored->state &&
            it->second.changedMs == stored->changedMs && it->second.ackedBy == stored->ackedBy &&
            it->second.shelvedUntilMs == stored->shelvedUntilMs)
            return;
        cache(*stored, previous);
    } else if (it != m_alarms.end()) {
        AlarmRecord gone = it->second;
        gone.state = AlarmState::Normal;
        cache(gone, previous);
    }
}

void AlarmEngine::cache(const AlarmRecord& alarm, AlarmState previous)
{
    const AlarmRecord copy = alarm;
    if (!isOpenState(copy.state)) {
        m_alarms.erase(copy.id);
        for (auto& [key, tracker] : m_trackers) {
            if (tracker.alarmId != copy.id)
                continue;
            tracker.alarmId = 0;
            // Closed while the condition may still hold (by a rule change, or another program):
            // the condition is looked at afresh.
            if (tracker.raised) {
                tracker.raised = false;
                tracker.latched = false;
            }
        }
    } else {
        m_alarms[copy.id] = copy;
        const auto tracker = m_trackers.find({copy.address, copy.rule});
        if (tracker != m_trackers.end())
            tracker->second.alarmId = copy.id;
    }
    Q_EMIT alarmChanged(copy, previous);
}

void AlarmEngine::reportFailure(const QString& what)
{
    qWarning("Alarms: %s", qPrintable(what));
    if (!m_failing) {
        m_failing = true;
        Q_EMIT storeFailed(what);
    }
}

void AlarmEngine::tick(qint64 nowMs)
{
    syncFromJournal();
    renewLeases(nowMs);
    std::vector<AlarmRecord> expired;
    for (const auto& [id, alarm] : m_alarms)
        if (alarm.state == AlarmState::Shelved && alarm.shelvedUntilMs <= nowMs && evaluates(alarm.address))
            expired.push_back(alarm);
    for (const AlarmRecord& alarm : expired) {
        const auto tracker = m_trackers.find({alarm.address, alarm.rule});
        const bool stillRaised = tracker != m_trackers.end() && tracker->second.raised;
        const AlarmState to = stillRaised ? AlarmState::ActiveUnacknowledged : AlarmState::Normal;
        if (m_journal && m_journal->isOpen()) {
            const history::AlarmChange change =
                m_journal->unshelve(alarm.id, to, {}, nowMs, QStringLiteral("shelving ended"));
            if (change.failed())
                reportFailure(
                    QStringLiteral("the end of shelving of alarm %1 could not be stored").arg(alarm.id));
            else
                adopt(change.stored, alarm.id);
        } else {
            AlarmRecord next = alarm;
            next.state = to;
            next.changedMs = nowMs;
            next.shelvedUntilMs = 0;
            commit(next, AlarmState::Shelved, {});
        }
    }
    std::vector<Key> keys;
    for (const auto& [key, tracker] : m_trackers)
        if (evaluates(key.first))
            keys.push_back(key);
    for (const Key& key : keys)
        if (const AlarmRule* rule = findRule(key.second); rule && rule->enabled)
            evaluate(key, *rule, nowMs);
}

bool AlarmEngine::acknowledge(qint64 alarmId, const QString& who)
{
    const auto it = m_alarms.find(alarmId);
    if (it == m_alarms.end())
        return false;
    const qint64 t = now();
    if (m_journal && m_journal->isOpen()) {
        const history::AlarmChange change = m_journal->acknowledge(alarmId, who, t);
        return take(change, alarmId, QStringLiteral("the acknowledgement"));
    }
    AlarmRecord next = it->second;
    next.state = history::acknowledged(next.state);
    if (next.state == it->second.state)
        return false;
    next.changedMs = t;
    return commit(next, it->second.state, who);
}

int AlarmEngine::acknowledgeAll(const QString& who)
{
    std::vector<qint64> ids;
    for (const auto& [id, alarm] : m_alarms)
        ids.push_back(id);
    int count = 0;
    for (qint64 id : ids)
        count += acknowledge(id, who) ? 1 : 0;
    return count;
}

qint64 AlarmEngine::maxShelveMs() const
{
    return m_journal ? alarms::maxShelveMs(*m_journal, m_options.maxShelveMs) : m_options.maxShelveMs;
}

bool AlarmEngine::shelve(qint64 alarmId, qint64 durationMs, const QString& who, const QString& reason)
{
    const auto it = m_alarms.find(alarmId);
    if (it == m_alarms.end() || !shelveProblem(durationMs, reason, maxShelveMs()).isEmpty())
        return false;
    const qint64 t = now();
    const QString text = shelveText(t + durationMs, reason);
    if (m_journal && m_journal->isOpen()) {
        const history::AlarmChange change = m_journal->shelve(alarmId, t + durationMs, who, t, text);
        return take(change, alarmId, QStringLiteral("the shelving"));
    }
    AlarmRecord next = it->second;
    next.state = AlarmState::Shelved;
    next.changedMs = t;
    next.shelvedUntilMs = t + durationMs;
    return commit(next, it->second.state, who, text);
}

bool AlarmEngine::unshelve(qint64 alarmId, const QString& who)
{
    const auto it = m_alarms.find(alarmId);
    if (it == m_alarms.end() || it->second.state != AlarmState::Shelved)
        return false;
    // Only the evaluator knows whether the condition still holds. Anyone else brings it back
    // acknowledged, and the evaluator ends it at its next look if the condition is gone.
    AlarmState to = AlarmState::ActiveAcknowledged;
    if (evaluates(it->second.address)) {
        const auto tracker = m_trackers.find({it->second.address, it->second.rule});
        if (tracker == m_trackers.end() || !tracker->second.raised)
            to = AlarmState::Normal;
    }
    const qint64 t = now();
    const QString text = QStringLiteral("unshelved by hand");
    if (m_journal && m_journal->isOpen()) {
        const history::AlarmChange change = m_journal->unshelve(alarmId, to, who, t, text);
        return take(change, alarmId, QStringLiteral("the unshelving"));
    }
    AlarmRecord next = it->second;
    next.state = to;
    next.changedMs = t;
    next.shelvedUntilMs = 0;
    next.ackedBy = who;
    return commit(next, AlarmState::Shelved, who, text);
}

void AlarmEngine::syncFromJournal()
{
    if (!m_journal || !m_journal->isOpen())
        return;
    const qint64 counter = m_journal->changeCounter();
    if (counter < 0 || counter == m_counter)
        return;
    const QList<AlarmRule> rules = m_journal->rules();
    const QList<AlarmRecord> stored = m_journal->alarms(true);
    m_counter = counter;
    m_rules = rules;
    std::set<qint64> open;
    for (const AlarmRecord& a : stored) {
        open.insert(a.id);
        adopt(a, a.id);
        // An alarm raised by another evaluator: this engine's tracker follows it, should the
        // station's lease come here.
        Tracker& t = m_trackers[{a.address, a.rule}];
        if (t.alarmId == 0 && !evaluates(a.address)) {
            t.alarmId = a.id;
            t.latched = t.raised = a.state != AlarmState::ClearedUnacknowledged;
            t.since = a.changedMs;
        }
    }
    std::vector<qint64> closed;
    for (const auto& [id, alarm] : m_alarms)
        if (!open.count(id))
            closed.push_back(id);
    for (qint64 id : closed)
        adopt(m_journal->alarm(id), id);
}

QList<AlarmRecord> AlarmEngine::openAlarms() const
{
    QList<AlarmRecord> result;
    for (const auto& [id, alarm] : m_alarms)
        result.append(alarm);
    std::sort(result.begin(), result.end(), [](const AlarmRecord& a, const AlarmRecord& b) {
        if (listOrder(a.state) != listOrder(b.state))
            return listOrder(a.state) < listOrder(b.state);
        if (a.priority != b.priority)
            return a.priority < b.priority;
        return a.raisedMs > b.raisedMs;
    });
    return result;
}

std::optional<AlarmRecord> AlarmEngine::alarm(qint64 id) const
{
    const auto it = m_alarms.find(id);
    return it == m_alarms.end() ? std::nullopt : std::optional<AlarmRecord>(it->second);
}

AlarmEngine::Summary AlarmEngine::summary(const QString& address) const
{
    Summary s;
    for (const auto& [id, alarm] : m_alarms) {
        if (alarm.address != address || alarm.state == AlarmState::Shelved)
            continue;
        ++s.count;
        if (!s.highest || alarm.priority < *s.highest)
            s.highest = alarm.priority;
    }
    return s;
}

QStringList AlarmEngine::stations() const
{
    QStringList result;
    for (const auto& [address, state] : m_links)
        result.append(address);
    return result;
}

} // namespace kestavo::alarms
