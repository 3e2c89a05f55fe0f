#pragma once

#include <QList>
#include <QString>
#include <QTimeZone>

namespace kestavo::trends {

/// One labelled mark on a time axis.
struct TimeTick
{
    qint64 ms = 0; // UTC milliseconds since the epoch
    QString label;
    bool operator==(const TimeTick&) const = default;
};

/// Marks for the range [fromMs, toMs] on round times of `zone` (03:00, 03:15 …, midnights for
/// ranges of days): the finest step of 1 s, 2 s, 5 s, 10 s, 15 s, 30 s, 1, 2, 5, 10, 15, 30 min, 1, 2, 3,
/// 6, 12 h, 1, 2, 7, 14, 30, 60 or 90 days that gives at most `maxTicks` marks. Labels carry seconds only
/// when the step is below a minute and the date once the range spans a day or more.
QList<TimeTick> timeTicks(qint64 fromMs, qint64 toMs, int maxTicks, const QTimeZone& zone);

/// The step `timeTicks` chooses for a span, in milliseconds.
qint64 tickStep(qint64 spanMs, int maxTicks);

} // namespace kestavo::trends
