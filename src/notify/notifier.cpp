#include "notify/notifier.h"

#include <algorithm>

#include <QDateTime>
#include <QMap>
#include <QSet>

#include "stations/stationextras.h"

#include "notify/routeworker.h"
#include "notify/transport.h"

namespace kestavo::notify {

using history::AlarmPriority;
using history::AlarmRecord;
using history::AlarmState;

namespace {

bool isNewAlarm(MessageKind kind)
{
    return kind == MessageKind::Raised || kind == MessageKind::Chattering;
}

void prune(std::deque<qint64>& times, qint64 since)
{
    while (!times.empty() && times.front() <= since)
        times.pop_front();
}

} // namespace

Notifier::Notifier(NotifyStore* store, std::shared_ptr<Transport> transport, Options options, QObject* parent)
    : QObject(parent), m_store(store), m_transport(std::move(transport)), m_options(std::move(options))
{
    qRegisterMetaType<Delivery>();
    qRegisterMetaType<MaintenanceWindow>();
    if (m_store && m_options.historyPath.isEmpty())
        m_options.historyPath = m_store->path();
    m_timer.setInterval(m_options.tickMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(now()); });
    m_timer.start();
    if (m_store) {
        reload();
        m_lastRefresh = now();
    }
}

Notifier::~Notifier()
{
    m_routes.clear(); // each worker cancels its transfer and joins before the QObject goes
}

qint64 Notifier::now() const
{
    return m_options.clock ? m_options.clock() : QDateTime::currentMSecsSinceEpoch();
}

StationInfo Notifier::stationInfo(const QString& address) const
{
    return m_options.station ? m_options.station(address) : StationInfo{};
}

void Notifier::reload()
{
    const bool stationsChanged = m_options.refreshStations && m_options.refreshStations();
    const QList<MaintenanceWindow> before = m_maintenance;
    if (m_store && m_store->isOpen()) {
        setRoutes(m_store->routes());
        setMaintenance(m_store->maintenance(true));
    } else {
        releaseMaintenance(now());
    }
    if (stationsChanged && before == m_maintenance)
        Q_EMIT maintenanceChanged(); // tags may have moved stations in or out of a tag's window
}

void Notifier::setRoutes(const QList<Route>& routes)
{
    QSet<qint64> keep;
    for (const Route& r : routes)
        keep.insert(r.id);
    for (auto it = m_routes.begin(); it != m_routes.end();)
        it = keep.contains(it->first) ? std::next(it) : m_routes.erase(it);
    for (const Route& r : routes) {
        auto found = m_routes.find(r.id);
        if (found != m_routes.end()) {
            if (!(found->second.route == r)) {
                found->second.route = r;
                found->second.worker->setRoute(r);
            }
            continue;
        }
        RouteState& state = m_routes[r.id];
        state.route = r;
        RouteWorker::Options wo;
        wo.capacity = m_options.queueCapacity;
        wo.retryDelaysMs = m_options.retryDelaysMs;
        wo.historyPath = m_options.historyPath;
        wo.clock = m_options.clock;
        state.worker = std::make_unique<RouteWorker>(r, m_transport, wo, [this](const Delivery& d) {
            QMetaObject::invokeMethod(
                this, [this, d] { Q_EMIT delivered(d); }, Qt::QueuedConnection);
        });
    }
}

void Notifier::setMaintenance(const QList<MaintenanceWindow>& windows)
{
    const bool changed = windows != m_maintenance;
    m_maintenance = windows;
    releaseMaintenance(now());
    if (changed)
        Q_EMIT maintenanceChanged();
}

// Alarms of a station leaving maintenance that still wait for someone are announced then.
void Notifier::releaseMaintenance(qint64 t)
{
    for (auto it = m_quiet.begin(); it != m_quiet.end();) {
        const auto open = m_open.find(*it);
        if (open == m_open.end()) {
            it = m_quiet.erase(it);
        } else if (!maintenanceOf(open->second.address)) {
            if (open->second.state == AlarmState::ActiveUnacknowledged)
                dispatch(messageFor(open->second, MessageKind::Raised), t);
            it = m_quiet.erase(it);
        } else {
            ++it;
        }
    }
}

