#pragma once

#include <QList>

#include "history/historytypes.h"

namespace kestavo::history {

/// Folds rows (samples or finer buckets, in time order) into buckets of `bucketMs` aligned to
/// multiples of it since the epoch: count summed, min of the minima, max of the maxima, mean
/// weighted by count over the rows where the series is known; relays, pins, timer and uptime from
/// the last row that knows them.
QList<Row> aggregate(const QList<Row>& rows, qint64 bucketMs);

/// Start of the bucket holding `timeMs` (floor, also for times before the epoch).
qint64 bucketStart(qint64 timeMs, qint64 bucketMs);

} // namespace kestavo::history
