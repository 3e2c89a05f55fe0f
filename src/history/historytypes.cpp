#include "history/historytypes.h"

#include "protocol/conversions.h"
#include "protocol/reply.h"

namespace kestavo::history {

QString linkEventText(LinkEvent event)
{
    switch (event) {
    case LinkEvent::Started:
        return QStringLiteral("started");
    case LinkEvent::FirstReport:
        return QStringLiteral("first report");
    case LinkEvent::BadPassword:
        return QStringLiteral("bad password");
    case LinkEvent::LinkLost:
        return QStringLiteral("link lost");
    case LinkEvent::Stopped:
        return QStringLiteral("stopped");
    }
    return QStringLiteral("event %1").arg(int(event));
}

bool endsLink(LinkEvent event)
{
    return event == LinkEvent::BadPassword || event == LinkEvent::LinkLost || event == LinkEvent::Stopped;
}

double Sample::volts(int channel) const
{
    const int flag = channel == 1 ? ranges.channel1 : channel == 2 ? ranges.channel2 : 0;
    const auto v = protocol::channelVolts(channel, raw[std::size_t(channel - 1)], flag);
    return v ? *v : kUnknown;
}

Sample Sample::fromReport(qint64 utcMs, const protocol::StatusReport& report, const RangeFlags& ranges)
{
    Sample s;
    s.timeMs = utcMs;
    for (int c = 0; c < kChannels; ++c)
        s.raw[std::size_t(c)] = std::uint16_t(report.channels[std::size_t(c)]);
    s.ranges = ranges;
    s.temperatureC = report.temperatureC;
    for (int r = 0; r < kRelays; ++r)
        s.relays[std::size_t(r)] = report.relayOn[std::size_t(r)];
    for (int p = 0; p < kIoPins; ++p) {
        if (const auto pin = report.ioPins[std::size_t(p)])
            s.io[std::size_t(p)] = *pin != 0;
    }
    s.timerState = report.timerState;
    s.timerRemaining = report.timerRemaining;
    s.uptime = report.uptimeRaw;
    return s;
}

qint64 stepMs(Step step)
{
    switch (step) {
    case Step::Raw:
        return 0;
    case Step::Minute:
        return 60'000;
    case Step::Hour:
        return 3'600'000;
    }
    return 0;
}

QString stepName(Step step)
{
    switch (step) {
    case Step::Raw:
        return QStringLiteral("raw");
    case Step::Minute:
        return QStringLiteral("1m");
    case Step::Hour:
        return QStringLiteral("1h");
    }
    return {};
}

std::optional<Step> stepFromName(const QString& name)
{
    for (const Step s : {Step::Raw, Step::Minute, Step::Hour})
        if (stepName(s) == name)
            return s;
    return std::nullopt;
}

Row Row::fromSample(const Sample& sample)
{
    Row row;
    row.timeMs = sample.timeMs;
    row.count = 1;
    for (int c = 0; c < kChannels; ++c)
        row.mean[std::size_t(c)] = sample.volts(c + 1);
    row.mean[kTemperatureSeries] = sample.temperatureC ? *sample.temperatureC : kUnknown;
    row.min = row.mean;
    row.max = row.mean;
    for (int r = 0; r < kRelays; ++r)
        row.relays[std::size_t(r)] =
            sample.relays[std::size_t(r)] ? qint8(*sample.relays[std::size_t(r)]) : qint8(-1);
    for (int p = 0; p < kIoPins; ++p)
        row.io[std::size_t(p)] = sample.io[std::size_t(p)] ? qint8(*sample.io[std::size_t(p)]) : qint8(-1);
    row.timerState = sample.timerState;
    row.timerRemaining = sample.timerRemaining;
    row.uptime = sample.uptime;
    return row;
}

} // namespace kestavo::history