std::optional<MaintenanceWindow> Notifier::maintenanceOf(const QString& address) const
{
    const qint64 t = now();
    std::optional<StationInfo> info;
    for (const MaintenanceWindow& w : m_maintenance) {
        if (w.endedMs || t < w.startMs || t >= w.endMs)
            continue;
        if (!w.address.isEmpty() && w.address == address)
            return w;
        if (!w.tag.isEmpty()) {
            if (!info)
                info = stationInfo(address);
            if (stations::tagMatches(info->tags, w.tag))
                return w;
        }
    }
    return std::nullopt;
}

Message Notifier::messageFor(const AlarmRecord& alarm, MessageKind kind) const
{
    Message m;
    m.kind = kind;
    m.alarmId = alarm.id;
    m.address = alarm.address;
    m.description = stationInfo(alarm.address).description;
    m.rule = alarm.rule;
    m.priority = alarm.priority;
    m.state = alarm.state;
    m.value = alarm.value;
    m.text = alarm.text;
    m.timeMs = alarm.changedMs;
    m.ackedBy = alarm.ackedBy;
    return m;
}

bool Notifier::wants(const Route& route, const Message& m) const
{
    if (!route.enabled)
        return false;
    if (!route.priorities.isEmpty() && !route.priorities.contains(m.priority))
        return false;
    if (!route.station.isEmpty() && route.station != m.address)
        return false;
    if (!route.tag.isEmpty() && !stations::tagMatches(stationInfo(m.address).tags, route.tag))
        return false;
    if (m.kind == MessageKind::Cleared)
        return route.sendCleared;
    if (m.kind == MessageKind::Acknowledged)
        return route.sendAcknowledged;
    if (m.kind == MessageKind::Repeat)
        return route.repeatMin > 0;
    return true;
}

bool Notifier::chattering(const AlarmKey& key, qint64 now)
{
    auto found = m_chattering.find(key);
    if (found != m_chattering.end() && now - found->second >= m_options.chatterWindowMs)
        m_chattering.erase(found);
    return m_chattering.count(key) > 0;
}

void Notifier::alarmChanged(const AlarmRecord& alarm, AlarmState previous)
{
    if (m_options.ownsStation && !m_options.ownsStation(alarm.address))
        return;
    const qint64 t = now();
    const AlarmState to = alarm.state;
    const bool raised = to == AlarmState::ActiveUnacknowledged &&
                        (previous == AlarmState::Normal || previous == AlarmState::ClearedUnacknowledged);
    if (to == AlarmState::Normal)
        m_open.erase(alarm.id);
    else
        m_open[alarm.id] = alarm;
    if (to != AlarmState::ActiveUnacknowledged)
        for (auto& [id, state] : m_routes)
            state.lastRepeat.erase(alarm.id);

    const AlarmKey key{alarm.address, alarm.rule};
    const bool wasChattering = chattering(key, t);
    MessageKind kind = MessageKind::Raised;
    if (raised) {
        ++m_raisedTotal[alarm.priority];
        m_recentRaises.push_back(t);
        updateFlood(t);
        auto& raises = m_raises[key];
        prune(raises, t - m_options.chatterWindowMs);
        raises.push_back(t);
        if (wasChattering) {
            m_chattering[key] = t;
            return; // said once; the next raise after a quiet minute is news again
        }
        if (qsizetype(raises.size()) >= m_options.chatterCount) {
            m_chattering[key] = t;
            kind = MessageKind::Chattering;
        }
    } else if (to == AlarmState::ActiveUnacknowledged && previous == AlarmState::Shelved) {
        kind = MessageKind::Raised; // back from the shelf, still alarming
    } else if (to == AlarmState::ActiveAcknowledged ||
               (previous == AlarmState::ClearedUnacknowledged && to == AlarmState::Normal)) {
        kind = MessageKind::Acknowledged;
    } else if (to == AlarmState::ClearedUnacknowledged ||
               (previous == AlarmState::ActiveAcknowledged && to == AlarmState::Normal)) {
        if (wasChattering)
            return;
        kind = MessageKind::Cleared;
    } else {
        return; // shelved, or its shelf time ended with the condition gone
    }
    if (maintenanceOf(alarm.address)) {
        m_quiet.insert(alarm.id);
        return; // out of service: shown as such, not sent
    }
    dispatch(messageFor(alarm, kind), t);
}

