#include "history/plotdata.h"

#include <algorithm>
#include <cmath>

namespace kestavo::history {

namespace {

// Times at which the line must not continue: the link ended or a new watch began.
QList<qint64> breaks(const Series& series)
{
    QList<qint64> out;
    for (const Event& e : series.events)
        if (endsLink(e.kind) || e.kind == LinkEvent::Started)
            out.append(e.timeMs);
    std::sort(out.begin(), out.end());
    return out;
}

// True when a break lies in (a, b].
bool brokenBetween(const QList<qint64>& times, qint64 a, qint64 b)
{
    const auto it = std::upper_bound(times.cbegin(), times.cend(), a);
    return it != times.cend() && *it <= b;
}

int laneState(const Row& row, int lane)
{
    return lane < kRelays ? row.relays[std::size_t(lane)] : row.io[std::size_t(lane - kRelays)];
}

} // namespace

qint64 gapThresholdMs(const Series& series)
{
    if (series.step != Step::Raw)
        return 2 * stepMs(series.step);
    QList<qint64> spacing;
    for (qsizetype i = 1; i < series.rows.size(); ++i)
        spacing.append(series.rows.at(i).timeMs - series.rows.at(i - 1).timeMs);
    qint64 usual = 0;
    if (!spacing.isEmpty()) {
        std::nth_element(spacing.begin(), spacing.begin() + spacing.size() / 2, spacing.end());
        usual = spacing.at(spacing.size() / 2);
    }
    return std::max<qint64>(60'000, 3 * usual);
}

QList<Segment> plotLines(const Series& series, int seriesIndex, qint64 fromMs, qint64 toMs, int columns,
                         qint64 maxGapMs)
{
    QList<Segment> out;
    if (columns <= 0 || toMs <= fromMs)
        return out;
    const QList<qint64> cuts = breaks(series);
    const auto s = std::size_t(seriesIndex);
    const double perColumn = double(toMs - fromMs) / columns;

    Segment current;
    qint64 previousTime = 0;
    bool havePrevious = false;
    // The column being filled: its lowest and highest point.
    qint64 column = -1;
    QPointF low;
    QPointF high;
    const auto emitColumn = [&] {
        if (column < 0)
            return;
        if (low == high) {
            current.append(low);
        } else if (low.x() <= high.x()) {
            current.append(low);
            current.append(high);
        } else {
            current.append(high);
            current.append(low);
        }
        column = -1;
    };
    const auto endSegment = [&] {
        emitColumn();
        if (!current.isEmpty())
            out.append(current);
        current.clear();
    };

    for (const Row& row : series.rows) {
        if (row.timeMs < fromMs || row.timeMs >= toMs)
            continue;
        const double lo = row.min[s];
        const double hi = row.max[s];
        if (std::isnan(lo) || std::isnan(hi)) {
            endSegment();
            havePrevious = false;
            continue;
        }
        if (havePrevious &&
            (row.timeMs - previousTime > maxGapMs || brokenBetween(cuts, previousTime, row.timeMs)))
            endSegment();
        havePrevious = true;
        previousTime = row.timeMs;
        const auto c = qint64(double(row.timeMs - fromMs) / perColumn);
        if (c != column) {
            emitColumn();
            column = c;
            low = QPointF(double(row.timeMs), lo);
            high = QPointF(double(row.timeMs), hi);
            continue;
        }
        if (lo < low.y())
            low = QPointF(double(row.timeMs), lo);
        if (hi > high.y())
            high = QPointF(double(row.timeMs), hi);
    }
    endSegment();
    return out;
}

QList<Segment> laneSteps(const Series& series, int lane, double base, double height, qint64 maxGapMs)
{
    QList<Segment> out;
    const QList<qint64> cuts = breaks(series);
    Segment current;
    int state = -1;
    qint64 previousTime = 0;
    const auto endSegment = [&] {
        if (!current.isEmpty()) {
            current.append(QPointF(double(previousTime), base + state * height));
            out.append(current);
        }
        current.clear();
        state = -1;
    };
    for (const Row& row : series.rows) {
        const int now = laneState(row, lane);
        if (state >= 0 && (now < 0 || row.timeMs - previousTime > maxGapMs ||
                           brokenBetween(cuts, previousTime, row.timeMs)))
            endSegment();
        if (now < 0)
            continue;
        if (state < 0) {
            current.append(QPointF(double(row.timeMs), base + now * height));
        } else if (now != state) {
            current.append(QPointF(double(row.timeMs), base + state * height));
            current.append(QPointF(double(row.timeMs), base + now * height));
        }
        state = now;
        previousTime = row.timeMs;
    }
    endSegment();
    return out;
}

} // namespace kestavo::history
