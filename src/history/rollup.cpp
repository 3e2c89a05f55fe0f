#include "history/rollup.h"

#include <cmath>

namespace kestavo::history {

qint64 bucketStart(qint64 timeMs, qint64 bucketMs)
{
    const qint64 q = timeMs / bucketMs;
    return (timeMs % bucketMs < 0 ? q - 1 : q) * bucketMs;
}

QList<Row> aggregate(const QList<Row>& rows, qint64 bucketMs)
{
    QList<Row> out;
    std::array<double, kSeries> weight{};
    const auto finish = [&out, &weight] {
        if (out.isEmpty())
            return;
        Row& b = out.last();
        for (int s = 0; s < kSeries; ++s)
            b.mean[std::size_t(s)] =
                weight[std::size_t(s)] > 0 ? b.mean[std::size_t(s)] / weight[std::size_t(s)] : kUnknown;
    };
    for (const Row& row : rows) {
        const qint64 start = bucketStart(row.timeMs, bucketMs);
        if (out.isEmpty() || out.last().timeMs != start) {
            finish();
            Row b;
            b.timeMs = start;
            b.count = 0;
            b.mean.fill(0);
            b.min.fill(kUnknown);
            b.max.fill(kUnknown);
            weight.fill(0);
            out.append(b);
        }
        Row& b = out.last();
        b.count += row.count;
        for (std::size_t s = 0; s < kSeries; ++s) {
            if (std::isnan(row.mean[s]))
                continue;
            b.mean[s] += row.mean[s] * row.count;
            weight[s] += row.count;
            b.min[s] = std::isnan(b.min[s]) ? row.min[s] : std::min(b.min[s], row.min[s]);
            b.max[s] = std::isnan(b.max[s]) ? row.max[s] : std::max(b.max[s], row.max[s]);
        }
        for (std::size_t r = 0; r < kRelays; ++r)
            if (row.relays[r] >= 0)
                b.relays[r] = row.relays[r];
        for (std::size_t p = 0; p < kIoPins; ++p)
            if (row.io[p] >= 0)
                b.io[p] = row.io[p];
        b.timerState = row.timerState;
        b.timerRemaining = row.timerRemaining;
        b.uptime = row.uptime;
    }
    finish();
    return out;
}

} // namespace kestavo::history