void Notifier::dispatch(const Message& message, qint64 t)
{
    for (auto& [id, state] : m_routes) {
        if (!wants(state.route, message))
            continue;
        if (message.kind == MessageKind::Raised || message.kind == MessageKind::Chattering)
            state.lastRepeat[message.alarmId] = t;
        offer(state, message, t);
    }
}

void Notifier::suppress(RouteState& state, const Message& m, const QString& outcome, qint64 t)
{
    state.worker->log(
        Delivery{0, t, state.route.id, m.alarmId, m.address, messageKindText(m.kind), outcome, 0, {}});
}

void Notifier::enqueue(RouteState& state, const Message& m, qint64 t)
{
    if (!state.worker->enqueue(m)) {
        suppress(state, m, QStringLiteral("queue full"), t);
        return;
    }
    state.sent.push_back(t);
}

void Notifier::offer(RouteState& state, const Message& m, qint64 t)
{
    const Route& route = state.route;
    const AlarmKey key{m.address, m.rule};
    if (isNewAlarm(m.kind) && route.cooldownS > 0) {
        const auto last = state.lastAlarmMessage.find(key);
        if (last != state.lastAlarmMessage.end() && t - last->second < qint64(route.cooldownS) * 1000)
            return suppress(state, m, QStringLiteral("cooldown"), t);
    }
    if (state.flood) {
        if (isNewAlarm(m.kind))
            state.held.append(m);
        return suppress(state, m, QStringLiteral("flood"), t);
    }
    prune(state.sent, t - 3'600'000);
    if (route.maxPerHour > 0 && qsizetype(state.sent.size()) >= route.maxPerHour)
        return suppress(state, m, QStringLiteral("rate cap"), t);
    const auto inWindow = std::count_if(state.sent.begin(), state.sent.end(),
                                        [&](qint64 s) { return s > t - m_options.floodWindowMs; });
    if (inWindow >= m_options.floodCount) {
        state.flood = true;
        state.nextSummaryMs = t + m_options.summaryDelayMs;
        state.held.clear();
        if (isNewAlarm(m.kind))
            state.held.append(m);
        return suppress(state, m, QStringLiteral("flood"), t);
    }
    if (isNewAlarm(m.kind))
        state.lastAlarmMessage[key] = t;
    enqueue(state, m, t);
}

