#include "schedules/occurrences.h"

#include <algorithm>
#include <map>

#include "schedules/suntimes.h"

namespace kestavo::schedules {

namespace {

int offsetAt(const QTimeZone& zone, qint64 secs)
{
    return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(secs, Qt::UTC));
}

SunEvent sunEventOf(Anchor anchor)
{
    switch (anchor) {
    case Anchor::Dawn:
        return SunEvent::Dawn;
    case Anchor::Sunset:
        return SunEvent::Sunset;
    case Anchor::Dusk:
        return SunEvent::Dusk;
    default:
        return SunEvent::Sunrise;
    }
}

} // namespace

LocalInstant resolveLocal(const QDate& date, const QTime& time, const QTimeZone& zone)
{
    // The wall time read as if it were UTC; an instant u shows it when u + offset(u) == wall.
    const qint64 wall = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
    const int before = offsetAt(zone, wall - 86'400);
    const int after = offsetAt(zone, wall + 86'400);
    QList<qint64> shown;
    for (const int offset : {before, after}) {
        const qint64 u = wall - offset;
        if (offsetAt(zone, u) == offset && !shown.contains(u))
            shown.append(u);
    }
    LocalInstant result;
    if (!shown.isEmpty()) {
        std::sort(shown.begin(), shown.end());
        result.utc = QDateTime::fromSecsSinceEpoch(shown.first(), Qt::UTC);
        result.repeated = shown.size() > 1;
        return result;
    }
    // In the gap: the clocks jumped over this time. The jump itself is the first instant after it.
    const qint64 earliest = wall - std::max(before, after);
    const QTimeZone::OffsetData jump =
        zone.nextTransition(QDateTime::fromSecsSinceEpoch(earliest - 1, Qt::UTC));
    result.utc =
        jump.atUtc.isValid() ? jump.atUtc.toUTC() : QDateTime::fromSecsSinceEpoch(wall - before, Qt::UTC);
    result.moved = true;
    return result;
}

QList<Occurrence> occurrences(const ScheduleEntry& entry, const Site& site, const QDateTime& fromUtc,
                              const QDateTime& toUtc)
{
    QList<Occurrence> list;
    if (!entry.enabled || !fromUtc.isValid() || !toUtc.isValid() || toUtc <= fromUtc)
        return list;
    const QTimeZone& zone = site.zone;
    // A sun offset or a day boundary can move an occurrence up to a day from its date.
    const QDate first = fromUtc.toTimeZone(zone).date().addDays(-1);
    const QDate last = toUtc.toTimeZone(zone).date().addDays(1);
    for (QDate date = first; date <= last; date = date.addDays(1)) {
        if (!entry.runsOn(date))
            continue;
        Occurrence o;
        o.entryId = entry.id;
        o.entry = entry;
        o.address = site.address;
        o.localDate = date;
        o.zone = zone;
        if (entry.anchor == Anchor::Clock) {
            const QTime wall(entry.minuteOfDay / 60, entry.minuteOfDay % 60);
            const LocalInstant at = resolveLocal(date, wall, zone);
            o.utc = at.utc;
            if (at.moved) {
                o.note = Occurrence::Note::Moved;
                o.detail = QStringLiteral("%1 does not exist on %2 in %3 (clocks go forward); runs at %4")
                               .arg(wall.toString(QStringLiteral("HH:mm")), date.toString(Qt::ISODate),
                                    QString::fromUtf8(zone.id()),
                                    at.utc.toTimeZone(zone).time().toString(QStringLiteral("HH:mm")));
            }
        } else if (!site.latitude || !site.longitude) {
            o.utc = resolveLocal(date, QTime(0, 0), zone).utc;
            o.note = Occurrence::Note::NoPosition;
            o.detail = QStringLiteral("%1 has no latitude and longitude; %2 cannot be computed")
                           .arg(site.address, anchorWord(entry.anchor));
        } else {
            const SunEvent event = sunEventOf(entry.anchor);
            const SunTime sun = sunTime(event, date, *site.latitude, *site.longitude, zone);
            if (sun.happens()) {
                o.utc = sun.utc.addSecs(qint64(entry.offsetMinutes) * 60);
            } else {
                o.utc = resolveLocal(date, QTime(0, 0), zone).utc;
                o.note = Occurrence::Note::NoSun;
                o.detail = QStringLiteral("no %1 at %2 on %3 (%4): nothing runs")
                               .arg(anchorWord(entry.anchor), site.address, date.toString(Qt::ISODate),
                                    missingText(event, sun.missing));
            }
        }
        if (o.utc >= fromUtc && o.utc < toUtc)
            list.append(o);
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const Occurrence& a, const Occurrence& b) { return a.utc < b.utc; });
    return list;
}

QList<Occurrence> upcoming(const QList<ScheduleEntry>& entries, const SiteResolver& sites,
                           const QDateTime& fromUtc, const QDateTime& toUtc)
{
    QList<Occurrence> all;
    for (const ScheduleEntry& entry : entries) {
        if (!entry.enabled)
            continue;
        for (const Site& site : sites(entry))
            all += occurrences(entry, site, fromUtc, toUtc);
    }
    std::stable_sort(all.begin(), all.end(),
                     [](const Occurrence& a, const Occurrence& b) { return a.utc < b.utc; });
    return all;
}

Recovery missedActions(const QList<ScheduleEntry>& entries, const SiteResolver& sites,
                       const QDateTime& lastRunUtc, const QDateTime& nowUtc)
{
    Recovery recovery;
    QDateTime since = nowUtc.addMSecs(-kRecoveryWindowMs);
    if (lastRunUtc.isValid() && lastRunUtc > since)
        since = lastRunUtc;
    // Up to now, not including it: what is due now is the executor's ordinary work.
    std::map<std::pair<QString, int>, Occurrence> latest;
    for (const Occurrence& o : upcoming(entries, sites, since, nowUtc)) {
        if (!o.runs())
            continue;
        if (o.entry.setsState())
            latest[{o.address, o.entry.relay}] = o; // time order: a later one replaces
        else
            recovery.notReplayed.append(o);
    }
    for (const auto& [key, o] : latest)
        recovery.apply.append(o);
    std::stable_sort(recovery.apply.begin(), recovery.apply.end(),
                     [](const Occurrence& a, const Occurrence& b) { return a.utc < b.utc; });
    return recovery;
}

} // namespace kestavo::schedules
