#include "alarms/alarmengine.h"

#include <algorithm>

#include <QDateTime>

#include "protocol/conversions.h"
#include "protocol/reply.h"

#include "alarms/rulevalidation.h"
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
    m_timer.setInterval(options.tickMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(now()); });
    m_timer.start();
}

qint64 AlarmEngine::now() const
{
    return m_options.clock ? m_options.clock() : QDateTime::currentMSecsSinceEpoch();
}

void AlarmEngine::load()
{
    if (!m_journal || !m_journal->isOpen())
        return;
    m_rules = m_journal->rules();
    m_alarms.clear();
    m_trackers.clear();
    for (const AlarmRecord& a : m_journal->alarms(true)) {
        m_alarms[a.id] = a;
        Tracker& t = m_trackers[{a.address, a.rule}];
        t.alarmId = a.id;
        t.latched = t.raised = a.state != AlarmState::ClearedUnacknowledged;
        t.since = a.changedMs;
        t.value = a.value;
    }
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
    AlarmRecord* alarm = tracker.alarmId ? &m_alarms[tracker.alarmId] : nullptr;

    if (tracker.latched && !tracker.raised && t - tracker.since >= onDelay) {
        tracker.raised = true;
        if (alarm) {
            alarm->value = tracker.value;
            if (alarm->state == AlarmState::ClearedUnacknowledged)
                transition(*alarm, AlarmState::ActiveUnacknowledged, t, {});
            return; // a shelved alarm stays quiet until its time is up
        }
        AlarmRecord fresh;
        fresh.address = key.first;
        fresh.rule = rule.id;
        fresh.priority = rule.priority;
        fresh.text = ruleText(rule);
        fresh.value = tracker.value;
        fresh.raisedMs = t;
        transition(fresh, AlarmState::ActiveUnacknowledged, t, {});
        m_trackers[key].alarmId = fresh.id;
    } else if (!tracker.latched && tracker.raised && t - tracker.since >= offDelay) {
        tracker.raised = false;
        if (!alarm)
            return;
        alarm->value = tracker.value;
        if (alarm->state == AlarmState::ActiveUnacknowledged)
            transition(*alarm, AlarmState::ClearedUnacknowledged, t, {});
        else if (alarm->state == AlarmState::ActiveAcknowledged)
            transition(*alarm, AlarmState::Normal, t, {});
    }
}

void AlarmEngine::transition(AlarmRecord& alarm, AlarmState to, qint64 t, const QString& who,
                             const QString& text)
{
    const AlarmState previous = alarm.state;
    alarm.state = to;
    alarm.changedMs = t;
    if (to == AlarmState::ActiveAcknowledged ||
        (previous == AlarmState::ClearedUnacknowledged && to == AlarmState::Normal))
        alarm.ackedBy = who;
    if (m_journal && m_journal->isOpen())
        m_journal->saveAlarm(alarm, who, text);
    if (alarm.id == 0)
        alarm.id = m_nextId++;
    const AlarmRecord copy = alarm; // `alarm` may live in m_alarms
    if (to == AlarmState::Normal) {
        m_alarms.erase(copy.id);
        for (auto& [key, tracker] : m_trackers)
            if (tracker.alarmId == copy.id)
                tracker.alarmId = 0;
    } else {
        m_alarms[copy.id] = copy;
    }
    Q_EMIT alarmChanged(copy, previous);
}

void AlarmEngine::tick(qint64 nowMs)
{
    std::vector<qint64> expired;
    for (const auto& [id, alarm] : m_alarms)
        if (alarm.state == AlarmState::Shelved && alarm.shelvedUntilMs <= nowMs)
            expired.push_back(id);
    for (qint64 id : expired) {
        AlarmRecord& alarm = m_alarms[id];
        const auto tracker = std::find_if(m_trackers.begin(), m_trackers.end(),
                                          [id](const auto& entry) { return entry.second.alarmId == id; });
        const bool stillRaised = tracker != m_trackers.end() && tracker->second.raised;
        transition(alarm, stillRaised ? AlarmState::ActiveUnacknowledged : AlarmState::Normal, nowMs, {},
                   QStringLiteral("shelving ended"));
    }
    for (auto& [key, tracker] : m_trackers)
        if (const AlarmRule* rule = findRule(key.second))
            evaluate(key, *rule, nowMs);
}

bool AlarmEngine::acknowledge(qint64 alarmId, const QString& who)
{
    const auto it = m_alarms.find(alarmId);
    if (it == m_alarms.end())
        return false;
    const AlarmState next = history::acknowledged(it->second.state);
    if (next == it->second.state)
        return false;
    transition(it->second, next, now(), who);
    return true;
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

bool AlarmEngine::shelve(qint64 alarmId, qint64 durationMs, const QString& who)
{
    const auto it = m_alarms.find(alarmId);
    if (it == m_alarms.end() || durationMs <= 0)
        return false;
    const qint64 t = now();
    it->second.shelvedUntilMs = t + durationMs;
    transition(it->second, AlarmState::Shelved, t, who,
               QStringLiteral("shelved until %1").arg(history::isoUtc(t + durationMs)));
    return true;
}

void AlarmEngine::syncFromJournal()
{
    if (!m_journal || !m_journal->isOpen())
        return;
    std::vector<qint64> ids;
    for (const auto& [id, alarm] : m_alarms)
        ids.push_back(id);
    for (qint64 id : ids) {
        const std::optional<AlarmRecord> stored = m_journal->alarm(id);
        AlarmRecord& held = m_alarms[id];
        if (!stored || stored->state == held.state || stored->changedMs < held.changedMs)
            continue;
        const AlarmState previous = held.state;
        held = *stored;
        if (held.state == AlarmState::Normal) {
            m_alarms.erase(id);
            for (auto& [key, tracker] : m_trackers)
                if (tracker.alarmId == id)
                    tracker.alarmId = 0;
        }
        Q_EMIT alarmChanged(*stored, previous);
    }
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
