#include "agentoptions.h"

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
     "Where /metrics, /healthz and /api/v1/stations are served (default 127.0.0.1:9877)."},
    {"mqtt", "HOST:PORT", "Publish to this MQTT broker (default: no MQTT)."},
    {"mqtt-prefix", "P", "Topic prefix (default kestavo)."},
    {"mqtt-user", "U", "Broker user name."},
    {"mqtt-password-file", "F", "File holding the broker password (never on the command line)."},
    {"mqtt-cafile", "F", "CA certificate: connect to the broker with TLS."},
    {"ha-discovery-prefix", "P", "Home Assistant discovery prefix (default homeassistant)."},
    {"shard", "K/N", "Poll only the stations whose address hashes to shard K of N (1 <= K <= N)."},
    {"allow-control", "", "Let MQTT switch relays: <prefix>/<unit>/relay/<n>/set with ON or OFF."},
};

} // namespace

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
        QString host;
        int port = 0;
        if (!hostPort(value("listen"), &host, &port) || QHostAddress(host).isNull()) {
            options.error = QStringLiteral("--listen needs ADDR:PORT such as 127.0.0.1:9877, not \"%1\".")
                                .arg(value("listen"));
            return options;
        }
        options.listenAddress = QHostAddress(host);
        options.listenPort = quint16(port);
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
    options.mqttUser = value("mqtt-user");
    options.mqttPasswordFile = value("mqtt-password-file");
    options.mqttCaFile = value("mqtt-cafile");
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
