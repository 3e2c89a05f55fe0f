#include "gui/trends/timeticks.h"

#include <array>

#include <QDateTime>

namespace kestavo::trends {

namespace {

constexpr qint64 kSecond = 1000;
constexpr qint64 kMinute = 60 * kSecond;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;

constexpr std::array<qint64, 24> kSteps{
    kSecond,     2 * kSecond,  5 * kSecond,  10 * kSecond, 15 * kSecond, 30 * kSecond, kMinute,   2 * kMinute,
    5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute, kHour,        2 * kHour,    3 * kHour, 6 * kHour,
    12 * kHour,  kDay,         2 * kDay,     7 * kDay,     14 * kDay,    30 * kDay,    60 * kDay, 90 * kDay};

} // namespace

qint64 tickStep(qint64 spanMs, int maxTicks)
{
    const qint64 ticks = std::max(maxTicks, 1);
    for (const qint64 step : kSteps)
        if (spanMs / step + 1 <= ticks)
            return step;
    return kSteps.back();
}

QList<TimeTick> timeTicks(qint64 fromMs, qint64 toMs, int maxTicks, const QTimeZone& zone)
{
    QList<TimeTick> ticks;
    if (toMs <= fromMs)
        return ticks;
    const qint64 span = toMs - fromMs;
    const qint64 step = tickStep(span, maxTicks);
    const QString format =
        step < kMinute ? (span >= kDay ? QStringLiteral("MM-dd HH:mm:ss") : QStringLiteral("HH:mm:ss"))
        : step >= kDay ? QStringLiteral("yyyy-MM-dd")
        : span >= kDay ? QStringLiteral("MM-dd HH:mm")
                       : QStringLiteral("HH:mm");
    if (step < kDay) {
        // Round in the zone's wall time, so hours fall on the hour where the user lives; the offset
        // is taken at each mark, so a range across a clock change stays on round local times.
        const qint64 offset =
            qint64(zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(fromMs, zone))) * kSecond;
        const qint64 localFrom = fromMs + offset;
        qint64 local = localFrom - ((localFrom % step) + step) % step;
        if (local < localFrom)
            local += step;
        for (; local - offset <= toMs; local += step) {
            const QDateTime wall = QDateTime::fromMSecsSinceEpoch(local, Qt::UTC);
            const QDateTime at(wall.date(), wall.time(), zone);
            const qint64 ms = at.toMSecsSinceEpoch();
            if (ms >= fromMs && ms <= toMs && (ticks.isEmpty() || ms > ticks.last().ms))
                ticks.append({ms, at.toString(format)});
        }
        return ticks;
    }
    // Whole days: local midnights, counted from the epoch's day so marks stay put while panning.
    const qint64 days = step / kDay;
    QDate date = QDateTime::fromMSecsSinceEpoch(fromMs, zone).date();
    const qint64 phase = ((date.toJulianDay() % days) + days) % days;
    if (phase != 0)
        date = date.addDays(days - phase);
    for (;; date = date.addDays(days)) {
        const qint64 ms = QDateTime(date, QTime(0, 0), zone).toMSecsSinceEpoch();
        if (ms > toMs)
            break;
        if (ms >= fromMs)
            ticks.append({ms, QDateTime::fromMSecsSinceEpoch(ms, zone).toString(format)});
    }
    return ticks;
}

} // namespace kestavo::trends
