#pragma once

// Turning a read into what a chart draws: line segments broken wherever the link was down, reduced
// to a minimum and a maximum per pixel column, and step lanes for relays and I/O pins. No widgets:
// the Trends window and the benchmarks share it.

#include <QList>
#include <QPointF>

#include "history/historytypes.h"

namespace kestavo::history {

/// Points of one unbroken line; x is UTC ms since the epoch.
using Segment = QList<QPointF>;

/// Longest spacing between two rows still drawn as one line: two steps for roll-ups, and for
/// samples the console's 60 s watchdog or three times the usual spacing (slow pollers), whichever
/// is longer.
qint64 gapThresholdMs(const Series& series);

/// The lines of series 0..8 (channels, temperature) over [fromMs, toMs) drawn on `columns` pixel
/// columns: each column keeps the lowest and the highest point (roll-ups contribute their min and
/// max), in time order. A line breaks at an unknown value, at a spacing over `maxGapMs`, and at any
/// link event that ends or restarts the link between two rows.
QList<Segment> plotLines(const Series& series, int seriesIndex, qint64 fromMs, qint64 toMs, int columns,
                         qint64 maxGapMs);

/// Relay 1..3 (lane 0..2) or I/O pin 1..5 (lane 3..7) as steps between `base` and `base + height`,
/// broken like plotLines.
QList<Segment> laneSteps(const Series& series, int lane, double base, double height, qint64 maxGapMs);

} // namespace kestavo::history
