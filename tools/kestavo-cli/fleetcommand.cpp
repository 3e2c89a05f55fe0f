#include "fleetcommand.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

#include "protocol/conversions.h"

#include "stations/stationstore.h"

#include "fleet/fleetrecorder.h"
#include "history/historystore.h"
#include "history/timetext.h"
#include "reportformat.h"

namespace kestavo::cli {

namespace {

std::optional<double> ageSeconds(const fleet::FleetPoller::Unit& unit, qint64 nowMs)
{
    if (!unit.lastReportMs)
        return std::nullopt;
    return static_cast<double>(std::max<qint64>(nowMs - *unit.lastReportMs, 0) / 100) / 10.0;
}

std::optional<double> rttMs(const fleet::FleetPoller::Unit& unit)
{
    if (!unit.rttUs)
        return std::nullopt;
    return static_cast<double>(*unit.rttUs / 100) / 10.0;
}

QJsonValue optionalJson(const std::optional<double>& value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QString optionalText(const std::optional<double>& value)
{
    return value ? QString::number(*value) : QString();
}

QString relayWord(const std::optional<bool>& on)
{
    return on ? (*on ? QStringLiteral("ON") : QStringLiteral("OFF")) : QString();
}

RangeFlags rangeFlags(const fleet::FleetPoller::Unit& unit)
{
    return {unit.station.rangeFlags[0], unit.station.rangeFlags[1]};
}

} // namespace

FleetCommand::FleetCommand(const Command& command, QTextStream& out, QTextStream& err,
                           const CliEnvironment& environment)
    : m_command(command), m_out(out), m_err(err), m_env(environment)
{
    m_poller.setClock([this] { return m_env.now().toMSecsSinceEpoch(); });
    fleet::FleetPoller::Timing timing;
    timing.intervalMs = command.intervalMs;
    m_poller.setTiming(timing);
    m_poller.setUnitPort(static_cast<quint16>(command.options.port));
}

QJsonObject FleetCommand::unitJson(const fleet::FleetPoller::Unit& unit, qint64 nowMs)
{
    QJsonObject object{{QStringLiteral("address"), unit.station.address},
                       {QStringLiteral("description"), unit.station.description},
                       {QStringLiteral("state"), fleet::linkStateText(unit.state)},
                       {QStringLiteral("age_s"), optionalJson(ageSeconds(unit, nowMs))},
                       {QStringLiteral("rtt_ms"), optionalJson(rttMs(unit))}};
    if (!unit.invalidReason.isEmpty())
        object.insert(QStringLiteral("reason"), unit.invalidReason);
    QJsonArray relays;
    QJsonArray voltages;
    QJsonArray io;
    QJsonValue temperature(QJsonValue::Null);
    if (const auto& report = unit.lastReport) {
        for (const auto& relay : report->relayOn)
            relays.append(relay ? QJsonValue(relayWord(relay)) : QJsonValue(QJsonValue::Null));
        for (int channel = 1; channel <= 8; ++channel)
            voltages.append(optionalJson(channelVoltage(*report, channel, rangeFlags(unit))));
        for (const auto& pin : report->ioPins)
            io.append(pin ? QJsonValue(*pin) : QJsonValue(QJsonValue::Null));
        temperature = optionalJson(report->temperatureC);
    }
    object.insert(QStringLiteral("relays"), relays);
    object.insert(QStringLiteral("temperature_c"), temperature);
    object.insert(QStringLiteral("voltages"), voltages);
    object.insert(QStringLiteral("io"), io);
    return object;
}

QStringList FleetCommand::csvHeader()
{
    QStringList header = {
        QStringLiteral("address"), QStringLiteral("description"), QStringLiteral("state"),
        QStringLiteral("age_s"),   QStringLiteral("rtt_ms"),      QStringLiteral("relay1"),
        QStringLiteral("relay2"),  QStringLiteral("relay3"),      QStringLiteral("temperature_c")};
    for (int channel = 1; channel <= 8; ++channel)
        header << QStringLiteral("v%1").arg(channel);
    for (int pin = 1; pin <= 5; ++pin)
        header << QStringLiteral("io%1").arg(pin);
    return header;
}

QStringList FleetCommand::csvRow(const fleet::FleetPoller::Unit& unit, qint64 nowMs)
{
    QStringList row = {unit.station.address, unit.station.description, fleet::linkStateText(unit.state),
                       optionalText(ageSeconds(unit, nowMs)), optionalText(rttMs(unit))};
    const auto& report = unit.lastReport;
    for (std::size_t r = 0; r < 3; ++r)
        row << (report ? relayWord(report->relayOn[r]) : QString());
    row << (report ? optionalText(report->temperatureC) : QString());
    for (int channel = 1; channel <= 8; ++channel)
        row << (report ? optionalText(channelVoltage(*report, channel, rangeFlags(unit))) : QString());
    for (std::size_t pin = 0; pin < 5; ++pin) {
        const std::optional<int> value = report ? report->ioPins[pin] : std::nullopt;
        row << (value ? QString::number(*value) : QString());
    }
    return row;
}

QString FleetCommand::unitLine(const fleet::FleetPoller::Unit& unit, qint64 nowMs)
{
    QString line = unit.station.address.leftJustified(16) + unit.station.description.leftJustified(31) +
                   fleet::linkStateText(unit.state).leftJustified(13);
    if (!unit.invalidReason.isEmpty())
        return line + unit.invalidReason;
    const std::optional<double> age = ageSeconds(unit, nowMs);
    line += QStringLiteral("age %1").arg(age ? QStringLiteral("%1 s").arg(*age) : QStringLiteral("-"));
    if (const std::optional<double> rtt = rttMs(unit))
        line += QStringLiteral("  rtt %1 ms").arg(*rtt);
    if (const auto& report = unit.lastReport) {
        QStringList relays;
        for (const auto& relay : report->relayOn)
            relays << (relay ? relayWord(relay) : QStringLiteral("-"));
        QStringList volts;
        for (int channel = 1; channel <= 8; ++channel)
            volts << optionalText(channelVoltage(*report, channel, rangeFlags(unit)));
        QStringList io;
        for (const auto& pin : report->ioPins)
            io << (pin ? QString::number(*pin) : QStringLiteral("-"));
        line += QStringLiteral("  relays %1  temp %2  V %3  io %4")
                    .arg(relays.join(u'/'),
                         report->temperatureC ? QStringLiteral("%1 °C").arg(*report->temperatureC)
                                              : QStringLiteral("-"),
                         volts.join(u' '), io.join(QString()));
    }
    return line;
}

bool FleetCommand::round()
{
    std::vector<quint64> before;
    for (int i = 0; i < m_poller.count(); ++i)
        before.push_back(m_poller.unit(i).received);
    if (!m_poller.pollAll()) {
        m_err << "kestavo-cli: fleet: " << m_poller.errorString() << '\n';
        m_err.flush();
        return false;
    }
    const QDeadlineTimer deadline(m_command.options.timeoutMs);
    const auto allAnswered = [&] {
        for (int i = 0; i < m_poller.count(); ++i) {
            const auto& unit = m_poller.unit(i);
            if (unit.invalidReason.isEmpty() && unit.received == before[static_cast<std::size_t>(i)])
                return false;
        }
        return true;
    };
    while (!allAnswered() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents,
                                        static_cast<int>(std::min<qint64>(deadline.remainingTime(), 50)));
        m_poller.readPending();
    }
    m_poller.refreshStates();
    return true;
}

int FleetCommand::print()
{
    const qint64 nowMs = m_poller.now();
    bool allOnline = true;
    const bool watch = m_command.watch;
    const auto format = m_command.options.format;
    QJsonArray list;
    for (int i = 0; i < m_poller.count(); ++i) {
        const auto& unit = m_poller.unit(i);
        allOnline = allOnline && unit.state == fleet::LinkState::Online;
        if (format == OutputFormat::Json) {
            QJsonObject object = unitJson(unit, nowMs);
            if (watch) {
                object.insert(QStringLiteral("time"), history::isoUtc(m_env.now().toMSecsSinceEpoch()));
                m_out << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) << '\n';
            } else {
                list.append(object);
            }
        } else if (format == OutputFormat::Csv) {
            m_out << csvRecord(csvRow(unit, nowMs));
        } else {
            m_out << unitLine(unit, nowMs) << '\n';
        }
    }
    if (format == OutputFormat::Json && !watch)
        m_out << QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact)) << '\n';
    m_out.flush();
    return allOnline ? ExitDone : ExitRefused;
}

