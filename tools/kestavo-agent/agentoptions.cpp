#include "agentoptions.h"

#include <algorithm>
#include <limits>

#include <QCommandLineParser>

namespace kestavo::agent {

namespace {

bool hostPort(const QString& text, QString* host, int* port)
{
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0)
        return false;
    bool ok = false;
    const int p = text.mid(colon + 1).toInt(&ok);
    if (!ok || p < 0 || p > 65535)
        return false;
    *host = text.left(colon);
    *port = p;
    return true;
}

bool isPort(const QString& text, int* port)
{
    if (text.isEmpty() || text.size() > 5)
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    *port = text.toInt();
    return *port <= 65535;
}

// Four decimal octets, no leading zeros (which some readers take for octal), nothing else: "0",
// "127.1" and "127.000.0.1" are refused rather than guessed at.
bool isDottedQuad(const QString& text)
{
    const QStringList octets = text.split(u'.');
    if (octets.size() != 4)
        return false;
    for (const QString& octet : octets) {
        int value = 0;
        if (!isPort(octet, &value) || octet.size() > 3 || value > 255 ||
            (octet.size() > 1 && octet.startsWith(u'0')))
            return false;
    }
    return true;
}

// ADDR:PORT with a dotted-quad IPv4 address or [IPv6]:PORT.
bool listenAddress(const QString& text, QHostAddress* address, int* port)
{
    QString host;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(QStringLiteral("]:"));
        if (close < 0)
            return false;
        host = text.mid(1, close - 1);
        if (!isPort(text.mid(close + 2), port) || !host.contains(u':'))
            return false;
    } else {
        const qsizetype colon = text.indexOf(u':');
        if (colon < 0 || !isPort(text.mid(colon + 1), port))
            return false;
        host = text.left(colon);
        if (!isDottedQuad(host))
            return false;
    }
    *address = QHostAddress(host);
    return !address->isNull();
}

struct Option
{
    const char* name;
    const char* value;
    const char* help;
};

const Option kOptions[] = {
    {"db", "FILE", "Station database (default: the one the console opens)."},
    {"history", "FILE|none", "History file (default: history.db beside the station database)."},
    {"unit-port", "N", "The units' UDP port (default 7)."},
    {"interval-ms", "N", "Poll interval per unit, 1000 to 3600000 ms (default 5000)."},
    {"listen", "ADDR:PORT",
     "Where /metrics, /healthz and /api/v1/stations are served: an IPv4 address or [IPv6], and a port "
     "(default 127.0.0.1:9877)."},
    {"http-timeout", "S", "Close an HTTP connection quiet for S seconds, 1 to 10 (default 10)."},
    {"mqtt", "HOST:PORT", "Publish to this MQTT broker (default: no MQTT)."},
    {"mqtt-prefix", "P", "Topic prefix (default kestavo)."},
    {"mqtt-user", "U", "Broker user name."},
    {"mqtt-password-file", "F", "File holding the broker password (never on the command line)."},
    {"mqtt-cafile", "F", "CA certificate: connect to the broker with TLS."},
    {"mqtt-client-id", "ID",
     "MQTT client id, also naming <prefix>/agent/<ID>/status (default: kestavo-agent-<host>-<pid>, "
     "status under the host name)."},
    {"ha-discovery-prefix", "P", "Home Assistant discovery prefix (default homeassistant)."},
    {"shard", "K/N",
     "Poll the stations whose address hashes to shard K of N (1 <= K <= N); with a history, also those of "
     "a shard whose agent stopped, until it is back."},
    {"buffer-minutes", "M",
     "Readings kept in memory while the history cannot be written, in minutes of polls of every station, "
     "1 to 1440 (default 15; about 100 bytes a reading); past it the oldest are dropped and counted."},
    {"lease-ms", "N",
     "How long a station's lease lasts, 3000 to 600000 ms (default 30000): agents sharing a history take "
     "over a stopped agent's stations within three of these."},
    {"allow-control", "", "Let MQTT switch relays: <prefix>/<unit>/relay/<n>/set with ON or OFF."},
};

} // namespace