void Notifier::sendSummary(RouteState& state, qint64 t)
{
    Message summary;
    summary.kind = MessageKind::Summary;
    summary.timeMs = t;
    summary.count = int(state.held.size());
    summary.priority = AlarmPriority::Low;
    qint64 first = t;
    QMap<QString, QList<const Message*>> byText;
    for (const Message& m : state.held) {
        first = std::min(first, m.timeMs);
        summary.priority = std::min(summary.priority, m.priority);
        byText[m.text].append(&m);
    }
    summary.spanMs = t - first;
    for (auto it = byText.cbegin(); it != byText.cend(); ++it) {
        SummaryGroup g{it.key(), {}, int(it.value().size())};
        QSet<QString> sites;
        // The deepest tag every site of the group carries or lies below: north/pumps and
        // north/wells share north.
        std::optional<QStringList> common;
        for (const Message* m : it.value()) {
            sites.insert(m->address);
            const QStringList tags = stationInfo(m->address).tags;
            if (!common) {
                common = QStringList();
                for (const QString& tag : tags)
                    for (qsizetype end = tag.indexOf(u'/');; end = tag.indexOf(u'/', end + 1)) {
                        common->append(tag.left(end)); // the whole tag when no '/' is left
                        if (end < 0)
                            break;
                    }
            } else {
                common->erase(
                    std::remove_if(common->begin(), common->end(),
                                   [&](const QString& tag) { return !stations::tagMatches(tags, tag); }),
                    common->end());
            }
        }
        if (common)
            std::stable_sort(common->begin(), common->end(), [](const QString& a, const QString& b) {
                return a.count(u'/') > b.count(u'/');
            });
        if (sites.size() == 1)
            g.where = siteName(*it.value().first());
        else if (common && !common->isEmpty())
            g.where = common->first();
        else
            g.where = QStringLiteral("%1 sites").arg(sites.size());
        summary.groups.append(g);
    }
    std::stable_sort(summary.groups.begin(), summary.groups.end(),
                     [](const SummaryGroup& a, const SummaryGroup& b) { return a.count > b.count; });
    state.held.clear();
    enqueue(state, summary, t);
}

void Notifier::tick(qint64 t)
{
    if (t - m_lastRefresh >= m_options.refreshMs) {
        m_lastRefresh = t;
        if (m_store && m_store->isOpen())
            for (const MaintenanceWindow& w : m_store->expireMaintenance(t, m_options.program))
                Q_EMIT maintenanceEnded(w);
        reload();
    } else {
        releaseMaintenance(t); // windows whose time is up let their alarms through
    }
    for (auto& [id, state] : m_routes) {
        if (!state.flood || t < state.nextSummaryMs)
            continue;
        if (state.held.isEmpty()) {
            state.flood = false; // a quiet interval: the flood is over
            continue;
        }
        sendSummary(state, t);
        state.nextSummaryMs = t + m_options.summaryIntervalMs;
    }
    for (const auto& [alarmId, alarm] : m_open) {
        if (alarm.state != AlarmState::ActiveUnacknowledged || alarm.priority != AlarmPriority::High ||
            maintenanceOf(alarm.address))
            continue;
        const Message repeat = messageFor(alarm, MessageKind::Repeat);
        for (auto& [routeId, state] : m_routes) {
            if (!wants(state.route, repeat))
                continue;
            auto [last, fresh] = state.lastRepeat.try_emplace(alarmId, t);
            if (!fresh && t - last->second >= qint64(state.route.repeatMin) * 60'000) {
                last->second = t;
                offer(state, repeat, t);
            }
        }
    }
    updateFlood(t);
}

void Notifier::updateFlood(qint64 t)
{
    prune(m_recentRaises, t - m_options.floodWindowMs);
    const bool flooding = qsizetype(m_recentRaises.size()) >= m_options.floodCount;
    if (flooding != m_flooding) {
        m_flooding = flooding;
        Q_EMIT floodChanged(flooding);
    }
}

bool Notifier::flooding() const
{
    return m_flooding;
}

QList<qint64> Notifier::routesInFlood() const
{
    QList<qint64> ids;
    for (const auto& [id, state] : m_routes)
        if (state.flood)
            ids.append(id);
    return ids;
}

quint64 Notifier::raisedTotal(AlarmPriority priority) const
{
    const auto found = m_raisedTotal.find(priority);
    return found == m_raisedTotal.end() ? 0 : found->second;
}

bool Notifier::isChattering(const QString& address, qint64 rule) const
{
    const auto found = m_chattering.find({address, rule});
    return found != m_chattering.end() && now() - found->second < m_options.chatterWindowMs;
}

bool Notifier::idle() const
{
    return std::all_of(m_routes.begin(), m_routes.end(),
                       [](const auto& entry) { return entry.second.worker->idle(); });
}

} // namespace kestavo::notify
