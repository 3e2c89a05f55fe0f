#pragma once

// The kestavo-agent command line.

#include <QHostAddress>
#include <QString>
#include <QStringList>

namespace kestavo::agent {

struct AgentOptions
{
    QString db;            // --db; empty: the console's default station database
    QString history;       // --history FILE|none; empty: history.db beside the station database
    quint16 unitPort = 7;  // --unit-port
    int intervalMs = 5000; // --interval-ms
    QHostAddress listenAddress = QHostAddress(QHostAddress::LocalHost); // --listen ADDR:PORT
    quint16 listenPort = 9877;
    int httpTimeoutSeconds = 10; // --http-timeout: a quiet HTTP connection is closed after this
    QString mqttHost;            // --mqtt HOST:PORT; empty: no MQTT
    int mqttPort = 1883;
    QString mqttPrefix = QStringLiteral("kestavo");
    QString mqttUser;
    QString mqttPasswordFile;
    QString mqttCaFile;
    QString discoveryPrefix = QStringLiteral("homeassistant");
    QString mqttClientId;      // --mqtt-client-id; empty: kestavo-agent-<host>-<pid>
    bool allowControl = false; // --allow-control: relays switchable over MQTT
    // Relay commands over MQTT, per unit: a burst of this many, then one per refill interval.
    int relayBurst = 5;
    int relayRefillMs = 2000;
    int historyStallMs = 15000; // /healthz: history writes blocked this long (a lock) is a problem
    // Schedules (with --allow-control): how often due times are looked at, how long a report may
    // take to show an action, how many sends in all, and how long after the start the missed
    // actions are applied (the leases are taken at the stations' first reports).
    int scheduleTickMs = 1000;
    qint64 scheduleVerifyMs = 20'000;
    int scheduleAttempts = 3;
    int scheduleStartDelayMs = -1; // -1: two poll intervals
    // A station's lease while its agent polls it; a stopped agent's stations are polled by another
    // within three of these.
    int leaseMs = 30'000; // --lease-ms
    // Readings kept in memory while the history cannot be written (the store unreachable, the file
    // locked), in minutes of the directory's polls; past it the oldest go, counted and logged.
    int bufferMinutes = 15; // --buffer-minutes
    int shard = 1;          // --shard K/N: this agent polls the stations whose address hashes to K of N
    int shards = 1;
    QString error; // set: the command line was refused
    bool help = false;
};

AgentOptions parseAgentOptions(const QStringList& arguments);
QString agentHelp();

/// How many samples --buffer-minutes keeps for `stations` polled every --interval-ms; never less
/// than a desk's history keeps.
int bufferSamples(const AgentOptions& options, int stations);

/// Which of `shards` shards (1-based) a station address belongs to: FNV-1a of its text, stable
/// across machines and restarts.
int shardOf(const QString& address, int shards);

} // namespace kestavo::agent
