#include "reportformat.h"

#include <QJsonValue>

#include "protocol/conversions.h"

#include "history/timetext.h"
#include "text/csv.h"
#include "text/printable.h"

namespace kestavo::cli {

namespace {

namespace p = protocol;

constexpr std::uint8_t kBoardFitted = 255;

QString fromStd(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A number as the console writes it: shortest decimal text, never an exponent.
QString numberText(double value)
{
    return fromStd(p::shortestText(value));
}

// The same number for JSON, so that "15.00366300366" is not printed as 15.003663003660001.
double shortest(double value)
{
    return numberText(value).toDouble();
}

QString relayText(const std::optional<bool>& on)
{
    if (!on)
        return QString();
    return *on ? QStringLiteral("ON") : QStringLiteral("OFF");
}

QJsonValue relayJson(const std::optional<bool>& on)
{
    return on ? QJsonValue(relayText(on)) : QJsonValue(QJsonValue::Null);
}

QJsonValue optionalInt(const std::optional<int>& value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

// Slot number 1..8 for a slot code, or nothing.
std::optional<int> slotOf(int code)
{
    const std::optional<int> index = p::slotIndexForCode(code);
    return index ? std::optional<int>(*index + 1) : std::nullopt;
}

bool timerActive(const p::StatusReport& report)
{
    return report.timerState > 0;
}

std::optional<int> timerSlot(const p::StatusReport& report)
{
    return report.timerSlotIndex ? std::optional<int>(*report.timerSlotIndex + 1) : std::nullopt;
}

std::optional<bool> httpOn(const p::StatusReport& report)
{
    if (!report.httpState || *report.httpState > 1)
        return std::nullopt;
    return *report.httpState == 0;
}

std::optional<bool> snmpOn(const p::StatusReport& report)
{
    if (!report.snmpState || *report.snmpState > 1)
        return std::nullopt;
    return *report.snmpState == 0;
}

QString ipText(const std::array<std::uint8_t, 20>& octets, int index)
{
    const auto at = [&](int k) {
        return octets[static_cast<std::size_t>(index * 4 + k)];
    };
    return QStringLiteral("%1.%2.%3.%4").arg(at(0)).arg(at(1)).arg(at(2)).arg(at(3));
}

QString boolText(const std::optional<bool>& value)
{
    if (!value)
        return QString();
    return *value ? QStringLiteral("true") : QStringLiteral("false");
}

QJsonValue boolJson(const std::optional<bool>& value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QString countdownText(std::uint32_t remaining)
{
    const p::Countdown c = p::countdown(remaining);
    return QStringLiteral("%1d %2h %3m %4s").arg(c.days).arg(c.hours).arg(c.minutes).arg(c.seconds);
}

constexpr std::array<p::BoardItem, 8> kBoardItems = {
    p::BoardItem::Relay1, p::BoardItem::Relay2, p::BoardItem::Relay3, p::BoardItem::Relay4,
    p::BoardItem::Relay5, p::BoardItem::Relay6, p::BoardItem::Output, p::BoardItem::Light};

QString slotDescription(const p::SlotEntry& entry)
{
    return unitText(entry.description);
}

QString slotCodes(const p::SlotEntry& entry)
{
    QString codes =
        QString::fromLatin1(entry.codeField.data(), static_cast<qsizetype>(entry.codeField.size()));
    while (codes.endsWith(u' '))
        codes.chop(1);
    return codes;
}

QStringList slotSteps(const p::SlotEntry& entry)
{
    QStringList steps;
    for (const std::string& step : p::slotPreview(entry.codeField))
        steps << fromStd(step);
    return steps;
}

} // namespace

std::optional<double> channelVoltage(const p::StatusReport& report, int channel, const RangeFlags& flags)
{
    const int flag = channel <= 2 ? flags[static_cast<std::size_t>(channel - 1)] : 0;
    const std::optional<double> volts =
        p::channelVolts(channel, report.channels[static_cast<std::size_t>(channel - 1)], flag);
    if (!volts)
        return std::nullopt;
    return shortest(*volts);
}

QString unitText(std::string_view bytes)
{
    QString text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const auto blank = [](QChar c) {
        return c == u' ' || c == QChar(0);
    };
    while (!text.isEmpty() && blank(text.back()))
        text.chop(1);
    while (!text.isEmpty() && blank(text.front()))
        text.remove(0, 1);
    // A unit's texts reach the terminal: an escape in a station name must not drive it.
    return text::printable(text);
}

QString boardItemName(p::BoardItem item)
{
    switch (item) {
    case p::BoardItem::Output:
        return QStringLiteral("output");
    case p::BoardItem::Light:
        return QStringLiteral("light");
    default:
        return QStringLiteral("relay %1")
            .arg(static_cast<int>(item) - static_cast<int>(p::BoardItem::Relay1) + 1);
    }
}

QString boardItemState(p::BoardItem item, std::uint8_t stateByte)
{
    const bool set = (stateByte & p::itemMask(item)) != 0;
    const bool relay = item != p::BoardItem::Output && item != p::BoardItem::Light;
    if (relay)
        return set ? QStringLiteral("NC") : QStringLiteral("NO");
    return set ? QStringLiteral("ON") : QStringLiteral("OFF");
}

QString acknowledgementText(int kind)
{
    switch (kind) {
    case 3:
        return QStringLiteral("Relay Script Executed !");
    case 4:
        return QStringLiteral("Timer Stopped Forcefully !");
    case 5:
        return QStringLiteral("Timer Data Received !");
    case 6:
        return QStringLiteral("I/O Data Received !");
    case 7:
        return QStringLiteral("Temperature Data Received !");
    case 8:
        return QStringLiteral("HTTP Server Status Changed !");
    case 9:
        return QStringLiteral("RDB Command Success !");
    case 10:
        return QStringLiteral("RDB Command Failure !");
    case 11:
        return QStringLiteral("RDB Timer Failure !");
    case 12:
        return QStringLiteral("SNMP Access Changed !");
    default:
        return QString();
    }
}

QJsonObject statusJson(const p::StatusReport& report, const RangeFlags& flags, const QString& unit)
{
    QJsonObject json;
    json.insert(QStringLiteral("unit"), unit);
    json.insert(QStringLiteral("mac"), fromStd(report.macText));

    QJsonArray voltages;
    for (int channel = 1; channel <= 8; ++channel) {
        const std::optional<double> volts = channelVoltage(report, channel, flags);
        voltages.append(volts ? QJsonValue(*volts) : QJsonValue(QJsonValue::Null));
    }
    json.insert(QStringLiteral("voltages"), voltages);

    QJsonArray relays;
    QJsonArray delays;
    for (std::size_t r = 0; r < 3; ++r) {
        relays.append(relayJson(report.relayOn[r]));
        delays.append(report.relayDelays[r]);
    }
    json.insert(QStringLiteral("relays"), relays);
    json.insert(QStringLiteral("relay_delays_s"), delays);

    QJsonArray io;
    for (const std::optional<int>& pin : report.ioPins)
        io.append(optionalInt(pin));
    json.insert(QStringLiteral("io"), io);

    json.insert(QStringLiteral("temperature_c"), report.temperatureC
                                                     ? QJsonValue(shortest(*report.temperatureC))
                                                     : QJsonValue(QJsonValue::Null));
    json.insert(QStringLiteral("temperature_f"),
                report.temperatureC ? QJsonValue(shortest(p::fahrenheit(*report.temperatureC)))
                                    : QJsonValue(QJsonValue::Null));
    json.insert(QStringLiteral("revision"), fromStd(p::revisionDotted(report.revisionBytes)));
    json.insert(QStringLiteral("uptime_s"), report.uptimeCount);
    json.insert(QStringLiteral("station_name"), unitText(report.stationNameRaw));

    QJsonObject timer;
    timer.insert(QStringLiteral("active"), timerActive(report));
    timer.insert(QStringLiteral("remaining_s"), static_cast<qint64>(report.timerRemaining));
    // The slot byte means nothing while the timer is off (it reads as slot 1).
    timer.insert(QStringLiteral("slot"), optionalInt(timerActive(report) ? timerSlot(report) : std::nullopt));
    json.insert(QStringLiteral("timer"), timer);

    QJsonObject allowed;
    allowed.insert(QStringLiteral("rule"),
                   report.allowedRule == 1 ? QStringLiteral("only") : QStringLiteral("all"));
    QJsonArray addresses;
    for (int i = 0; i < 5; ++i)
        addresses.append(ipText(report.allowedOctets, i));
    allowed.insert(QStringLiteral("addresses"), addresses);
    json.insert(QStringLiteral("allowed_ips"), allowed);

    QJsonArray ioTriggers;
    for (int box = 0; box < 5; ++box) {
        const auto at = [&](int k) {
            return report.ioSettings[static_cast<std::size_t>(box * 3 + k)];
        };
        QJsonObject trigger;
        trigger.insert(QStringLiteral("box"), box + 1);
        const bool active = at(0) == 1;
        trigger.insert(QStringLiteral("active"), active);
        trigger.insert(QStringLiteral("slot_for_0"), optionalInt(active ? slotOf(at(1)) : std::nullopt));
        trigger.insert(QStringLiteral("slot_for_1"), optionalInt(active ? slotOf(at(2)) : std::nullopt));
        ioTriggers.append(trigger);
    }
    json.insert(QStringLiteral("io_triggers"), ioTriggers);

    QJsonObject temperatureTrigger;
    const bool temperatureActive = report.temperatureSetting[0] == 1;
    temperatureTrigger.insert(QStringLiteral("active"), temperatureActive);
    temperatureTrigger.insert(
        QStringLiteral("upper_slot"),
        optionalInt(temperatureActive ? slotOf(report.temperatureSetting[1]) : std::nullopt));
    temperatureTrigger.insert(
        QStringLiteral("lower_slot"),
        optionalInt(temperatureActive ? slotOf(report.temperatureSetting[2]) : std::nullopt));
    temperatureTrigger.insert(QStringLiteral("upper_c"), report.temperatureSetting[3]);
    temperatureTrigger.insert(QStringLiteral("lower_c"), report.temperatureSetting[4]);
    json.insert(QStringLiteral("temperature_trigger"), temperatureTrigger);

    json.insert(QStringLiteral("http"), boolJson(httpOn(report)));
    json.insert(QStringLiteral("snmp"), boolJson(snmpOn(report)));

    if (report.boardPresence && report.boardState) {
        QJsonArray boards;
        for (std::size_t b = 0; b < 6; ++b) {
            const std::uint8_t state = (*report.boardState)[b];
            QJsonObject board;
            board.insert(QStringLiteral("board"), static_cast<int>(b + 1));
            board.insert(QStringLiteral("fitted"), (*report.boardPresence)[b] == kBoardFitted);
            board.insert(QStringLiteral("state"), state);
            QJsonArray boardRelays;
            for (std::size_t i = 0; i < 6; ++i)
                boardRelays.append(boardItemState(kBoardItems[i], state));
            board.insert(QStringLiteral("relays"), boardRelays);
            board.insert(QStringLiteral("output"), boardItemState(p::BoardItem::Output, state));
            board.insert(QStringLiteral("light"), boardItemState(p::BoardItem::Light, state));
            boards.append(board);
        }
        json.insert(QStringLiteral("boards"), boards);
        json.insert(QStringLiteral("toggle_countdown_s"), report.toggleCountdown.value_or(0));
    } else {
        json.insert(QStringLiteral("boards"), QJsonValue(QJsonValue::Null));
        json.insert(QStringLiteral("toggle_countdown_s"), QJsonValue(QJsonValue::Null));
    }
    return json;
}

QString statusText(const p::StatusReport& report, const RangeFlags& flags, const QString& unit)
{
    QStringList lines;
    const auto line = [&lines](const QString& label, const QString& value) {
        lines << (label + u':').leftJustified(15) + value;
    };
    line(QStringLiteral("Unit"), unit);
    line(QStringLiteral("Station name"), unitText(report.stationNameRaw));
    line(QStringLiteral("MAC address"), fromStd(report.macText));
    line(QStringLiteral("Revision"), fromStd(p::revisionDotted(report.revisionBytes)));
    line(QStringLiteral("Uptime"), QStringLiteral("%1 s").arg(numberText(report.uptimeCount)));

    QStringList relays;
    for (std::size_t r = 0; r < 3; ++r) {
        const QString state = relayText(report.relayOn[r]);
        relays << QStringLiteral("%1 %2 (delay %3 s)")
                      .arg(r + 1)
                      .arg(state.isEmpty() ? QStringLiteral("====") : state)
                      .arg(report.relayDelays[r]);
    }
    line(QStringLiteral("Relays"), relays.join(QStringLiteral("   ")));

    QStringList pins;
    for (std::size_t i = 0; i < report.ioPins.size(); ++i) {
        const std::optional<int>& pin = report.ioPins[i];
        pins << QStringLiteral("%1 %2").arg(i + 1).arg(pin ? QString::number(*pin) : QStringLiteral("?"));
    }
    line(QStringLiteral("I/O pins"), pins.join(QStringLiteral("   ")));
    line(QStringLiteral("Temperature"),
         report.temperatureText ? fromStd(*report.temperatureText) : QStringLiteral("?"));

    QStringList voltages;
    for (int channel = 1; channel <= 8; ++channel) {
        const int flag = channel <= 2 ? flags[static_cast<std::size_t>(channel - 1)] : 0;
        const std::optional<std::string> text =
            p::channelText(channel, report.channels[static_cast<std::size_t>(channel - 1)], flag);
        voltages << QStringLiteral("%1 %2 V").arg(channel).arg(text ? fromStd(*text) : QStringLiteral("?"));
    }
    line(QStringLiteral("Voltages"), voltages.mid(0, 4).join(QStringLiteral("   ")));
    lines << QString(15, u' ') + voltages.mid(4).join(QStringLiteral("   "));

    if (timerActive(report)) {
        const std::optional<int> slot = timerSlot(report);
        line(QStringLiteral("Relay timer"), QStringLiteral("runs slot %1 in %2")
                                                .arg(slot ? QString::number(*slot) : QStringLiteral("?"),
                                                     countdownText(report.timerRemaining)));
    } else {
        line(QStringLiteral("Relay timer"), QStringLiteral("Timer  Inactive"));
    }

    if (report.allowedRule == 1) {
        QStringList addresses;
        for (int i = 0; i < 5; ++i)
            addresses << ipText(report.allowedOctets, i);
        line(QStringLiteral("Allowed IPs"), QStringLiteral("only ") + addresses.join(QStringLiteral(", ")));
    } else {
        line(QStringLiteral("Allowed IPs"), QStringLiteral("all"));
    }
    const std::optional<bool> http = httpOn(report);
    line(QStringLiteral("HTTP server"),
         http ? (*http ? QStringLiteral("ON") : QStringLiteral("OFF")) : QStringLiteral("not reported"));
    const std::optional<bool> snmp = snmpOn(report);
    line(QStringLiteral("SNMP access"), snmp
                                            ? (*snmp ? QStringLiteral("ENABLED") : QStringLiteral("DISABLED"))
                                            : QStringLiteral("not reported"));

    if (report.boardPresence && report.boardState) {
        QStringList boards;
        for (std::size_t b = 0; b < 6; ++b) {
            if ((*report.boardPresence)[b] != kBoardFitted)
                continue;
            const std::uint8_t state = (*report.boardState)[b];
            QStringList relaysOfBoard;
            for (std::size_t i = 0; i < 6; ++i)
                relaysOfBoard << boardItemState(kBoardItems[i], state);
            boards << QStringLiteral("%1: relays %2, output %3, light %4")
                          .arg(b + 1)
                          .arg(relaysOfBoard.join(u' '), boardItemState(p::BoardItem::Output, state),
                               boardItemState(p::BoardItem::Light, state));
        }
        line(QStringLiteral("Boards"), boards.isEmpty() ? QStringLiteral("none fitted") : boards.first());
        for (qsizetype i = 1; i < boards.size(); ++i)
            lines << QString(15, u' ') + boards.at(i);
        if (report.toggleCountdown.value_or(0) > 0)
            line(QStringLiteral("Toggle"), QStringLiteral("%1 s left").arg(*report.toggleCountdown));
    } else {
        line(QStringLiteral("Boards"), QStringLiteral("not reported"));
    }
    return lines.join(u'\n') + u'\n';
}

QString statusLine(const p::StatusReport& report, const RangeFlags& flags, const QDateTime& time)
{
    QStringList relays;
    for (const std::optional<bool>& on : report.relayOn) {
        const QString state = relayText(on);
        relays << (state.isEmpty() ? QStringLiteral("====") : state);
    }
    QStringList pins;
    for (const std::optional<int>& pin : report.ioPins)
        pins << (pin ? QString::number(*pin) : QStringLiteral("?"));
    QStringList voltages;
    for (int channel = 1; channel <= 8; ++channel) {
        const std::optional<double> volts = channelVoltage(report, channel, flags);
        voltages << (volts ? numberText(*volts) : QStringLiteral("?"));
    }
    const QString temperature =
        report.temperatureC ? numberText(*report.temperatureC) + QStringLiteral("°C") : QStringLiteral("?");
    const QString timer = timerActive(report)
                              ? QStringLiteral("timer %1").arg(countdownText(report.timerRemaining))
                              : QStringLiteral("timer inactive");
    return QStringLiteral("%1  relays %2  io %3  %4  V %5  %6  uptime %7 s")
        .arg(history::isoUtc(time.toMSecsSinceEpoch()), relays.join(u' '), pins.join(u' '), temperature,
             voltages.join(u' '), timer, numberText(report.uptimeCount));
}

QStringList statusCsvHeader()
{
    QStringList header = {QStringLiteral("time"), QStringLiteral("unit"), QStringLiteral("mac"),
                          QStringLiteral("revision"), QStringLiteral("station_name")};
    for (int channel = 1; channel <= 8; ++channel)
        header << QStringLiteral("v%1").arg(channel);
    for (int relay = 1; relay <= 3; ++relay)
        header << QStringLiteral("relay%1").arg(relay);
    for (int pin = 1; pin <= 5; ++pin)
        header << QStringLiteral("io%1").arg(pin);
    header << QStringLiteral("temperature_c") << QStringLiteral("uptime_s") << QStringLiteral("timer_active")
           << QStringLiteral("timer_remaining_s") << QStringLiteral("timer_slot") << QStringLiteral("http")
           << QStringLiteral("snmp");
    return header;
}

QStringList statusCsvRow(const p::StatusReport& report, const RangeFlags& flags, const QString& unit,
                         const QDateTime& time)
{
    QStringList row = {history::isoUtc(time.toMSecsSinceEpoch()), unit, fromStd(report.macText),
                       fromStd(p::revisionDotted(report.revisionBytes)), unitText(report.stationNameRaw)};
    for (int channel = 1; channel <= 8; ++channel) {
        const std::optional<double> volts = channelVoltage(report, channel, flags);
        row << (volts ? numberText(*volts) : QString());
    }
    for (const std::optional<bool>& on : report.relayOn)
        row << relayText(on);
    for (const std::optional<int>& pin : report.ioPins)
        row << (pin ? QString::number(*pin) : QString());
    row << (report.temperatureC ? numberText(*report.temperatureC) : QString());
    row << numberText(report.uptimeCount);
    row << boolText(timerActive(report));
    row << QString::number(report.timerRemaining);
    const std::optional<int> slot = timerActive(report) ? timerSlot(report) : std::nullopt;
    row << (slot ? QString::number(*slot) : QString());
    row << boolText(httpOn(report)) << boolText(snmpOn(report));
    return row;
}

QString csvRecord(const QStringList& fields)
{
    return text::csvRecord(fields) + QStringLiteral("\r\n");
}

QJsonArray scriptsJson(const p::SlotTable& table)
{
    QJsonArray slotList;
    for (std::size_t s = 0; s < table.size(); ++s) {
        QJsonObject slot;
        slot.insert(QStringLiteral("slot"), static_cast<int>(s + 1));
        slot.insert(QStringLiteral("description"), slotDescription(table[s]));
        slot.insert(QStringLiteral("codes"), slotCodes(table[s]));
        slot.insert(QStringLiteral("steps"), QJsonArray::fromStringList(slotSteps(table[s])));
        slotList.append(slot);
    }
    return slotList;
}

QString scriptsText(const p::SlotTable& table)
{
    QStringList lines;
    for (std::size_t s = 0; s < table.size(); ++s) {
        const QStringList steps = slotSteps(table[s]);
        lines << QStringLiteral("slot %1  %2  %3")
                     .arg(s + 1)
                     .arg(slotDescription(table[s]).leftJustified(16),
                          steps.isEmpty() ? QStringLiteral("(empty)") : steps.join(QStringLiteral(", ")));
    }
    return lines.join(u'\n') + u'\n';
}

QStringList scriptsCsvHeader()
{
    return {QStringLiteral("slot"), QStringLiteral("description"), QStringLiteral("codes"),
            QStringLiteral("steps")};
}

QList<QStringList> scriptsCsvRows(const p::SlotTable& table)
{
    QList<QStringList> rows;
    for (std::size_t s = 0; s < table.size(); ++s) {
        rows << QStringList{QString::number(s + 1), slotDescription(table[s]), slotCodes(table[s]),
                            slotSteps(table[s]).join(QStringLiteral("; "))};
    }
    return rows;
}

QStringList boardStepTexts(const std::array<std::uint8_t, 16>& codes)
{
    QStringList steps;
    for (const std::uint8_t code : codes) {
        if (const std::optional<std::string> text = p::boardStepDisplayText(code))
            steps << fromStd(*text);
    }
    return steps;
}

QJsonArray boardScriptsJson(const std::array<std::string, 16>& descriptions, const p::BoardCodes& codes)
{
    QJsonArray slotList;
    for (std::size_t s = 0; s < descriptions.size(); ++s) {
        QJsonObject slot;
        slot.insert(QStringLiteral("slot"), static_cast<int>(s + 1));
        slot.insert(QStringLiteral("description"), unitText(descriptions[s]));
        QJsonArray slotCodes;
        for (const std::uint8_t code : codes[s])
            slotCodes.append(code);
        slot.insert(QStringLiteral("codes"), slotCodes);
        slot.insert(QStringLiteral("steps"), QJsonArray::fromStringList(boardStepTexts(codes[s])));
        slotList.append(slot);
    }
    return slotList;
}

QString boardScriptsText(const std::array<std::string, 16>& descriptions, const p::BoardCodes& codes)
{
    QStringList lines;
    for (std::size_t s = 0; s < descriptions.size(); ++s) {
        const QStringList steps = boardStepTexts(codes[s]);
        lines << QStringLiteral("slot %1  %2  %3")
                     .arg(QString::number(s + 1).leftJustified(2))
                     .arg(unitText(descriptions[s]).leftJustified(16),
                          steps.isEmpty() ? QStringLiteral("(empty)") : steps.join(QStringLiteral(", ")));
    }
    return lines.join(u'\n') + u'\n';
}

QStringList boardScriptsCsvHeader()
{
    return {QStringLiteral("slot"), QStringLiteral("description"), QStringLiteral("steps")};
}

QList<QStringList> boardScriptsCsvRows(const std::array<std::string, 16>& descriptions,
                                       const p::BoardCodes& codes)
{
    QList<QStringList> rows;
    for (std::size_t s = 0; s < descriptions.size(); ++s) {
        rows << QStringList{QString::number(s + 1), unitText(descriptions[s]),
                            boardStepTexts(codes[s]).join(QStringLiteral("; "))};
    }
    return rows;
}

} // namespace kestavo::cli