int bufferSamples(const AgentOptions& options, int stations)
{
    const qint64 perStation = qint64(options.bufferMinutes) * 60'000 / std::max(1, options.intervalMs);
    return int(std::clamp<qint64>(perStation * stations, 100'000, std::numeric_limits<int>::max()));
}

int shardOf(const QString& address, int shards)
{
    quint32 hash = 2166136261u;
    for (const char c : address.toUtf8()) {
        hash ^= quint8(c);
        hash *= 16777619u;
    }
    return int(hash % quint32(shards)) + 1;
}

QString agentHelp()
{
    QString text = QStringLiteral("Usage: kestavo-agent [options]\nPolls every station of the directory and "
                                  "serves Prometheus metrics and MQTT.\n\n");
    for (const Option& o : kOptions)
        text += QStringLiteral("  --%1 %2\n      %3\n")
                    .arg(QLatin1String(o.name), QLatin1String(o.value), QLatin1String(o.help));
    return text;
}

AgentOptions parseAgentOptions(const QStringList& arguments)
{
    AgentOptions options;
    QCommandLineParser parser;
    for (const Option& o : kOptions) {
        parser.addOption(*o.value ? QCommandLineOption(QLatin1String(o.name), QLatin1String(o.help),
                                                       QLatin1String(o.value))
                                  : QCommandLineOption(QLatin1String(o.name), QLatin1String(o.help)));
    }
    parser.addOption(QCommandLineOption(QStringLiteral("help")));
    if (!parser.parse(arguments)) {
        options.error = parser.errorText();
        return options;
    }
    options.help = parser.isSet(QStringLiteral("help"));
    options.allowControl = parser.isSet(QStringLiteral("allow-control"));
    const auto value = [&parser](const char* name) {
        return parser.value(QLatin1String(name));
    };
    const auto isSet = [&parser](const char* name) {
        return parser.isSet(QLatin1String(name));
    };
    options.db = value("db");
    options.history = value("history");
    bool ok = true;
    if (isSet("unit-port")) {
        const int port = value("unit-port").toInt(&ok);
        if (!ok || port < 1 || port > 65535) {
            options.error = QStringLiteral("--unit-port needs a port from 1 to 65535, not \"%1\".")
                                .arg(value("unit-port"));
            return options;
        }
        options.unitPort = quint16(port);
    }
    if (isSet("interval-ms")) {
        options.intervalMs = value("interval-ms").toInt(&ok);
        if (!ok || options.intervalMs < 1000 || options.intervalMs > 3600000) {
            options.error =
                QStringLiteral("--interval-ms needs 1000 to 3600000, not \"%1\".").arg(value("interval-ms"));
            return options;
        }
    }
    if (isSet("listen")) {
        int port = 0;
        if (!listenAddress(value("listen"), &options.listenAddress, &port)) {
            options.error =
                QStringLiteral("--listen needs ADDR:PORT such as 127.0.0.1:9877 or [::1]:9877, not \"%1\".")
                    .arg(value("listen"));
            return options;
        }
        options.listenPort = quint16(port);
    }
    if (isSet("http-timeout")) {
        options.httpTimeoutSeconds = value("http-timeout").toInt(&ok);
        if (!ok || options.httpTimeoutSeconds < 1 || options.httpTimeoutSeconds > 10) {
            options.error = QStringLiteral("--http-timeout needs 1 to 10 seconds, not \"%1\".")
                                .arg(value("http-timeout"));
            return options;
        }
    }
    if (isSet("mqtt")) {
        if (!hostPort(value("mqtt"), &options.mqttHost, &options.mqttPort) || options.mqttPort == 0) {
            options.error = QStringLiteral("--mqtt needs HOST:PORT such as 127.0.0.1:1883, not \"%1\".")
                                .arg(value("mqtt"));
            return options;
        }
    }
    if (isSet("mqtt-prefix"))
        options.mqttPrefix = value("mqtt-prefix");
    if (isSet("ha-discovery-prefix"))
        options.discoveryPrefix = value("ha-discovery-prefix");
    for (const QString& prefix : {options.mqttPrefix, options.discoveryPrefix}) {
        if (prefix.isEmpty() || prefix.contains(u'+') || prefix.contains(u'#')) {
            options.error = QStringLiteral("A topic prefix may be neither empty nor hold '+' or '#': \"%1\".")
                                .arg(prefix);
            return options;
        }
    }
    if (isSet("mqtt-client-id")) {
        options.mqttClientId = value("mqtt-client-id");
        const bool plain =
            std::all_of(options.mqttClientId.cbegin(), options.mqttClientId.cend(), [](QChar c) {
                return (c.unicode() < 0x80 && c.isLetterOrNumber()) || c == u'-' || c == u'_' || c == u'.';
            });
        if (options.mqttClientId.isEmpty() || options.mqttClientId.size() > 64 || !plain) {
            options.error = QStringLiteral("--mqtt-client-id needs 1 to 64 letters, digits, '-', '_' or '.', "
                                           "not \"%1\".")
                                .arg(options.mqttClientId);
            return options;
        }
    }
    options.mqttUser = value("mqtt-user");
    options.mqttPasswordFile = value("mqtt-password-file");
    options.mqttCaFile = value("mqtt-cafile");
    if (isSet("buffer-minutes")) {
        options.bufferMinutes = value("buffer-minutes").toInt(&ok);
        if (!ok || options.bufferMinutes < 1 || options.bufferMinutes > 1440) {
            options.error =
                QStringLiteral("--buffer-minutes needs 1 to 1440, not \"%1\".").arg(value("buffer-minutes"));
            return options;
        }
    }
    if (isSet("lease-ms")) {
        options.leaseMs = value("lease-ms").toInt(&ok);
        if (!ok || options.leaseMs < 3000 || options.leaseMs > 600'000) {
            options.error =
                QStringLiteral("--lease-ms needs 3000 to 600000, not \"%1\".").arg(value("lease-ms"));
            return options;
        }
    }
    if (isSet("shard")) {
        const QStringList parts = value("shard").split(u'/');
        bool okK = false;
        bool okN = false;
        if (parts.size() == 2) {
            options.shard = parts[0].toInt(&okK);
            options.shards = parts[1].toInt(&okN);
        }
        if (!okK || !okN || options.shards < 1 || options.shard < 1 || options.shard > options.shards) {
            options.error = QStringLiteral("--shard needs K/N with 1 <= K <= N, such as 2/3, not \"%1\".")
                                .arg(value("shard"));
            return options;
        }
    }
    return options;
}

} // namespace kestavo::agent
