#pragma once

// What the history keeps of a unit: samples (one decoded status report each), roll-up buckets and
// link events. Plain values shared by every producer (console session, fleet poller, agent) and
// every reader (Trends window, command-line client, alarms).

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include <QList>
#include <QString>
#include <QtGlobal>

namespace kestavo::protocol {
struct StatusReport;
}

namespace kestavo::history {

inline constexpr int kChannels = 8;
inline constexpr int kTemperatureSeries = 8; // index of temperature in Row::mean/min/max
inline constexpr int kSeries = 9;            // eight channels and the temperature
inline constexpr int kRelays = 3;
inline constexpr int kIoPins = 5;

/// The station's range jumpers as kept in the station database (JP6 for channel 1, JP7 for
/// channel 2): 0 = 30 V, 1 = 60 V. Any other value makes that channel's volts unknown, exactly as
/// the main window then leaves its box unchanged.
struct RangeFlags
{
    int channel1 = 0;
    int channel2 = 0;
    bool operator==(const RangeFlags&) const = default;
};

/// Link events of a station. A chart never draws a line across LinkLost, BadPassword or Stopped.
enum class LinkEvent : int {
    Started = 1,     // a session (or a poller's watch) of the station began
    FirstReport = 2, // the first status report after Started
    BadPassword = 3, // the unit refused the password; the link ended
    LinkLost = 4,    // no reply for the watchdog time (console: 60 s); the link ended
    Stopped = 5,     // the operator (or the poller) stopped watching the station
};
/// "started", "first report", "bad password", "link lost", "stopped".
QString linkEventText(LinkEvent event);
/// True for the events after which the station has no link.
bool endsLink(LinkEvent event);

struct Event
{
    qint64 timeMs = 0; // UTC
    LinkEvent kind = LinkEvent::Started;
    QString detail;
};

/// One decoded status report as stored. Channel readings are kept raw (0..4095) with the range
/// flags in force, so the volts read back are exactly those the main window showed.
struct Sample
{
    qint64 timeMs = 0; // UTC
    std::array<std::uint16_t, kChannels> raw{};
    RangeFlags ranges;
    std::optional<double> temperatureC;              // in 0.5 °C steps as the unit reports it
    std::array<std::optional<bool>, kRelays> relays; // empty: the report left it unchanged
    std::array<std::optional<bool>, kIoPins> io;
    int timerState = 0;
    quint32 timerRemaining = 0; // seconds
    quint32 uptime = 0;         // the raw uptime counter

    /// Volts of channel 1..8 (range jumpers applied); NaN when the range flag is unusable.
    double volts(int channel) const;

    static Sample fromReport(qint64 utcMs, const protocol::StatusReport& report, const RangeFlags& ranges);
};

/// Resolution of a read: every sample, or min / mean / max per minute or per hour.
enum class Step { Raw = 0, Minute = 1, Hour = 2 };
qint64 stepMs(Step step);    // 0 for Raw
QString stepName(Step step); // "raw", "1m", "1h"
std::optional<Step> stepFromName(const QString& name);

inline constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

/// One sample (count 1, min = mean = max) or one roll-up bucket starting at timeMs. Series 0..7 are
/// the channels in volts, series 8 the temperature in °C; NaN where nothing is known. Relays, I/O
/// pins, timer and uptime are the last known values in the bucket (-1 unknown).
struct Row
{
    qint64 timeMs = 0;
    int count = 1;
    std::array<double, kSeries> mean{};
    std::array<double, kSeries> min{};
    std::array<double, kSeries> max{};
    std::array<qint8, kRelays> relays{-1, -1, -1};
    std::array<qint8, kIoPins> io{-1, -1, -1, -1, -1};
    int timerState = 0;
    qint64 timerRemaining = 0;
    qint64 uptime = 0;

    static Row fromSample(const Sample& sample);
};

/// What a read returns: rows in time order and the link events of the same range.
struct Series
{
    Step step = Step::Raw;
    QList<Row> rows;
    QList<Event> events;
};

} // namespace kestavo::history
