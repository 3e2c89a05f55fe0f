#include "schedules/scheduleexecutor.h"

#include <algorithm>
#include <utility>

namespace kestavo::schedules {

ScheduleExecutor::ScheduleExecutor(Hooks hooks, SiteResolver sites, Timing timing)
    : m_hooks(std::move(hooks)), m_sites(std::move(sites)), m_timing(timing)
{
}

LogRecord ScheduleExecutor::record(const Occurrence& o, const QString& outcome, const QString& detail) const
{
    return {m_hooks.now().toMSecsSinceEpoch(), o.entryId, o.address,
            o.utc.toMSecsSinceEpoch(),         outcome,   detail};
}

void ScheduleExecutor::log(const Occurrence& o, const QString& outcome, const QString& detail)
{
    if (m_hooks.log)
        m_hooks.log(record(o, outcome, detail));
}

void ScheduleExecutor::dispatch(const Occurrence& o, const QString& outcome)
{
    // A station whose lease another program holds is that program's to switch.
    if (!m_hooks.holdsLease(o.address))
        return;
    const LogRecord done =
        record(o, outcome, QStringLiteral("schedule #%1: %2").arg(o.entryId).arg(o.entry.actionText()));
    if (m_hooks.claim && !m_hooks.claim(done))
        return;
    // A newer action on the same relay replaces one still waiting to be verified.
    m_pending.removeIf([&](const Pending& p) {
        return p.action.address == o.address && p.action.entry.action != Action::Script &&
               o.entry.action != Action::Script && p.action.entry.relay == o.entry.relay;
    });
    Pending p{o, m_hooks.now(), 1, outcome};
    m_hooks.send(o, 1);
    if (o.note == Occurrence::Note::Moved)
        log(o, QStringLiteral("moved"), o.detail);
    if (!m_hooks.claim && m_hooks.log)
        m_hooks.log(done);
    m_pending.append(p);
}

void ScheduleExecutor::start(const QDateTime& lastRunUtc)
{
    start([&lastRunUtc](const QString&) { return lastRunUtc; });
}

void ScheduleExecutor::start(const std::function<QDateTime(const QString& address)>& lastRunOf)
{
    const QDateTime now = m_hooks.now();
    QList<QList<Site>> sitesOf; // by entry, resolved once
    QStringList addresses;
    for (const ScheduleEntry& e : std::as_const(m_entries)) {
        sitesOf.append(m_sites(e));
        for (const Site& site : std::as_const(sitesOf.last()))
            if (!addresses.contains(site.address))
                addresses.append(site.address);
    }
    for (const QString& address : std::as_const(addresses)) {
        const SiteResolver only = [&](const ScheduleEntry& e) {
            QList<Site> sites = sitesOf.value(m_entries.indexOf(e));
            sites.removeIf([&](const Site& site) { return site.address != address; });
            return sites;
        };
        const Recovery recovery = missedActions(m_entries, only, lastRunOf(address), now);
        for (const Occurrence& o : recovery.notReplayed) {
            if (m_hooks.holdsLease(o.address))
                log(o, QStringLiteral("not replayed"),
                    QStringLiteral("schedule #%1: %2 was due while no program ran it")
                        .arg(o.entryId)
                        .arg(o.entry.actionText()));
        }
        for (const Occurrence& o : recovery.apply)
            dispatch(o, QStringLiteral("recovered"));
    }
    m_lastTick = now;
}

void ScheduleExecutor::tick()
{
    const QDateTime now = m_hooks.now();
    if (!m_lastTick.isValid())
        m_lastTick = now;
    if (now > m_lastTick) {
        // Due times in (last tick, now]: each occurrence is sent by exactly one tick.
        for (const Occurrence& o : upcoming(m_entries, m_sites, m_lastTick.addMSecs(1), now.addMSecs(1))) {
            if (!m_hooks.holdsLease(o.address))
                continue;
            if (!o.runs()) {
                // A polar date or a missing position: said once per occurrence, not every tick.
                if (m_skipsLogged.insert({o.entryId, o.address, o.utc.toMSecsSinceEpoch()}).second)
                    log(o, QStringLiteral("skipped"), o.detail);
                continue;
            }
            dispatch(o, QStringLiteral("sent"));
        }
        m_lastTick = now;
    }
    for (qsizetype i = 0; i < m_pending.size();) {
        Pending& p = m_pending[i];
        if (p.sentAt.msecsTo(now) < m_timing.verifyMs) {
            ++i;
            continue;
        }
        if (p.attempts < m_timing.attempts && m_hooks.holdsLease(p.action.address)) {
            ++p.attempts;
            p.sentAt = now;
            m_hooks.send(p.action, p.attempts);
            ++i;
            continue;
        }
        const QString why =
            QStringLiteral("schedule #%1: %2 at %3 not confirmed by the unit after %4 attempts")
                .arg(p.action.entryId)
                .arg(p.action.entry.actionText(), p.action.address)
                .arg(p.attempts);
        log(p.action, QStringLiteral("failed"), why);
        if (m_hooks.failed)
            m_hooks.failed(p.action, why);
        m_pending.removeAt(i);
    }
}

void ScheduleExecutor::settle(const Occurrence& o, const QString& outcome, const QString& detail)
{
    const LogRecord r = record(o, outcome, detail);
    if (m_hooks.log)
        m_hooks.log(r);
    if (m_hooks.settled)
        m_hooks.settled(o, r);
}

int ScheduleExecutor::abandonPending(const QString& why)
{
    // Taken out first: a hook may look at pending() while it runs.
    const QList<Pending> abandoned = std::exchange(m_pending, {});
    for (const Pending& p : abandoned)
        settle(p.action, QStringLiteral("not verified"),
               QStringLiteral("schedule #%1: %2 not verified: %3")
                   .arg(p.action.entryId)
                   .arg(p.action.entry.actionText(), why));
    return int(abandoned.size());
}

bool ScheduleExecutor::shows(const Pending& p, const std::array<std::optional<bool>, 3>& relays) const
{
    const ScheduleEntry& e = p.action.entry;
    if (!e.setsState())
        return true; // the unit answered after the pulse or the script run was sent
    const std::optional<bool> state = relays[std::size_t(std::clamp(e.relay, 1, 3) - 1)];
    return state && *state == (e.action == Action::On);
}

void ScheduleExecutor::report(const QString& address, const std::array<std::optional<bool>, 3>& relays,
                              const QDateTime& at)
{
    for (qsizetype i = 0; i < m_pending.size();) {
        const Pending& p = m_pending.at(i);
        // A report sent before the command cannot show it.
        if (p.action.address != address || at < p.sentAt || !shows(p, relays)) {
            ++i;
            continue;
        }
        const Occurrence action = p.action;
        m_pending.removeAt(i);
        settle(action, QStringLiteral("verified"),
               QStringLiteral("schedule #%1: %2 confirmed by the unit")
                   .arg(action.entryId)
                   .arg(action.entry.actionText()));
    }
}

} // namespace kestavo::schedules