int FleetCommand::run(const stations::StationStore& store)
{
    QList<fleet::FleetStation> stations = fleet::stationsFromStore(store);
    if (!m_command.tagFilter.isEmpty()) {
        const QStringList tagged = store.addressesWithTag(m_command.tagFilter);
        stations.removeIf([&](const fleet::FleetStation& s) { return !tagged.contains(s.address); });
        if (stations.isEmpty()) {
            m_err << "kestavo-cli: fleet: no station has the tag " << m_command.tagFilter << ".\n";
            m_err.flush();
            return ExitUsage;
        }
    }
    m_poller.setStations(stations);
    std::unique_ptr<history::HistoryStore> history;
    std::unique_ptr<fleet::FleetRecorder> recorder;
    if (!m_command.historyFile.isEmpty()) {
        history = std::make_unique<history::HistoryStore>();
        const auto opened = history->open(m_command.historyFile);
        if (!opened.ok) {
            m_err << "kestavo-cli: fleet: " << opened.error << '\n';
            m_err.flush();
            return ExitDatabase;
        }
        recorder = std::make_unique<fleet::FleetRecorder>(m_poller, *history);
    }
    if (m_command.options.format == OutputFormat::Csv)
        m_out << csvRecord(csvHeader());
    QElapsedTimer clock;
    clock.start();
    for (int rounds = 1;; ++rounds) {
        if (!round())
            return ExitRefused;
        const int code = print();
        if (!m_command.watch || (m_command.count > 0 && rounds >= m_command.count))
            return code;
        const qint64 wait = static_cast<qint64>(rounds) * m_command.intervalMs - clock.elapsed();
        const QDeadlineTimer next(std::max<qint64>(wait, 0));
        while (!next.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents,
                                            static_cast<int>(std::max<qint64>(next.remainingTime(), 1)));
    }
}

} // namespace kestavo::cli
