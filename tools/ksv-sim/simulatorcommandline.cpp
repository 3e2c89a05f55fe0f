#include "ksv-sim/simulatorcommandline.h"

#include <cmath>
#include <limits>
#include <optional>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QRegularExpression>

namespace kestavo::sim {

namespace {

struct OptionEntry
{
    const char* name;
    const char* valueName; // nullptr: a switch
    const char* description;
};

// The one list behind both the parser and --help.
const OptionEntry kOptions[] = {
    {"bind", "ADDR", "Loopback address to listen on; only 127.0.0.0/8 is accepted. Default 127.0.0.1."},
    {"port", "N",
     "UDP port of the (first) unit. Default 7, which needs root: use e.g. 7007. 0 lets the system choose."},
    {"password", "P", "Remote password as typed, padded with '*' to 10 characters. Default \"password\"."},
    {"firmware", "A.B.C",
     "Firmware revision reported at positions 66-68. Default 1.7.2. Fields newer than the revision are sent "
     "as "
     "0 (HTTP above 167, daughter boards above 169, SNMP above 170)."},
    {"boards", "LIST",
     "Fitted relay daughter boards, e.g. 1,4, or \"none\". Default none (1,4 with --demo)."},
    {"units", "N", "Number of simulated units, on consecutive ports from --port (at most 10000). Default 1."},
    {"address-per-unit", nullptr,
     "Unit k listens on the k-th loopback address counted from --bind (127.0.1.1, 127.0.1.2, ...), all on "
     "the same --port, as a real fleet is many addresses on port 7. One socket serves them all, so --units "
     "may go up to 1000000; the fault options and --http-port are not available then."},
    {"seed", "N",
     "Seed of the injected faults and of the unit's own randomness (unit k uses N+k-1). Default 1."},
    {"loss", "P", "Probability that a reply is lost: 0..1 or a percentage such as 5%."},
    {"duplicate", "P", "Probability that a reply is sent twice."},
    {"reorder", "P", "Probability that a reply is held back and sent after the next one."},
    {"delay-ms", "A[-B]", "Delay every reply by A ms, or by a time drawn from A to B ms."},
    {"truncate", "P", "Probability that a reply is cut short."},
    {"wrong-verdict", "P", "Probability that a reply says the password was rejected (position 11 = 1)."},
    {"silent-after", "N", "Answer nothing at all after N frames received (a unit that dies)."},
    {"http-port", "N",
     "Serve the status web page on this TCP port (unit k on N+k-1) while the unit's HTTP server is on."},
    {"verbose", nullptr, "Print one line per frame received."},
    {"demo", nullptr,
     "Liven the unit up: an I/O pin flips now and then, sample scripts fill a few slots, boards 1 and 4 "
     "are fitted unless --boards says otherwise."},
    {"steady", nullptr, "No temperature drift and no ADC waveforms: readings stay where they are set."},
    {"short-reports", nullptr,
     "End status reports where the revision's fields end (122, 123, 136 or 137 bytes) instead of always "
     "sending 137."},
    {"name", "TEXT",
     "Station name, 20 characters at most. Default \"KSV Simulator\" (numbered with --units)."},
    {"mac", "MAC",
     "MAC address as six hexadecimal bytes, e.g. 00:0A:1B:2C:3D:4E (the default); further units count the "
     "last byte up."},
    {"temperature", "C", "Starting temperature in whole or half degrees Celsius, e.g. 23.5. Default 23."},
    {"uptime", "S", "Uptime counter at start, in seconds. Default 0."},
    {"help", nullptr, "Show this text."},
    {"version", nullptr, "Show the simulator's version."},
};

QString optionName(const char* name)
{
    return QLatin1String(name);
}

std::optional<double> probability(const QString& text)
{
    QString t = text.trimmed();
    double scale = 1;
    if (t.endsWith(QLatin1Char('%'))) {
        t.chop(1);
        scale = 100;
    }
    bool ok = false;
    const double value = t.toDouble(&ok) / scale;
    if (!ok || !std::isfinite(value) || value < 0 || value > 1)
        return std::nullopt;
    return value;
}

std::optional<long long> integer(const QString& text, long long low, long long high)
{
    bool ok = false;
    const long long value = text.trimmed().toLongLong(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace

QString SimulatorCommandLine::helpText()
{
    QString text = QStringLiteral("Usage: ksv-sim [options]\n"
                                  "A simulated KSV unit (or several) answering command frames on UDP.\n\n"
                                  "Options:\n");
    for (const OptionEntry& entry : kOptions) {
        QString left = QStringLiteral("  --") + optionName(entry.name);
        if (entry.valueName)
            left += QLatin1Char(' ') + QLatin1String(entry.valueName);
        text += left.leftJustified(24) + QLatin1String(entry.description) + QLatin1Char('\n');
    }
    text += QStringLiteral("\nExample: ksv-sim --port 7007 --password secret --firmware 1.7.0 --boards 1,4 "
                           "--loss 5% --delay-ms 20-80 --verbose\n");
    return text;
}

SimulatorCommandLine::Result SimulatorCommandLine::parse(const QStringList& arguments)
{
    Result result;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionEntry& entry : kOptions) {
        QCommandLineOption option(optionName(entry.name), QLatin1String(entry.description));
        if (entry.valueName)
            option.setValueName(QLatin1String(entry.valueName));
        parser.addOption(option);
    }
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error = QStringLiteral("Unexpected argument \"%1\"; see ksv-sim --help.")
                           .arg(parser.positionalArguments().constFirst());
        return result;
    }
    result.showHelp = parser.isSet(QStringLiteral("help"));
    result.showVersion = parser.isSet(QStringLiteral("version"));
    result.verbose = parser.isSet(QStringLiteral("verbose"));
    if (result.showHelp || result.showVersion)
        return result;

    auto value = [&parser](const char* name) {
        return parser.value(optionName(name));
    };
    auto isSet = [&parser](const char* name) {
        return parser.isSet(optionName(name));
    };
    auto refuse = [&result](const QString& message) {
        result.error = message;
        return result;
    };

    SimulatedUnit::Config base;
    const bool demo = isSet("demo");
    const bool steady = isSet("steady");
    base.unit.drift = !steady;
    base.unit.waveforms = !steady;
    base.unit.flipPins = demo;
    base.unit.sampleScripts = demo;
    base.unit.fullLengthReports = !isSet("short-reports");

    if (isSet("bind")) {
        const QHostAddress address(value("bind"));
        if (address.isNull())
            return refuse(QStringLiteral("--bind needs an IPv4 address such as 127.0.0.1, not \"%1\".")
                              .arg(value("bind")));
        if (!SimulatedUnit::isLoopback(address)) {
            return refuse(
                QStringLiteral("--bind %1 refused: the simulator only listens on loopback addresses "
                               "(127.0.0.0/8), such as 127.0.0.1 or 127.0.0.2.")
                    .arg(value("bind")));
        }
        base.bindAddress = address;
    }

    long long port = 7;
    if (isSet("port")) {
        const auto parsed = integer(value("port"), 0, 65535);
        if (!parsed)
            return refuse(
                QStringLiteral("--port needs a number from 0 to 65535, not \"%1\".").arg(value("port")));
        port = *parsed;
    }

    if (isSet("password")) {
        const QString password = value("password");
        if (password.isEmpty() || password.size() > 10 || password.contains(QLatin1Char(' ')) ||
            password.toLatin1() != password.toUtf8()) {
            return refuse(QStringLiteral("--password needs 1 to 10 characters without spaces, as the console "
                                         "stores them."));
        }
        base.unit.password = password.toStdString();
    }

    if (isSet("firmware")) {
        static const QRegularExpression pattern(QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$"));
        const QRegularExpressionMatch match = pattern.match(value("firmware"));
        bool ok = match.hasMatch();
        for (int i = 0; ok && i < 3; ++i) {
            const int byte = match.captured(i + 1).toInt();
            ok = byte <= 255;
            base.unit.firmware[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(byte);
        }
        if (!ok) {
            return refuse(
                QStringLiteral("--firmware needs three numbers 0-255 joined by dots, such as 1.7.2, "
                               "not \"%1\".")
                    .arg(value("firmware")));
        }
    }

    if (isSet("boards")) {
        const QString list = value("boards").trimmed();
        if (list.compare(QStringLiteral("none"), Qt::CaseInsensitive) != 0 && !list.isEmpty()) {
            for (const QString& item : list.split(QLatin1Char(','))) {
                const auto board = integer(item, 1, 6);
                if (!board) {
                    return refuse(QStringLiteral("--boards needs board numbers 1 to 6 separated by commas, "
                                                 "such as 1,4, not \"%1\".")
                                      .arg(list));
                }
                base.unit.boards[static_cast<std::size_t>(*board - 1)] = true;
            }
        }
    } else if (demo) {
        base.unit.boards[0] = true;
        base.unit.boards[3] = true;
    }

    const bool addressPerUnit = isSet("address-per-unit");
    result.addressPerUnit = addressPerUnit;
    const long long maxUnits = addressPerUnit ? 1000000 : 10000;
    long long units = 1;
    if (isSet("units")) {
        const auto parsed = integer(value("units"), 1, maxUnits);
        if (!parsed)
            return refuse(QStringLiteral("--units needs a number from 1 to %1, not \"%2\".")
                              .arg(maxUnits)
                              .arg(value("units")));
        units = *parsed;
    }
    if (addressPerUnit) {
        const quint32 first = base.bindAddress.toIPv4Address();
        if (first + static_cast<quint64>(units) - 1 > 0x7FFFFFFFu)
            return refuse(QStringLiteral("%1 units from %2 run past 127.255.255.255.")
                              .arg(units)
                              .arg(base.bindAddress.toString()));
        for (const char* option : {"loss", "duplicate", "reorder", "delay-ms", "truncate", "wrong-verdict",
                                   "silent-after", "http-port"}) {
            if (isSet(option))
                return refuse(
                    QStringLiteral("--%1 is not available with --address-per-unit.").arg(optionName(option)));
        }
    } else if (port != 0 && port + units - 1 > 65535) {
        return refuse(QStringLiteral("%1 units from port %2 run past port 65535.").arg(units).arg(port));
    }

    long long seed = 1;
    if (isSet("seed")) {
        const auto parsed = integer(value("seed"), 0, 4294967295LL);
        if (!parsed)
            return refuse(
                QStringLiteral("--seed needs a number from 0 to 4294967295, not \"%1\".").arg(value("seed")));
        seed = *parsed;
    }

    struct ProbabilityOption
    {
        const char* name;
        double* target;
    };
    const ProbabilityOption probabilities[] = {
        {"loss", &base.faults.loss},
        {"duplicate", &base.faults.duplicate},
        {"reorder", &base.faults.reorder},
        {"truncate", &base.faults.truncate},
        {"wrong-verdict", &base.faults.wrongVerdict},
    };
    for (const ProbabilityOption& option : probabilities) {
        if (!isSet(option.name))
            continue;
        const auto parsed = probability(value(option.name));
        if (!parsed) {
            return refuse(QStringLiteral("--%1 needs a probability from 0 to 1 or a percentage such as 5%, "
                                         "not \"%2\".")
                              .arg(optionName(option.name), value(option.name)));
        }
        *option.target = *parsed;
    }

    if (isSet("delay-ms")) {
        static const QRegularExpression pattern(QStringLiteral("^(\\d{1,6})(?:-(\\d{1,6}))?$"));
        const QRegularExpressionMatch match = pattern.match(value("delay-ms").trimmed());
        const int low = match.captured(1).toInt();
        const int high = match.captured(2).isEmpty() ? low : match.captured(2).toInt();
        if (!match.hasMatch() || high < low) {
            return refuse(
                QStringLiteral("--delay-ms needs milliseconds A or a range A-B with A <= B, such as "
                               "50 or 20-80, not \"%1\".")
                    .arg(value("delay-ms")));
        }
        base.faults.delayMinMs = low;
        base.faults.delayMaxMs = high;
    }

    if (isSet("silent-after")) {
        const auto parsed = integer(value("silent-after"), 0, std::numeric_limits<long long>::max());
        if (!parsed) {
            return refuse(QStringLiteral("--silent-after needs a number of frames, not \"%1\".")
                              .arg(value("silent-after")));
        }
        base.faults.silentAfter = *parsed;
    }

    long long httpPort = -1;
    if (isSet("http-port")) {
        const auto parsed = integer(value("http-port"), 0, 65535);
        if (!parsed || (*parsed != 0 && *parsed + units - 1 > 65535)) {
            return refuse(
                QStringLiteral("--http-port needs a TCP port from 0 to 65535 (leaving room for every "
                               "unit), not \"%1\".")
                    .arg(value("http-port")));
        }
        httpPort = *parsed;
    }

    QString name = QStringLiteral("KSV Simulator");
    if (isSet("name")) {
        name = value("name");
        if (name.size() > 20 || name.toLatin1() != name.toUtf8())
            return refuse(QStringLiteral("--name takes at most 20 plain ASCII characters."));
    }

    if (isSet("mac")) {
        static const QRegularExpression pattern(
            QStringLiteral("^([0-9A-Fa-f]{2})[:-]([0-9A-Fa-f]{2})[:-]([0-9A-Fa-f]{2})[:-]([0-9A-Fa-f]{2})[:-]"
                           "([0-9A-Fa-f]{2})[:-]([0-9A-Fa-f]{2})$"));
        const QRegularExpressionMatch match = pattern.match(value("mac").trimmed());
        if (!match.hasMatch()) {
            return refuse(
                QStringLiteral("--mac needs six hexadecimal bytes such as 00:0A:1B:2C:3D:4E, not \"%1\".")
                    .arg(value("mac")));
        }
        for (int i = 0; i < 6; ++i)
            base.unit.mac[static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(match.captured(i + 1).toUInt(nullptr, 16));
    }

    if (isSet("temperature")) {
        bool ok = false;
        const double celsius = value("temperature").toDouble(&ok);
        const double halves = celsius * 2;
        if (!ok || !std::isfinite(celsius) || halves != std::round(halves) || celsius < -255 ||
            celsius > 255) {
            return refuse(
                QStringLiteral("--temperature needs whole or half degrees Celsius from -255 to 255, "
                               "such as 23.5, not \"%1\".")
                    .arg(value("temperature")));
        }
        base.unit.temperatureHalves = static_cast<int>(halves);
    }

    if (isSet("uptime")) {
        const auto parsed = integer(value("uptime"), 0, 4294967295LL);
        if (!parsed)
            return refuse(QStringLiteral("--uptime needs seconds from 0 to 4294967295, not \"%1\".")
                              .arg(value("uptime")));
        base.unit.uptimeSeconds = static_cast<std::uint32_t>(*parsed);
    }

    for (long long k = 0; k < units; ++k) {
        SimulatedUnit::Config config = base;
        config.port = static_cast<quint16>(port == 0 || addressPerUnit ? port : port + k);
        if (addressPerUnit) {
            config.bindAddress = QHostAddress(base.bindAddress.toIPv4Address() + static_cast<quint32>(k));
            // Three bytes of MAC count up, so that every unit of a large fleet has its own.
            const quint32 low =
                (quint32(base.unit.mac[3]) << 16 | quint32(base.unit.mac[4]) << 8 | base.unit.mac[5]) +
                static_cast<quint32>(k);
            config.unit.mac[3] = static_cast<std::uint8_t>(low >> 16);
            config.unit.mac[4] = static_cast<std::uint8_t>(low >> 8);
        }
        config.httpPort = httpPort <= 0 ? static_cast<int>(httpPort) : static_cast<int>(httpPort + k);
        config.unit.seed = static_cast<std::uint32_t>(seed + k);
        config.faults.seed = static_cast<std::uint32_t>(seed + k);
        config.unit.mac[5] = static_cast<std::uint8_t>(base.unit.mac[5] + k);
        config.unit.stationName =
            (units > 1 && !isSet("name") ? QStringLiteral("%1 %2").arg(name).arg(k + 1) : name).toStdString();
        result.units.push_back(config);
    }
    return result;
}

} // namespace kestavo::sim
