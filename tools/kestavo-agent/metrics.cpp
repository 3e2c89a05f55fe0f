#include "metrics.h"

#include <array>
#include <cmath>
#include <vector>

#include <QDateTime>

#include "protocol/conversions.h"

#include "alarms/alarmengine.h"
#include "history/auditlog.h"

namespace kestavo::agent {

namespace {

// Label values escape backslash, double quote and line feed.
QByteArray escaped(const QString& value)
{
    QByteArray out;
    for (const char c : value.toUtf8()) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

class Writer
{
public:
    explicit Writer(qsizetype reserve) { m_text.reserve(reserve); }
    void family(const char* name, const char* type, const char* help)
    {
        m_text += "# HELP ";
        m_text += name;
        m_text += ' ';
        m_text += help;
        m_text += "\n# TYPE ";
        m_text += name;
        m_text += ' ';
        m_text += type;
        m_text += '\n';
        m_name = name;
    }
    // labels: the unit's, already escaped; extra: more labels, or nullptr.
    void sample(const QByteArray& labels, double value, const char* extraName = nullptr,
                const QByteArray& extraValue = {}, const char* extra2Name = nullptr,
                const QByteArray& extra2Value = {})
    {
        m_text += m_name;
        if (!labels.isEmpty() || extraName) {
            m_text += '{';
            m_text += labels;
            appendLabel(extraName, extraValue, !labels.isEmpty());
            appendLabel(extra2Name, extra2Value, true);
            m_text += '}';
        }
        m_text += ' ';
        if (value == double(qint64(value)) && std::abs(value) < 1e15)
            m_text += QByteArray::number(qint64(value));
        else
            m_text += QByteArray::number(value, 'g', 15);
        m_text += '\n';
    }
    QByteArray text() const { return m_text; }

private:
    void appendLabel(const char* name, const QByteArray& value, bool comma)
    {
        if (!name)
            return;
        if (comma)
            m_text += ',';
        m_text += name;
        m_text += "=\"";
        m_text += value;
        m_text += '"';
    }

    QByteArray m_text;
    const char* m_name = "";
};

QByteArray unitLabels(const fleet::FleetPoller::Unit& unit)
{
    return "station=\"" + escaped(unit.station.description) + "\",address=\"" +
           escaped(unit.station.address) + '"';
}

std::optional<double> volts(const fleet::FleetPoller::Unit& unit, int channel)
{
    const int flag = channel <= 2 ? unit.station.rangeFlags[static_cast<std::size_t>(channel - 1)] : 0;
    return protocol::channelVolts(channel, unit.lastReport->channels[static_cast<std::size_t>(channel - 1)],
                                  flag);
}

} // namespace

QString captionOf(const fleet::FleetStation& station, int channel)
{
    const QString caption = station.captions[static_cast<std::size_t>(channel - 1)].trimmed();
    return caption.isEmpty() ? QStringLiteral("Voltage %1").arg(channel) : caption;
}

QHash<QString, QList<history::AlarmRecord>> alarmsByStation(const alarms::AlarmEngine* engine)
{
    QHash<QString, QList<history::AlarmRecord>> byStation;
    if (!engine)
        return byStation;
    for (const history::AlarmRecord& alarm : engine->openAlarms())
        if (alarm.state != history::AlarmState::Shelved)
            byStation[alarm.address].append(alarm);
    return byStation;
}

QByteArray prometheusText(const fleet::FleetPoller& poller, const AgentFigures& figures,
                          const alarms::AlarmEngine* alarmEngine)
{
    using fleet::LinkState;
    const qint64 now = poller.now();
    Writer w(qsizetype(poller.count()) * 2600 + 4096);
    // Each unit's labels are escaped once per scrape, not once per sample.
    std::vector<QByteArray> labels;
    labels.reserve(std::size_t(poller.count()));
    for (int i = 0; i < poller.count(); ++i)
        labels.push_back(unitLabels(poller.unit(i)));
    const QByteArray* current = nullptr;
    const auto each = [&](auto&& write) {
        for (int i = 0; i < poller.count(); ++i) {
            current = &labels[std::size_t(i)];
            write(poller.unit(i));
        }
    };
    const auto reported = [&](auto&& write) {
        for (int i = 0; i < poller.count(); ++i) {
            current = &labels[std::size_t(i)];
            if (poller.unit(i).lastReport)
                write(poller.unit(i));
        }
    };
    static const std::array<QByteArray, 9> digits{"0", "1", "2", "3", "4", "5", "6", "7", "8"};

    w.family("kestavo_up", "gauge", "1 when the unit's last report is younger than three poll intervals.");
    each([&](const auto& u) { w.sample(*current, u.state == LinkState::Online ? 1 : 0); });
    std::array<QByteArray, 5> stateNames;
    for (LinkState s : {LinkState::Online, LinkState::Stale, LinkState::Offline, LinkState::BadPassword,
                        LinkState::Invalid})
        stateNames[std::size_t(s)] = fleet::linkStateText(s).toUtf8();
    w.family("kestavo_link_state", "gauge", "1 for the unit's current link state, 0 for the others.");
    each([&](const auto& u) {
        for (LinkState s : {LinkState::Online, LinkState::Stale, LinkState::Offline, LinkState::BadPassword,
                            LinkState::Invalid})
            w.sample(*current, u.state == s ? 1 : 0, "state", stateNames[std::size_t(s)]);
    });
    w.family("kestavo_last_report_age_seconds", "gauge", "Seconds since the unit's last status report.");
    each([&](const auto& u) {
        if (u.lastReportMs)
            w.sample(*current, double(std::max<qint64>(now - *u.lastReportMs, 0)) / 1000.0);
    });
    w.family("kestavo_voltage_volts", "gauge", "Voltage input reading in volts.");
    reported([&](const auto& u) {
        for (int c = 1; c <= 8; ++c) {
            if (const std::optional<double> v = volts(u, c))
                w.sample(*current, *v, "channel", digits[std::size_t(c)], "caption",
                         escaped(captionOf(u.station, c)));
        }
    });
    w.family("kestavo_temperature_celsius", "gauge", "Temperature in degrees Celsius.");
    reported([&](const auto& u) {
        if (u.lastReport->temperatureC)
            w.sample(*current, *u.lastReport->temperatureC);
    });
    w.family("kestavo_relay_on", "gauge", "1 when the relay is on.");
    reported([&](const auto& u) {
        for (int r = 0; r < 3; ++r) {
            if (const auto on = u.lastReport->relayOn[static_cast<std::size_t>(r)])
                w.sample(*current, *on ? 1 : 0, "relay", digits[std::size_t(r + 1)]);
        }
    });
    w.family("kestavo_io_pin", "gauge", "Level of the I/O pin, 0 or 1.");
    reported([&](const auto& u) {
        for (int p = 0; p < 5; ++p) {
            if (const auto level = u.lastReport->ioPins[static_cast<std::size_t>(p)])
                w.sample(*current, *level, "pin", digits[std::size_t(p + 1)]);
        }
    });
    w.family("kestavo_relay_timer_remaining_seconds", "gauge", "Seconds until the relay timer fires.");
    reported([&](const auto& u) { w.sample(*current, u.lastReport->timerRemaining); });
    w.family("kestavo_uptime_seconds", "gauge", "The unit's uptime counter in seconds.");
    reported([&](const auto& u) { w.sample(*current, u.lastReport->uptimeCount); });
    w.family("kestavo_polls_sent_total", "counter", "Polls the agent sent to the unit.");
    each([&](const auto& u) { w.sample(*current, double(u.sent)); });
    w.family("kestavo_replies_received_total", "counter", "Replies the agent received from the unit.");
    each([&](const auto& u) { w.sample(*current, double(u.received)); });
    w.family("kestavo_polls_lost_total", "counter",
             "Polls followed by the next one without any reply between.");
    each([&](const auto& u) { w.sample(*current, double(u.lost)); });

    if (alarmEngine) {
        const auto open = alarmsByStation(alarmEngine);
        w.family("kestavo_alarm_active", "gauge",
                 "1 while the alarm is active, 0 once it cleared but awaits acknowledgement.");
        each([&](const auto& u) {
            for (const history::AlarmRecord& a : open.value(u.station.address))
                w.sample(*current, a.state == history::AlarmState::ClearedUnacknowledged ? 0 : 1, "rule",
                         escaped(a.text), "priority", history::priorityText(a.priority).toLatin1());
        });
        w.family("kestavo_alarms_raised_total", "counter",
                 "Alarms raised for the stations this agent evaluates, since it started.");
        for (const auto p :
             {history::AlarmPriority::High, history::AlarmPriority::Medium, history::AlarmPriority::Low})
            w.sample({}, double(figures.alarmsRaised[std::size_t(int(p) - 1)]), "priority",
                     history::priorityText(p).toLatin1());
        w.family("kestavo_alarm_flood", "gauge",
                 "1 while 10 or more alarms were raised within the last 10 minutes (an alarm flood).");
        w.sample({}, figures.alarmFlood ? 1 : 0);
    }
    w.family("kestavo_agent_stations", "gauge", "Stations this agent polls (its shard).");
    w.sample({}, poller.count());
    w.family("kestavo_agent_stranger_datagrams_total", "counter",
             "Datagrams from an address and port that is no unit's.");
    w.sample({}, double(poller.counters().strangers));
    w.family("kestavo_agent_scrapes_total", "counter", "Scrapes of /metrics served.");
    w.sample({}, double(figures.scrapes));
    w.family("kestavo_agent_mqtt_connected", "gauge", "1 while the agent is connected to the MQTT broker.");
    w.sample({}, figures.mqttConnected ? 1 : 0);
    w.family("kestavo_agent_mqtt_messages_total", "counter", "MQTT messages the agent published.");
    w.sample({}, double(figures.mqttMessages));
    w.family("kestavo_agent_mqtt_commands_total", "counter",
             "Relay commands received over MQTT, by outcome (sent, retained, rate_limited, invalid).");
    w.sample({}, double(figures.commandsSent), "outcome", "sent");
    w.sample({}, double(figures.commandsRetained), "outcome", "retained");
    w.sample({}, double(figures.commandsRateLimited), "outcome", "rate_limited");
    w.sample({}, double(figures.commandsInvalid), "outcome", "invalid");
    w.family("kestavo_agent_problem", "gauge",
             "1 while the agent cannot do part of its work (kind: history_write, history_locked, "
             "history_replaced, history_damaged, stations); /healthz says why.");
    for (int k = 0; k < kProblemKinds; ++k)
        w.sample({}, figures.problems[std::size_t(k)] ? 1 : 0, "kind", kProblemNames[k]);
    w.family("kestavo_agent_problems_total", "counter", "How often each kind of problem began.");
    for (int k = 0; k < kProblemKinds; ++k)
        w.sample({}, double(figures.problemOnsets[std::size_t(k)]), "kind", kProblemNames[k]);
    w.family("kestavo_agent_start_time_seconds", "gauge",
             "When the agent started, in seconds since the epoch.");
    w.sample({}, figures.startedAtSeconds);
    return w.text();
}

QJsonObject unitJson(const fleet::FleetPoller::Unit& unit, qint64 nowMs,
                     const QList<history::AlarmRecord>& alarms)
{
    QJsonObject object{{QStringLiteral("address"), unit.station.address},
                       {QStringLiteral("station"), unit.station.description},
                       {QStringLiteral("state"), fleet::linkStateText(unit.state)}};
    object.insert(QStringLiteral("age_s"),
                  unit.lastReportMs
                      ? QJsonValue(double(std::max<qint64>(nowMs - *unit.lastReportMs, 0)) / 1000.0)
                      : QJsonValue(QJsonValue::Null));
    if (!unit.invalidReason.isEmpty())
        object.insert(QStringLiteral("reason"), unit.invalidReason);
    QJsonArray alarmList;
    for (const history::AlarmRecord& a : alarms) {
        QJsonObject alarm{{QStringLiteral("id"), a.id},
                          {QStringLiteral("text"), a.text},
                          {QStringLiteral("priority"), history::priorityText(a.priority)},
                          {QStringLiteral("state"), history::stateText(a.state)},
                          {QStringLiteral("since"), history::isoUtc(a.raisedMs)}};
        if (a.value)
            alarm.insert(QStringLiteral("value"), *a.value);
        alarmList.append(alarm);
    }
    object.insert(QStringLiteral("alarms"), alarmList);
    const auto& report = unit.lastReport;
    if (!report)
        return object;
    object.insert(QStringLiteral("mac"), QString::fromStdString(report->macText));
    object.insert(QStringLiteral("firmware"),
                  QString::fromStdString(protocol::revisionDotted(report->revisionBytes)));
    QJsonArray voltages;
    for (int c = 1; c <= 8; ++c) {
        const std::optional<double> v = volts(unit, c);
        voltages.append(v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null));
    }
    object.insert(QStringLiteral("voltages"), voltages);
    QJsonArray relays;
    for (const auto& on : report->relayOn)
        relays.append(on ? QJsonValue(*on) : QJsonValue(QJsonValue::Null));
    object.insert(QStringLiteral("relays"), relays);
    QJsonArray io;
    for (const auto& pin : report->ioPins)
        io.append(pin ? QJsonValue(*pin) : QJsonValue(QJsonValue::Null));
    object.insert(QStringLiteral("io"), io);
    object.insert(QStringLiteral("temperature_c"),
                  report->temperatureC ? QJsonValue(*report->temperatureC) : QJsonValue(QJsonValue::Null));
    object.insert(QStringLiteral("uptime_s"), report->uptimeCount);
    object.insert(QStringLiteral("relay_timer_remaining_s"), double(report->timerRemaining));
    return object;
}

QJsonArray stationsJson(const fleet::FleetPoller& poller, const alarms::AlarmEngine* alarmEngine)
{
    QJsonArray list;
    const qint64 now = poller.now();
    const auto open = alarmsByStation(alarmEngine);
    for (int i = 0; i < poller.count(); ++i)
        list.append(unitJson(poller.unit(i), now, open.value(poller.unit(i).station.address)));
    return list;
}

} // namespace kestavo::agent
