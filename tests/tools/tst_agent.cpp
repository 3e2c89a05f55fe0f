// kestavo-agent against a simulated fleet and real servers on loopback started here: the HTTP
// endpoints with `promtool check metrics` on a real scrape, a mosquitto broker with a subscriber
// reading the retained topics, and the agent process stopped with SIGTERM.

#include <array>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include "protocol/conversions.h"
#include "protocol/frames.h"

#include "stations/stationstore.h"

#include "agent.h"
#include "fleetrig.h"
#include "history/alarmjournal.h"
#include "history/auditlog.h"
#include "history/historyreader.h"
#include "mqttpublisher.h"
#include "notify/notifystore.h"
#include "receivers.h"
#include "schedules/schedulestore.h"

using namespace kestavo;
using testsupport::SimFleetRig;

namespace {

quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

struct Http
{
    int status = 0;
    QByteArray body;
};

Http request(const QByteArray& verb, const QString& url)
{
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.sendCustomRequest(QNetworkRequest(QUrl(url)), verb);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    Http result{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
    reply->deleteLater();
    return result;
}

// A broker of our own on a free loopback port.
struct Broker
{
    // persistent: keeps retained messages across a restart in the folder, as brokers usually do.
    explicit Broker(const QTemporaryDir& dir, const QString& tls = {}, bool persistent = false)
        : port(freePort()), tlsLines(tls), persistent(persistent)
    {
        start(dir);
    }
    void start(const QTemporaryDir& dir)
    {
        const QString config = dir.filePath(QStringLiteral("mosquitto.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return;
        const QString persistence =
            persistent ? QStringLiteral("persistence true\npersistence_location %1/\nlog_dest stderr\n%2")
                             .arg(dir.path(), ::geteuid() == 0 ? QStringLiteral("user root\n") : QString())
                       : QStringLiteral("persistence false\n");
        file.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n%2%3")
                       .arg(port)
                       .arg(persistence, tlsLines)
                       .toUtf8());
        file.close();
        process.start(QStringLiteral("/usr/sbin/mosquitto"), {QStringLiteral("-c"), config});
        started = process.waitForStarted() && QTest::qWaitFor(
                                                  [this] {
                                                      QTcpSocket probe;
                                                      probe.connectToHost(QHostAddress::LocalHost, port);
                                                      return probe.waitForConnected(100);
                                                  },
                                                  5000);
    }
    ~Broker() { stop(); }
    void stop()
    {
        process.terminate();
        process.waitForFinished(3000);
        log += QString::fromUtf8(process.readAllStandardError() + process.readAllStandardOutput());
    }
    void publish(const QString& topic, const QByteArray& payload, bool retain = false) const
    {
        QStringList arguments{QStringLiteral("-h"),  QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                              QString::number(port), QStringLiteral("-t"),        topic,
                              QStringLiteral("-m"),  QString::fromUtf8(payload)};
        if (retain)
            arguments << QStringLiteral("-r");
        QProcess::execute(QStringLiteral("mosquitto_pub"), arguments);
    }
    // Many messages on one topic in one connection, as fast as the broker takes them.
    void publishLines(const QString& topic, const QByteArray& lines) const
    {
        QProcess pub;
        pub.start(QStringLiteral("mosquitto_pub"),
                  {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                   QString::number(port), QStringLiteral("-t"), topic, QStringLiteral("-l")});
        pub.waitForStarted();
        pub.write(lines);
        pub.closeWriteChannel();
        pub.waitForFinished(10000);
    }
    // Every retained message under the topics, as "topic payload" lines.
    QStringList retained(const QStringList& topics) const
    {
        QStringList arguments = {QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                                 QStringLiteral("-p"), QString::number(port),
                                 QStringLiteral("-v"), QStringLiteral("--retained-only"),
                                 QStringLiteral("-W"), QStringLiteral("2")};
        for (const QString& topic : topics)
            arguments << QStringLiteral("-t") << topic;
        QProcess sub;
        sub.start(QStringLiteral("mosquitto_sub"), arguments);
        sub.waitForFinished(10000);
        return QString::fromUtf8(sub.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    }

    quint16 port;
    QString tlsLines; // cafile/certfile/keyfile lines: a TLS listener
    bool persistent = false;
    QString log; // the broker's log of the runs stopped so far (persistent brokers only)
    QProcess process;
    bool started = false;
};

// Raw HTTP on loopback, to send what a well-behaved client never would.
int connectTo(quint16 port, bool blocking = true)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | (blocking ? 0 : SOCK_NONBLOCK), 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return fd;
}

// Sends `total` bytes of `chunk` repeated after `head`, until done or the peer stops taking them.
qint64 sendFlood(int fd, const QByteArray& head, qint64 total)
{
    if (::send(fd, head.constData(), std::size_t(head.size()), MSG_NOSIGNAL) != head.size())
        return 0;
    const QByteArray chunk(1 << 20, 'a');
    qint64 sent = 0;
    while (sent < total) {
        const ssize_t n = ::send(fd, chunk.constData(), std::size_t(chunk.size()), MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += n;
    }
    return sent;
}

// What arrives within timeoutMs, and whether the peer closed the connection.
QByteArray readReply(int fd, int timeoutMs, bool* closed = nullptr)
{
    QByteArray reply;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0 || ::poll(&p, 1, left) <= 0)
            break;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            if (closed)
                *closed = true;
            return reply;
        }
        reply.append(buffer, n);
    }
    if (closed)
        *closed = false;
    return reply;
}

qint64 peakKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

QString payloadOf(const QStringList& lines, const QString& topic)
{
    for (const QString& line : lines) {
        if (line.startsWith(topic + u' '))
            return line.mid(topic.size() + 1);
    }
    return QStringLiteral("<no %1>").arg(topic);
}

QStringList g_log;
void recordLog(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_log << message;
}

} // namespace

class TestAgent final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void options_data();
    void options();
    void httpEndpointsAndPromtool();
    void httpLimits();
    void mqttRetainedTopicsAndDiscovery();
    void sigtermLeavesAnIntactHistory();
    void killedAgentLeavesItsLastWill();
    void relayControlOnlyWithAllowControl();
    void staleRetainedCommandNeverRuns();
    void brokerLossRepublishesAfterReconnect();
    void tlsWithTheGivenCa();
    void stationFileChangeReloads();
    void historyHealth_data();
    void historyHealth();
    void alarmsAreNotifiedByTheAgent();
    void schedulesRunWithAllowControl();
    void twoAgentsSwitchOnce();

private:
    QString writeStations(const SimFleetRig& sim, const QString& password);
    // The simulated fleet's stations (password "Ag3nt"), polled once a second, metrics on a free port.
    agent::AgentOptions optionsFor(const SimFleetRig& sim, const QString& history);
    QTemporaryDir m_dir;
};

void TestAgent::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString TestAgent::writeStations(const SimFleetRig& sim, const QString& password)
{
    const QString path = m_dir.filePath(QStringLiteral("stations-%1.dat").arg(sim.fleet->port()));
    stations::StationStore store;
    if (!store.open(path).ok)
        return {};
    for (int k = 0; k < sim.fleet->count(); ++k)
        store.add(sim.fleet->address(k).toString(), password, QStringLiteral("Site \"%1\"").arg(k + 1));
    store.findAddress(sim.fleet->address(0).toString());
    store.writeCurrent({{QStringLiteral("Label1voltage"), QStringLiteral("Battery bank")}});
    return path;
}

agent::AgentOptions TestAgent::optionsFor(const SimFleetRig& sim, const QString& history)
{
    agent::AgentOptions options;
    options.db = writeStations(sim, QStringLiteral("Ag3nt"));
    options.history = history;
    options.unitPort = sim.fleet->port();
    options.intervalMs = 1000;
    options.listenPort = 0;
    return options;
}

void TestAgent::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error"); // empty: accepted
    QTest::newRow("defaults") << QStringList() << QString();
    QTest::newRow("shard") << QStringList({QStringLiteral("--shard"), QStringLiteral("2/3")}) << QString();
    QTest::newRow("shard zero") << QStringList({QStringLiteral("--shard"), QStringLiteral("0/3")})
                                << QStringLiteral("--shard needs K/N");
    QTest::newRow("shard past N") << QStringList({QStringLiteral("--shard"), QStringLiteral("4/3")})
                                  << QStringLiteral("--shard needs K/N");
    QTest::newRow("listen without port")
        << QStringList({QStringLiteral("--listen"), QStringLiteral("127.0.0.1")})
        << QStringLiteral("--listen needs ADDR:PORT");
    QTest::newRow("listen IPv6") << QStringList({QStringLiteral("--listen"), QStringLiteral("[::1]:9877")})
                                 << QString();
    for (const char* refused : {"0:9877", "127.0.0.010:9877", "127.1:9877", "127.0.0.1:+80",
                                "127.0.0.1:99999", "127.0.0.1: 80", "[::1]", "::1:9877", "localhost:9877"}) {
        QTest::newRow(refused) << QStringList({QStringLiteral("--listen"), QLatin1String(refused)})
                               << QStringLiteral("--listen needs ADDR:PORT");
    }
    QTest::newRow("http timeout") << QStringList({QStringLiteral("--http-timeout"), QStringLiteral("11")})
                                  << QStringLiteral("--http-timeout needs 1 to 10");
    QTest::newRow("client id") << QStringList({QStringLiteral("--mqtt-client-id"), QStringLiteral("a/b")})
                               << QStringLiteral("--mqtt-client-id needs");
    QTest::newRow("interval too short")
        << QStringList({QStringLiteral("--interval-ms"), QStringLiteral("999")})
        << QStringLiteral("--interval-ms needs");
    QTest::newRow("wildcard prefix") << QStringList({QStringLiteral("--mqtt-prefix"), QStringLiteral("a/#")})
                                     << QStringLiteral("topic prefix");
    QTest::newRow("control") << QStringList(QStringLiteral("--allow-control")) << QString();
    QTest::newRow("lease shorter than polls can renew")
        << QStringList({QStringLiteral("--lease-ms"), QStringLiteral("500")})
        << QStringLiteral("--lease-ms needs 3000");
    QTest::newRow("no buffer") << QStringList({QStringLiteral("--buffer-minutes"), QStringLiteral("0")})
                               << QStringLiteral("--buffer-minutes needs 1 to 1440");
}

void TestAgent::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    const agent::AgentOptions options =
        agent::parseAgentOptions(QStringList(QStringLiteral("kestavo-agent")) + arguments);
    if (error.isEmpty())
        QVERIFY2(options.error.isEmpty(), qPrintable(options.error));
    else
        QVERIFY2(options.error.contains(error), qPrintable(options.error));
    // Shards split every address between them, each into exactly one.
    for (const QString& address :
         {QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.2"), QStringLiteral("127.0.1.9")}) {
        const int shard = agent::shardOf(address, 3);
        QVERIFY(shard >= 1 && shard <= 3);
        QCOMPARE(agent::shardOf(address, 3), shard);
    }
}

void TestAgent::httpEndpointsAndPromtool()
{
    SimFleetRig sim(2, "Ag3nt");
    QVERIFY(sim.started);
    agent::AgentOptions options = optionsFor(sim, m_dir.filePath(QStringLiteral("http-history.db")));
    options.listenAddress = QHostAddress(QHostAddress::LocalHostIPv6);
    agent::Agent agent(options, QString());
    QVERIFY2(agent.start(), qPrintable(agent.errorString()));
    QVERIFY(QTest::qWaitFor(
        [&] { return agent.poller().unit(0).received && agent.poller().unit(1).received; }, 5000));

    const QString base = QStringLiteral("http://[::1]:%1").arg(agent.httpPort());
    const Http scrape = request("GET", base + QStringLiteral("/metrics"));
    QCOMPARE(scrape.status, 200);
    const QString text = QString::fromUtf8(scrape.body);
    const QString unit0 =
        QStringLiteral("station=\"Site \\\"1\\\"\",address=\"%1\"").arg(sim.fleet->address(0).toString());
    QVERIFY2(text.contains(QStringLiteral("kestavo_up{%1} 1\n").arg(unit0)), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("kestavo_temperature_celsius{%1} 23\n").arg(unit0)));
    const double volts = *protocol::channelVolts(1, sim.fleet->model(0).channelRaw(1), 0);
    QVERIFY(
        text.contains(QStringLiteral("kestavo_voltage_volts{%1,channel=\"1\",caption=\"Battery bank\"} %2\n")
                          .arg(unit0, QString::number(volts, 'g', 15))));
    QVERIFY(text.contains(QStringLiteral("kestavo_link_state{%1,state=\"online\"} 1\n").arg(unit0)));
    QVERIFY(text.contains(QStringLiteral("kestavo_polls_sent_total{%1} ").arg(unit0)));
    QVERIFY(!text.contains(QStringLiteral("Ag3nt")));

    QProcess promtool;
    promtool.start(QStringLiteral("promtool"), {QStringLiteral("check"), QStringLiteral("metrics")});
    QVERIFY(promtool.waitForStarted());
    promtool.write(scrape.body);
    promtool.closeWriteChannel();
    QVERIFY(promtool.waitForFinished(20000));
    QVERIFY2(promtool.exitCode() == 0, promtool.readAllStandardError().constData());
    QCOMPARE(promtool.readAllStandardError(), QByteArray());

    QCOMPARE(request("GET", base + QStringLiteral("/healthz")).status, 200);
    const Http api = request("GET", base + QStringLiteral("/api/v1/stations"));
    QCOMPARE(api.status, 200);
    const QJsonArray list =
        QJsonDocument::fromJson(api.body).object().value(QStringLiteral("stations")).toArray();
    QCOMPARE(list.size(), 2);
    QCOMPARE(list.at(1).toObject().value(QStringLiteral("state")).toString(), QStringLiteral("online"));
    QCOMPARE(request("GET", base + QStringLiteral("/")).status, 404);
    QCOMPARE(request("GET", base + QStringLiteral("/metrics/x")).status, 404);
    QCOMPARE(request("POST", base + QStringLiteral("/metrics")).status, 404);
    QCOMPARE(request("DELETE", base + QStringLiteral("/api/v1/stations")).status, 404);
    agent.shutdown();
}

// What one client can make the agent hold: memory (a huge body, a huge head), connections and
// time (1,500 idle connections from one address), while polls go on and /metrics still answers.
void TestAgent::httpLimits()
{
    SimFleetRig sim(1, "Ag3nt");
    QVERIFY(sim.started);
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = std::min<rlim_t>(files.rlim_max, 4096);
    ::setrlimit(RLIMIT_NOFILE, &files);
    QVERIFY(files.rlim_cur >= 1600);
    const quint16 port = freePort();
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(
        QStringLiteral(KESTAVO_AGENT_PATH),
        {QStringLiteral("--db"), writeStations(sim, QStringLiteral("Ag3nt")), QStringLiteral("--history"),
         QStringLiteral("none"), QStringLiteral("--unit-port"), QString::number(sim.fleet->port()),
         QStringLiteral("--interval-ms"), QStringLiteral("1000"), QStringLiteral("--listen"),
         QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("--http-timeout"), QStringLiteral("1")});
    QVERIFY(process.waitForStarted());
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(port);
    QVERIFY(QTest::qWaitFor([&] { return request("GET", base + QStringLiteral("/healthz")).status == 200; },
                            10000));
    const qint64 before = peakKiB(process.processId());

    // A body is refused before it is read; a head past the cap is refused as it grows.
    const struct
    {
        QByteArray head;
        QByteArray status;
    } floods[] = {{"POST /metrics HTTP/1.1\r\nHost: a\r\nContent-Length: 400000000\r\n\r\n", "HTTP/1.1 413"},
                  {"GET /metrics HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n", "HTTP/1.1 413"},
                  {"GET /metrics HTTP/1.1\r\nHost: a\r\nX-Big: ", "HTTP/1.1 431"}};
    for (const auto& flood : floods) {
        const int fd = connectTo(port);
        sendFlood(fd, flood.head, qint64(256) << 20);
        const QByteArray reply = readReply(fd, 2000);
        ::close(fd);
        QVERIFY2(reply.startsWith(flood.status), reply.left(200).constData());
    }
    const qint64 grown = peakKiB(process.processId()) - before;
    QVERIFY2(grown < 32 * 1024, qPrintable(QStringLiteral("peak memory grew by %1 KiB").arg(grown)));

    // The reply ends the connection when the client asks for that or speaks HTTP/1.0.
    for (const QByteArray& ask : {QByteArray("GET /healthz HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n"),
                                  QByteArray("GET /healthz HTTP/1.0\r\n\r\n")}) {
        const int fd = connectTo(port);
        QCOMPARE(::send(fd, ask.constData(), std::size_t(ask.size()), MSG_NOSIGNAL), ssize_t(ask.size()));
        bool closed = false;
        const QByteArray reply = readReply(fd, 3000, &closed);
        ::close(fd);
        QVERIFY2(reply.contains(" 200 ") && reply.endsWith("ok\n"), reply.constData());
        QVERIFY(closed);
    }

    // Idle connections: refused past the caps, the rest closed by the (1 s) timeout. The units are
    // polled all along: no gap between answers much longer than the interval.
    std::vector<int> idle;
    for (int k = 0; k < 1500; ++k)
        idle.push_back(connectTo(port, false));
    QElapsedTimer sinceReply;
    sinceReply.start();
    quint64 replies = sim.fleet->counters().repliesSent;
    qint64 longestGap = 0;
    const auto watchPolls = [&] {
        if (sim.fleet->counters().repliesSent != replies) {
            replies = sim.fleet->counters().repliesSent;
            longestGap = std::max(longestGap, sinceReply.restart());
        }
    };
    const auto allClosed = [&] {
        watchPolls();
        int open = 0;
        for (const int fd : idle) {
            char byte = 0;
            const ssize_t n = ::recv(fd, &byte, 1, MSG_DONTWAIT);
            open += n < 0 && errno == EAGAIN ? 1 : 0;
        }
        return open == 0;
    };
    QVERIFY(QTest::qWaitFor(allClosed, 10000));
    for (const int fd : idle)
        ::close(fd);
    QNetworkAccessManager manager;
    manager.setTransferTimeout(1000);
    QNetworkReply* scrape = manager.get(QNetworkRequest(QUrl(base + QStringLiteral("/metrics"))));
    QVERIFY(QTest::qWaitFor([&] { return scrape->isFinished(); }, 2000));
    QCOMPARE(scrape->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    delete scrape;
    QVERIFY(!QTest::qWaitFor(
        [&] {
            watchPolls();
            return false;
        },
        1500));
    QVERIFY2(longestGap < 2500, qPrintable(QStringLiteral("polls paused for %1 ms").arg(longestGap)));
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
}

void TestAgent::mqttRetainedTopicsAndDiscovery()
{
    Broker broker(m_dir);
    QVERIFY(broker.started);
    SimFleetRig sim(1, "Ag3nt");
    QVERIFY(sim.started);
    const QString passwordFile = m_dir.filePath(QStringLiteral("mqtt-password"));
    {
        QFile file(passwordFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Br0kerS3cret\n");
    }
    agent::AgentOptions options = optionsFor(sim, QStringLiteral("none"));
    options.mqttHost = QStringLiteral("127.0.0.1");
    options.mqttPort = broker.port;
    options.mqttUser = QStringLiteral("agent");
    options.mqttPasswordFile = passwordFile;
    g_log.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordLog);
    agent::Agent agent(options, QString());
    const bool started = agent.start();
    const bool connected = started && QTest::qWaitFor([&] { return agent.mqtt()->isConnected(); }, 10000);
    const bool reported =
        connected && QTest::qWaitFor([&] { return agent.poller().unit(0).received >= 2; }, 5000);
    qInstallMessageHandler(previous);
    QVERIFY2(started, qPrintable(agent.errorString()));
    QVERIFY(connected);
    QVERIFY(reported);
    QTest::qWait(300); // the last publish leaves the network thread

    const QString id = QStringLiteral("000a1b2c3d00"); // the rig's MAC with unit index 0
    const QStringList lines =
        broker.retained({QStringLiteral("kestavo/#"), QStringLiteral("homeassistant/#")});
    QCOMPARE(payloadOf(lines, QStringLiteral("kestavo/%1/availability").arg(id)), QStringLiteral("online"));
    QCOMPARE(payloadOf(lines, QStringLiteral("kestavo/agent/%1/status").arg(QHostInfo::localHostName())),
             QStringLiteral("online"));
    const QJsonObject state =
        QJsonDocument::fromJson(payloadOf(lines, QStringLiteral("kestavo/%1/state").arg(id)).toUtf8())
            .object();
    QCOMPARE(state.value(QStringLiteral("state")).toString(), QStringLiteral("online"));
    QCOMPARE(state.value(QStringLiteral("temperature_c")).toDouble(), 23.0);
    const QJsonObject voltage =
        QJsonDocument::fromJson(
            payloadOf(lines, QStringLiteral("homeassistant/sensor/kestavo_%1/voltage1/config").arg(id))
                .toUtf8())
            .object();
    QCOMPARE(voltage.value(QStringLiteral("unique_id")).toString(),
             QStringLiteral("kestavo_%1_voltage1").arg(id));
    QCOMPARE(voltage.value(QStringLiteral("device_class")).toString(), QStringLiteral("voltage"));
    QCOMPARE(voltage.value(QStringLiteral("unit_of_measurement")).toString(), QStringLiteral("V"));
    QCOMPARE(voltage.value(QStringLiteral("name")).toString(), QStringLiteral("Battery bank"));
    // The unit goes unavailable with its link or with the agent (whose last will says so).
    QCOMPARE(voltage.value(QStringLiteral("availability_mode")).toString(), QStringLiteral("all"));
    QStringList availability;
    for (const QJsonValue& entry : voltage.value(QStringLiteral("availability")).toArray())
        availability << entry.toObject().value(QStringLiteral("topic")).toString();
    availability.sort();
    QCOMPARE(availability,
             QStringList({QStringLiteral("kestavo/%1/availability").arg(id),
                          QStringLiteral("kestavo/agent/%1/status").arg(QHostInfo::localHostName())}));
    const QJsonObject device = voltage.value(QStringLiteral("device")).toObject();
    QCOMPARE(device.value(QStringLiteral("model")).toString(), QStringLiteral("KSV"));
    QCOMPARE(device.value(QStringLiteral("sw_version")).toString(), QStringLiteral("1.7.2"));
    QCOMPARE(device.value(QStringLiteral("name")).toString(), QStringLiteral("Site \"1\""));
    QVERIFY(lines.join(u'\n').contains(
        QStringLiteral("homeassistant/binary_sensor/kestavo_%1/relay1/config").arg(id)));
    QVERIFY(!lines.join(u'\n').contains(QStringLiteral("homeassistant/switch/")));
    for (const QString& text : {lines.join(u'\n'), g_log.join(u'\n')}) {
        QVERIFY(!text.contains(QStringLiteral("Br0kerS3cret")));
        QVERIFY(!text.contains(QStringLiteral("Ag3nt")));
    }

    // Without --allow-control a relay command changes nothing.
    broker.publish(QStringLiteral("kestavo/%1/relay/2/set").arg(id), "ON");
    QTest::qWait(500);
    QCOMPARE(sim.fleet->model(0).counters().perOpcode[std::uint8_t('5')], 0u);

    // A clean stop says so on the agent's topic.
    agent.shutdown();
    const QStringList after = broker.retained({QStringLiteral("kestavo/agent/#")});
    QCOMPARE(payloadOf(after, QStringLiteral("kestavo/agent/%1/status").arg(QHostInfo::localHostName())),
             QStringLiteral("offline"));
}

void TestAgent::sigtermLeavesAnIntactHistory()
{
    SimFleetRig sim(2, "Ag3nt");
    QVERIFY(sim.started);
    const QString history = m_dir.filePath(QStringLiteral("sigterm-history.db"));
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(KESTAVO_AGENT_PATH),
                  {QStringLiteral("--db"), writeStations(sim, QStringLiteral("Ag3nt")),
                   QStringLiteral("--history"), history, QStringLiteral("--unit-port"),
                   QString::number(sim.fleet->port()), QStringLiteral("--interval-ms"),
                   QStringLiteral("1000"), QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    QVERIFY(process.waitForStarted());
    // Two polls of each unit, answered by the simulator living in this process.
    QVERIFY(QTest::qWaitFor([&] { return sim.fleet->counters().repliesSent >= 4; }, 10000));
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(10000));
    const QString log = QString::fromUtf8(process.readAll());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == 0, qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("Stopped")), qPrintable(log));
    QVERIFY(!log.contains(QStringLiteral("Ag3nt")));

    history::HistoryReader reader;
    QVERIFY(reader.open(history));
    const auto series = reader.read(sim.fleet->address(0).toString(), 0, std::numeric_limits<qint64>::max(),
                                    history::Step::Raw);
    QVERIFY(series.rows.size() >= 1);
}

void TestAgent::killedAgentLeavesItsLastWill()
{
    Broker broker(m_dir);
    QVERIFY(broker.started);
    SimFleetRig sim(1, "Ag3nt");
    QVERIFY(sim.started);
    QProcess process;
    process.start(QStringLiteral(KESTAVO_AGENT_PATH),
                  {QStringLiteral("--db"), writeStations(sim, QStringLiteral("Ag3nt")),
                   QStringLiteral("--history"), QStringLiteral("none"), QStringLiteral("--unit-port"),
                   QString::number(sim.fleet->port()), QStringLiteral("--listen"),
                   QStringLiteral("127.0.0.1:0"), QStringLiteral("--mqtt"),
                   QStringLiteral("127.0.0.1:%1").arg(broker.port)});
    QVERIFY(process.waitForStarted());
    const QString status = QStringLiteral("kestavo/agent/%1/status").arg(QHostInfo::localHostName());
    QVERIFY(QTest::qWaitFor(
        [&] { return payloadOf(broker.retained({status}), status) == QStringLiteral("online"); }, 10000));
    process.kill();
    QVERIFY(process.waitForFinished(5000));
    // The broker sees the connection drop without a disconnect and publishes the will.
    QVERIFY(QTest::qWaitFor(
        [&] { return payloadOf(broker.retained({status}), status) == QStringLiteral("offline"); }, 10000));
}

void TestAgent::relayControlOnlyWithAllowControl()
{
    Broker broker(m_dir);
    QVERIFY(broker.started);
    SimFleetRig sim(1, "Ag3nt");
    QVERIFY(sim.started);
    agent::AgentOptions options = optionsFor(sim, m_dir.filePath(QStringLiteral("control-history.db")));
    options.mqttHost = QStringLiteral("127.0.0.1");
    options.mqttPort = broker.port;
    options.allowControl = true;
    options.relayBurst = 4;
    options.relayRefillMs = 600000;
    agent::Agent agent(options, QString());
    QVERIFY2(agent.start(), qPrintable(agent.errorString()));
    QVERIFY(QTest::qWaitFor([&] { return agent.mqtt()->isConnected(); }, 10000));
    QVERIFY(QTest::qWaitFor([&] { return agent.poller().unit(0).received >= 1; }, 5000));
    QTest::qWait(200); // the subscription is in place

    const QString id = QStringLiteral("000a1b2c3d00");
    const auto& counts = sim.fleet->model(0).counters().perOpcode;
    // Malformed payloads, a relay that does not exist, a unit nobody knows: nothing is sent.
    broker.publish(QStringLiteral("kestavo/%1/relay/2/set").arg(id), "on!");
    broker.publish(QStringLiteral("kestavo/%1/relay/7/set").arg(id), "ON");
    broker.publish(QStringLiteral("kestavo/ffffffffffff/relay/2/set"), "ON");
    broker.publish(QStringLiteral("kestavo/%1/relay/01/set").arg(id), "ON");
    broker.publish(QStringLiteral("kestavo/%1/relay/ 3 /set").arg(id), "ON");
    broker.publish(QStringLiteral("kestavo/%1/relay/2/set").arg(id.toUpper()), "ON");
    broker.publish(QStringLiteral("kestavo/%1/relay/2/set").arg(id), "ON");
    QVERIFY(QTest::qWaitFor([&] { return sim.fleet->model(0).relayOn(2); }, 5000));
    QCOMPARE(counts[std::uint8_t('5')], 1u);
    std::string frame;
    for (const auto& record : sim.fleet->model(0).frames()) {
        if (record.bytes.size() > 9 && record.bytes[9] == '5')
            frame = record.bytes;
    }
    QCOMPARE(frame, protocol::relayOnFrame(2, "Ag3nt*****"));
    for (char opcode : {'2', '3', '6', '8', '9'})
        QCOMPARE(counts[std::uint8_t(opcode)], 0u);
    // One audit record, once a report has shown the relay on; no password in the file.
    history::AuditLog audit;
    QVERIFY(audit.open(options.history));
    QVERIFY(QTest::qWaitFor([&] { return audit.records().size() == 1; }, 5000));
    const history::AuditRecord record = audit.records().first();
    QCOMPARE(record.program + u' ' + record.action + u' ' + record.outcome,
             QStringLiteral("agent Relay 2 ON acknowledged"));
    QFile historyFile(options.history);
    QVERIFY(historyFile.open(QIODevice::ReadOnly));
    QVERIFY(!historyFile.readAll().contains("Ag3nt"));

    const QStringList lines = broker.retained({QStringLiteral("homeassistant/switch/#")});
    const QJsonObject config =
        QJsonDocument::fromJson(
            payloadOf(lines, QStringLiteral("homeassistant/switch/kestavo_%1/relay2/config").arg(id))
                .toUtf8())
            .object();
    QCOMPARE(config.value(QStringLiteral("command_topic")).toString(),
             QStringLiteral("kestavo/%1/relay/2/set").arg(id));

    // A flood of commands reaches the unit as the allowance permits (3 here, none refilled) and
    // is counted.
    QByteArray flood;
    for (int k = 0; k < 20; ++k)
        flood += k % 2 ? "OFF\n" : "ON\n";
    broker.publishLines(QStringLiteral("kestavo/%1/relay/1/set").arg(id), flood);
    const QByteArray limited = "kestavo_agent_mqtt_commands_total{outcome=\"rate_limited\"} 17\n";
    QVERIFY(QTest::qWaitFor(
        [&] {
            return counts[std::uint8_t('2')] + counts[std::uint8_t('3')] == 3 &&
                   agent.metrics().contains(limited);
        },
        10000));
    // Stopped at once, while the last command still waits for a report to show it: every command
    // sent has its record all the same.
    agent.shutdown();
    QCOMPARE(audit.records().size(), 4);
    QTest::qWait(200);
    QCOMPARE(counts[std::uint8_t('2')] + counts[std::uint8_t('3')], 3u);
}

// A retained "ON" left on a broker that keeps its messages is never carried out: not at the
// agents' start, not after the broker restarts. Two agents on one host keep their connections.
void TestAgent::staleRetainedCommandNeverRuns()
{
    Broker broker(m_dir, {}, true);
    QVERIFY(broker.started);
    SimFleetRig sim(1, "Ag3nt");
    QVERIFY(sim.started);
    const QString id = QStringLiteral("000a1b2c3d00");
    const QString command = QStringLiteral("kestavo/%1/relay/2/set").arg(id);
    broker.publish(command, "ON", true);
    // Taken by the broker before it stops (a loaded broker may not have read it yet).
    QVERIFY(QTest::qWaitFor(
        [&] { return payloadOf(broker.retained({command}), command) == QStringLiteral("ON"); }, 15000));
    broker.stop();
    broker.start(m_dir);
    QVERIFY(broker.started);
    QVERIFY(QTest::qWaitFor(
        [&] { return payloadOf(broker.retained({command}), command) == QStringLiteral("ON"); }, 15000));

    const QString db = writeStations(sim, QStringLiteral("Ag3nt"));
    std::array<QProcess, 2> agents;
    for (QProcess& process : agents) {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(KESTAVO_AGENT_PATH),
                      {QStringLiteral("--db"), db, QStringLiteral("--history"), QStringLiteral("none"),
                       QStringLiteral("--unit-port"), QString::number(sim.fleet->port()),
                       QStringLiteral("--interval-ms"), QStringLiteral("1000"), QStringLiteral("--listen"),
                       QStringLiteral("127.0.0.1:0"), QStringLiteral("--mqtt"),
                       QStringLiteral("127.0.0.1:%1").arg(broker.port), QStringLiteral("--allow-control")});
        QVERIFY(process.waitForStarted());
    }
    // Both have polled the unit, so they know its MAC; then the broker restarts and hands the
    // subscriptions whatever it still holds as retained.
    QVERIFY(QTest::qWaitFor([&] { return sim.fleet->counters().repliesSent >= 6; }, 10000));
    broker.stop();
    broker.start(m_dir);
    QVERIFY(broker.started);
    // The agents clear the stale command once they have been handed it again after the
    // reconnect; by then they would have carried it out, had they been going to.
    QVERIFY(QTest::qWaitFor([&] { return broker.retained({command}).isEmpty(); }, 30000));
    const quint64 repliesAfterClear = sim.fleet->counters().repliesSent;
    QVERIFY(
        QTest::qWaitFor([&] { return sim.fleet->counters().repliesSent >= repliesAfterClear + 2; }, 10000));
    QCOMPARE(sim.fleet->model(0).counters().perOpcode[std::uint8_t('5')], 0u);
    QVERIFY(!sim.fleet->model(0).relayOn(2));
    // Whichever agent subscribed first saw it, said so and cleared it.
    QString logs;
    for (QProcess& process : agents) {
        process.terminate();
        QVERIFY(process.waitForFinished(10000));
        logs += QString::fromUtf8(process.readAll());
    }
    QVERIFY2(logs.contains(QStringLiteral("retained command is never carried out")), qPrintable(logs));
    broker.stop();
    QVERIFY2(!broker.log.contains(QStringLiteral("already connected")), qPrintable(broker.log));
}

void TestAgent::brokerLossRepublishesAfterReconnect()
{
    Broker broker(m_dir);
    QVERIFY(broker.started);
    SimFleetRig sim(1, "Ag3nt");
    QVERIFY(sim.started);
    agent::AgentOptions options = optionsFor(sim, QStringLiteral("none"));
    options.mqttHost = QStringLiteral("127.0.0.1");
    options.mqttPort = broker.port;
    agent::Agent agent(options, QString());
    QVERIFY2(agent.start(), qPrintable(agent.errorString()));
    QVERIFY(QTest::qWaitFor([&] { return agent.mqtt()->isConnected() && agent.poller().unit(0).received; },
                            10000));

    // The broker goes away and comes back empty (no persistence): polling goes on meanwhile, and
    // the retained state is there again after the reconnect.
    broker.stop();
    QVERIFY(QTest::qWaitFor([&] { return !agent.mqtt()->isConnected(); }, 5000));
    const quint64 received = agent.poller().unit(0).received;
    broker.start(m_dir);
    QVERIFY(broker.started);
    QVERIFY(QTest::qWaitFor([&] { return agent.mqtt()->isConnected(); }, 15000));
    QVERIFY(agent.poller().unit(0).received > received);
    QTest::qWait(300);
    const QString id = QStringLiteral("000a1b2c3d00");
    const QStringList lines =
        broker.retained({QStringLiteral("kestavo/#"), QStringLiteral("homeassistant/#")});
    QCOMPARE(payloadOf(lines, QStringLiteral("kestavo/%1/availability").arg(id)), QStringLiteral("online"));
    QVERIFY(lines.join(u'\n').contains(
        QStringLiteral("homeassistant/sensor/kestavo_%1/temperature/config").arg(id)));
    agent.shutdown();
}

void TestAgent::tlsWithTheGivenCa()
{
    // A CA of our own and a server certificate for 127.0.0.1.
    const auto openssl = [this](const QStringList& arguments) {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral("openssl"), arguments);
        return process.waitForFinished(30000) && process.exitCode() == 0;
    };
    const auto path = [this](const char* name) {
        return m_dir.filePath(QLatin1String(name));
    };
    {
        QFile ext(path("san.ext"));
        QVERIFY(ext.open(QIODevice::WriteOnly));
        ext.write("subjectAltName=IP:127.0.0.1\n");
    }
    QVERIFY(openssl({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                     QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                     path("ca.key"), QStringLiteral("-out"), path("ca.crt"), QStringLiteral("-days"),
                     QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=Kestavo test CA")}));
    QVERIFY(openssl({QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                     QStringLiteral("-nodes"), QStringLiteral("-keyout"), path("server.key"),
                     QStringLiteral("-out"), path("server.csr"), QStringLiteral("-subj"),
                     QStringLiteral("/CN=127.0.0.1")}));
    QVERIFY(
        openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), path("server.csr"),
                 QStringLiteral("-CA"), path("ca.crt"), QStringLiteral("-CAkey"), path("ca.key"),
                 QStringLiteral("-CAcreateserial"), QStringLiteral("-out"), path("server.crt"),
                 QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-extfile"), path("san.ext")}));
    // Run as root, mosquitto would drop to its own user, which cannot read the test's folder.
    Broker broker(m_dir, QStringLiteral("cafile %1\ncertfile %2\nkeyfile %3\n%4")
                             .arg(path("ca.crt"), path("server.crt"), path("server.key"),
                                  ::geteuid() == 0 ? QStringLiteral("user root\n") : QString()));
    QVERIFY(broker.started);
    SimFleetRig sim(1, "Ag3nt");
    QVERIFY(sim.started);
    agent::AgentOptions options;
    options.db = writeStations(sim, QStringLiteral("Ag3nt"));
    options.history = QStringLiteral("none");
    options.unitPort = sim.fleet->port();
    options.listenPort = 0;
    options.mqttHost = QStringLiteral("127.0.0.1");
    options.mqttPort = broker.port;
    options.mqttCaFile = path("ca.crt");
    agent::Agent agent(options, QString());
    QVERIFY2(agent.start(), qPrintable(agent.errorString()));
    QVERIFY(QTest::qWaitFor([&] { return agent.mqtt()->isConnected(); }, 10000));
    // The broker has only a TLS listener: the CONNACK arrived over TLS, verified against the CA file.
    QVERIFY(agent.mqtt()->isConnected());
    agent.shutdown();
}

void TestAgent::stationFileChangeReloads()
{
    SimFleetRig sim(2, "Ag3nt");
    QVERIFY(sim.started);
    const QString db = m_dir.filePath(QStringLiteral("reload.dat"));
    {
        stations::StationStore store;
        QVERIFY(store.open(db).ok);
        QVERIFY(
            store.add(sim.fleet->address(0).toString(), QStringLiteral("Ag3nt"), QStringLiteral("First")));
    }
    agent::AgentOptions options;
    options.db = db;
    options.history = QStringLiteral("none");
    options.unitPort = sim.fleet->port();
    options.listenPort = 0;
    agent::Agent agent(options, QString());
    QVERIFY2(agent.start(), qPrintable(agent.errorString()));
    QCOMPARE(agent.poller().count(), 1);
    {
        stations::StationStore store;
        QVERIFY(store.open(db).ok);
        QVERIFY(
            store.add(sim.fleet->address(1).toString(), QStringLiteral("Ag3nt"), QStringLiteral("Second")));
    }
    QVERIFY(QTest::qWaitFor([&] { return agent.poller().count() == 2; }, 5000));
    QCOMPARE(agent.poller().unit(1).station.description, QStringLiteral("Second"));

    // Renamed away: unhealthy, the stations known are still polled; back: healthy again. Then a
    // file written elsewhere and renamed over it (as editors save) is read.
    const QString healthz = QStringLiteral("http://127.0.0.1:%1/healthz").arg(agent.httpPort());
    QVERIFY(QFile::rename(db, db + QStringLiteral(".away")));
    QVERIFY(QTest::qWaitFor([&] { return request("GET", healthz).status == 503; }, 5000));
    QVERIFY(request("GET", healthz).body.startsWith("stations: The station database"));
    QCOMPARE(agent.poller().count(), 2);
    QVERIFY(QFile::rename(db + QStringLiteral(".away"), db));
    QVERIFY(QTest::qWaitFor([&] { return request("GET", healthz).status == 200; }, 5000));
    const QString fresh = m_dir.filePath(QStringLiteral("reload-new.dat"));
    {
        stations::StationStore store;
        QVERIFY(store.open(fresh).ok);
        QVERIFY(store.add(sim.fleet->address(1).toString(), QStringLiteral("Ag3nt"), QStringLiteral("Only")));
    }
    QVERIFY(::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(db).constData()) == 0);
    QVERIFY(QTest::qWaitFor([&] { return agent.poller().count() == 1; }, 5000));
    QCOMPARE(agent.poller().unit(0).station.description, QStringLiteral("Only"));
    agent.shutdown();
}

void TestAgent::historyHealth_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("kind");
    QTest::newRow("locked by another program") << QStringLiteral("lock") << QByteArray("history_locked");
    QTest::newRow("garbage written over it") << QStringLiteral("garble") << QByteArray("history_damaged");
    QTest::newRow("renamed away, replaced") << QStringLiteral("replace") << QByteArray("history_replaced");
    QTest::newRow("disk full") << QStringLiteral("full") << QByteArray("history_write");
}

// /healthz and the metrics say so while the history file cannot take what the agent records.
void TestAgent::historyHealth()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, kind);
    SimFleetRig sim(1, "Ag3nt");
    QVERIFY(sim.started);
    QString folder = m_dir.path();
    // A real full file system: a small tmpfs of our own (needs root, as in CI).
    const QString mountPoint = m_dir.filePath(QStringLiteral("small-disk"));
    const auto unmount = qScopeGuard([&] {
        if (fault == QStringLiteral("full"))
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), mountPoint});
    });
    if (fault == QStringLiteral("full")) {
        QVERIFY(QDir().mkpath(mountPoint));
        if (QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               QStringLiteral("size=4m"), QStringLiteral("tmpfs"), mountPoint}) != 0)
            QSKIP("mounting a small tmpfs needs root");
        folder = mountPoint;
    }
    const QString history = QDir(folder).filePath(QStringLiteral("health-%1.db").arg(fault));
    agent::AgentOptions options = optionsFor(sim, history);
    options.historyStallMs = 1500;
    agent::Agent agent(options, QString());
    QVERIFY2(agent.start(), qPrintable(agent.errorString()));
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(agent.httpPort());
    QVERIFY(QTest::qWaitFor([&] { return agent.poller().unit(0).received >= 2; }, 5000));
    QCOMPARE(request("GET", base + QStringLiteral("/healthz")).status, 200);

    if (fault == QStringLiteral("full")) {
        QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(64 * 1024, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        Http health;
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         health = request("GET", base + QStringLiteral("/healthz"));
                         return health.status == 503 && health.body.contains("history_write: ") &&
                                health.body.contains("disk is full");
                     },
                     10000),
                 health.body.constData());
        QVERIFY(request("GET", base + QStringLiteral("/metrics"))
                    .body.contains("kestavo_agent_problem{kind=\"history_write\"} 1\n"));
        // A few reports while full, then space again: what came in meanwhile is written, not lost.
        const quint64 receivedWhenFull = agent.poller().unit(0).received;
        QVERIFY(
            QTest::qWaitFor([&] { return agent.poller().unit(0).received >= receivedWhenFull + 3; }, 10000));
        QVERIFY(filler.remove());
        QVERIFY(QTest::qWaitFor(
            [&] { return request("GET", base + QStringLiteral("/healthz")).status == 200; }, 10000));
        const quint64 received = agent.poller().unit(0).received;
        agent.shutdown();
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("full-check"));
            db.setDatabaseName(history);
            QVERIFY(db.open());
            QSqlQuery count(QStringLiteral("SELECT COUNT(*) FROM recent"), db);
            QVERIFY(count.next());
            // Closing writes what waits, so every report received is in the file.
            QVERIFY2(count.value(0).toULongLong() >= received,
                     qPrintable(QStringLiteral("%1 of %2").arg(count.value(0).toULongLong()).arg(received)));
            count.finish();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("full-check"));
        return;
    }
    // Another process does it: opening the file here would drop this process's SQLite locks.
    QProcess other;
    const QString script =
        fault == QStringLiteral("lock")
            ? QStringLiteral("import sqlite3,sys\nc=sqlite3.connect(sys.argv[1],isolation_level=None)\n"
                             "c.execute('BEGIN EXCLUSIVE')\nprint('done',flush=True)\nsys.stdin.read()\n")
        : fault == QStringLiteral("garble")
            ? QStringLiteral("import sys\nf=open(sys.argv[1],'r+b')\nf.write(b'garbage!'*4096)\nf.close()\n"
                             "print('done',flush=True)\n")
            : QStringLiteral("import os,sys\nos.rename(sys.argv[1],sys.argv[1]+'.old')\n"
                             "open(sys.argv[1],'wb').close()\nprint('done',flush=True)\n");
    other.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, history});
    QVERIFY(other.waitForReadyRead(10000));
    const QByteArray problem = "kestavo_agent_problem{kind=\"" + kind + "\"} 1\n";
    QVERIFY(QTest::qWaitFor([&] { return request("GET", base + QStringLiteral("/healthz")).status == 503; },
                            10000));
    const Http health = request("GET", base + QStringLiteral("/healthz"));
    QVERIFY2(health.body.contains(kind + ": ") && health.body.contains(history.toUtf8()),
             health.body.constData());
    QVERIFY(request("GET", base + QStringLiteral("/metrics")).body.contains(problem));
    if (fault == QStringLiteral("lock")) {
        // The lock released, the waiting batch is written and the agent is healthy again.
        other.closeWriteChannel();
        QVERIFY(other.waitForFinished(5000));
        QVERIFY(QTest::qWaitFor(
            [&] { return request("GET", base + QStringLiteral("/healthz")).status == 200; }, 10000));
    }
    other.waitForFinished(5000);
    agent.shutdown();
}

// A rule, a route and a maintenance window of the tag "north" written into the history file
// beforehand, one unit tagged "north/pumps" in the station file: the agent raises the alarm of
// both units it polls and posts only the one of the unit in service, with the site's name, to a
// real receiver on loopback; the API shows the other as in maintenance.
void TestAgent::alarmsAreNotifiedByTheAgent()
{
    SimFleetRig sim(2, "Ag3nt");
    QVERIFY(sim.started);
    const QString history = m_dir.filePath(QStringLiteral("notify-history.db"));
    const QString resting = sim.fleet->address(0).toString();
    HttpReceiver receiver;
    {
        history::AlarmJournal journal;
        QVERIFY(journal.open(history));
        history::AlarmRule warm;
        warm.kind = history::AlarmRuleKind::TemperatureAbove;
        warm.limit = 20; // the simulated units report 23 °C
        warm.priority = history::AlarmPriority::High;
        QVERIFY(journal.saveRule(warm));
        notify::NotifyStore store;
        QVERIFY(store.open(history));
        notify::Route route;
        route.target = receiver.url();
        QVERIFY(store.saveRoute(route));
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        notify::MaintenanceWindow window{
            0, {}, QStringLiteral("north"), QStringLiteral("battery swap"), now, now + 3'600'000, {}, {}};
        QVERIFY(store.startMaintenance(window, QStringLiteral("CLI"), {}));
    }
    const agent::AgentOptions options = optionsFor(sim, history);
    {
        stations::StationStore stations;
        QVERIFY(stations.open(options.db).ok);
        QVERIFY(stations.addTags(resting, {QStringLiteral("north/pumps")}));
    }
    agent::Agent agent(options, QString());
    QVERIFY2(agent.start(), qPrintable(agent.errorString()));
    QTRY_COMPARE_WITH_TIMEOUT(receiver.requests().size(), 1, 10000);
    const QJsonObject message = QJsonDocument::fromJson(receiver.requests().at(0).body).object();
    const QJsonObject station = message.value(QStringLiteral("station")).toObject();
    QCOMPARE(station.value(QStringLiteral("address")).toString(), sim.fleet->address(1).toString());
    QCOMPARE(station.value(QStringLiteral("description")).toString(), QStringLiteral("Site \"2\""));
    QCOMPARE(message.value(QStringLiteral("priority")).toString(), QStringLiteral("high"));
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(agent.httpPort());
    // Both raised (the one in maintenance was decided on at once, not queued), one sent.
    QTRY_VERIFY(request("GET", base + QStringLiteral("/metrics"))
                    .body.contains("kestavo_alarms_raised_total{priority=\"high\"} 2\n"));
    const QJsonArray list =
        QJsonDocument::fromJson(request("GET", base + QStringLiteral("/api/v1/stations")).body)[u"stations"]
            .toArray();
    QCOMPARE(list.at(0)[u"maintenance"][u"reason"].toString(), QStringLiteral("battery swap"));
    QVERIFY(list.at(1).toObject().value(QStringLiteral("maintenance")).isUndefined());
    QCOMPARE(receiver.requests().size(), 1);

    // Untagged by another program while a console holds the station file open, so the change stays
    // in the file's write-ahead log: the station is back in service and its waiting alarm goes out.
    stations::StationStore console;
    QVERIFY(console.open(options.db).ok);
    {
        stations::StationStore cli;
        QVERIFY(cli.open(options.db).ok);
        QVERIFY(cli.removeTags(resting, {QStringLiteral("north/pumps")}));
    }
    QTRY_COMPARE_WITH_TIMEOUT(receiver.requests().size(), 2, 10000);
    QCOMPARE(QJsonDocument::fromJson(receiver.requests().at(1).body)[u"station"][u"address"].toString(),
             resting);
    agent.shutdown();
}

// A schedule due now reaches the unit as the console's own relay frame and is audited under its
// number; one the unit never confirms (it stopped answering) ends in a schedule-failed alarm that
// an engine restart leaves open.
void TestAgent::schedulesRunWithAllowControl()
{
    SimFleetRig sim(1, "Ag3nt");
    QVERIFY(sim.started);
    const QString history = m_dir.filePath(QStringLiteral("schedule-history.db"));
    agent::AgentOptions options = optionsFor(sim, history);
    options.allowControl = true;
    options.scheduleTickMs = 50;
    options.scheduleVerifyMs = 1000;
    options.scheduleAttempts = 2;
    options.scheduleStartDelayMs = 0;
    const QString address = sim.fleet->address(0).toString();
    {
        stations::StationStore store;
        QVERIFY(store.open(options.db).ok);
        QVERIFY(store.setSite(address, {{}, {}, {}, QStringLiteral("UTC")}));
    }
    schedules::ScheduleEntry on;
    on.station = address;
    on.action = schedules::Action::On;
    on.relay = 2;
    on.minuteOfDay = 8 * 60;
    schedules::ScheduleEntry off = on;
    off.action = schedules::Action::Off;
    off.minuteOfDay = 8 * 60 + 1;
    qint64 onId = 0;
    qint64 offId = 0;
    {
        schedules::ScheduleStore store;
        QVERIFY(store.open(history));
        onId = store.add(on, 0);
        offId = store.add(off, 0);
        QVERIFY(onId > 0 && offId > 0);
    }
    QDateTime clock(QDate(2026, 6, 10), QTime(7, 59, 50), QTimeZone::utc());
    agent::Agent agent(options, QString());
    agent.setScheduleClock([&] { return clock; });
    QVERIFY2(agent.start(), qPrintable(agent.errorString()));
    QVERIFY(QTest::qWaitFor([&] { return agent.poller().unit(0).received >= 1; }, 5000));
    QTest::qWait(200); // a few ticks: the executor has started before anything is due

    const std::string expected = protocol::relayOnFrame(2, "Ag3nt*****");
    const auto sent = [&](const std::string& frame) {
        int n = 0;
        for (const auto& record : sim.fleet->model(0).frames())
            n += record.bytes == frame;
        return n;
    };
    clock = clock.addSecs(10); // 08:00:00
    QTRY_VERIFY_WITH_TIMEOUT(sim.fleet->model(0).relayOn(2), 5000);
    history::AuditLog audit;
    QVERIFY(audit.open(history));
    QTRY_COMPARE_WITH_TIMEOUT(audit.records().size(), 1, 5000);
    const history::AuditRecord record = audit.records().first();
    QCOMPARE(record.program + u' ' + record.action + u' ' + record.outcome + u' ' + record.detail,
             QStringLiteral("agent Relay 2 ON acknowledged schedule #%1").arg(onId));
    QCOMPARE(sent(expected), 1);

    // The unit goes quiet; the off at 08:01 is sent, sent again and given up.
    sim.fleet->stop();
    clock = clock.addSecs(60);
    history::AlarmJournal journal;
    QVERIFY(journal.open(history));
    QVERIFY(QTest::qWaitFor(
        [&] {
            clock = clock.addMSecs(250);
            return !journal.alarms().isEmpty();
        },
        10000));
    const history::AlarmRecord alarm = journal.alarms().first();
    QCOMPARE(alarm.rule, history::scheduleFailedRule(offId));
    QCOMPARE(alarm.address, address);
    QVERIFY2(alarm.text.startsWith(QStringLiteral("Schedule #%1 failed: relay 2 off").arg(offId)),
             qPrintable(alarm.text));
    QTRY_COMPARE_WITH_TIMEOUT(audit.records().size(), 2, 5000);
    QCOMPARE(audit.records().last().outcome, QStringLiteral("no answer"));
    QVERIFY(audit.records().last().detail.contains(QStringLiteral("schedule #%1").arg(offId)));
    QCOMPARE(sent(expected), 1);

    // Sent while the unit is still away, and the agent stops before anything could show it: the
    // action is not lost from the audit log.
    schedules::ScheduleEntry later = on;
    later.relay = 3;
    later.minuteOfDay = 8 * 60 + 3;
    schedules::ScheduleStore store;
    QVERIFY(store.open(history));
    const qint64 laterId = store.add(later, 0);
    QVERIFY(laterId > 0);
    clock = QDateTime(QDate(2026, 6, 10), QTime(8, 3), QTimeZone::utc());
    QTRY_VERIFY_WITH_TIMEOUT(
        store.logged(laterId, address, clock.toMSecsSinceEpoch(), QStringLiteral("sent")), 5000);
    agent.shutdown();
    QCOMPARE(audit.records().size(), 3);
    const history::AuditRecord unverified = audit.records().last();
    QCOMPARE(
        unverified.action + u' ' + unverified.outcome + u' ' + unverified.detail,
        QStringLiteral("Relay 3 ON sent schedule #%1: relay 3 on not verified: the agent stopped before a "
                       "report showed it")
            .arg(laterId));
    // No stored rule is negative: the engine's start leaves the alarm for the operator.
    QCOMPARE(journal.closeOrphans(0), 0);
    QCOMPARE(journal.alarms().size(), 1);

    // Without --allow-control the agent still holds the leases: it says nobody runs the schedules.
    options.allowControl = false;
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("^3 enabled schedules are not carried out")));
    agent::Agent readOnly(options, QString());
    QVERIFY2(readOnly.start(), qPrintable(readOnly.errorString()));
    readOnly.shutdown();
}

// Two agents with --allow-control on one history file and one unit: both host an executor with the
// same timetable, and the unit is switched once, by the one holding the station's lease.
void TestAgent::twoAgentsSwitchOnce()
{
    SimFleetRig sim(1, "Ag3nt");
    QVERIFY(sim.started);
    const QString db = writeStations(sim, QStringLiteral("Ag3nt"));
    const QString history = m_dir.filePath(QStringLiteral("two-agents-history.db"));
    const QString address = sim.fleet->address(0).toString();
    {
        stations::StationStore store;
        QVERIFY(store.open(db).ok);
        QVERIFY(store.setSite(address, {{}, {}, {}, QStringLiteral("UTC")}));
    }
    schedules::ScheduleEntry on;
    on.station = address;
    on.action = schedules::Action::On;
    on.relay = 2;
    on.minuteOfDay = 8 * 60;
    schedules::ScheduleStore store;
    QVERIFY(store.open(history));
    const qint64 id = store.add(on, 0);
    QVERIFY(id > 0);
    // Their clocks reach 08:00 eight seconds from now: time to start, poll and take the lease.
    const QDateTime due(QDate(2026, 6, 10), QTime(8, 0), QTimeZone::utc());
    const qint64 offsetMs = QDateTime::currentDateTimeUtc().addMSecs(8000).msecsTo(due);

    std::array<QProcess, 2> agents;
    for (QProcess& process : agents) {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(SCHEDULE_AGENT_PATH),
                      {QString::number(offsetMs), QStringLiteral("--db"), db, QStringLiteral("--history"),
                       history, QStringLiteral("--unit-port"), QString::number(sim.fleet->port()),
                       QStringLiteral("--interval-ms"), QStringLiteral("1000"), QStringLiteral("--listen"),
                       QStringLiteral("127.0.0.1:0"), QStringLiteral("--allow-control")});
        QVERIFY(process.waitForStarted());
    }
    history::AuditLog audit;
    QVERIFY(audit.open(history));
    QTRY_VERIFY_WITH_TIMEOUT(!audit.records().isEmpty(), 20000);
    // Longer than an unverified action takes to be sent again (3 s), by either.
    const quint64 replies = sim.fleet->counters().repliesSent;
    QVERIFY(QTest::qWaitFor([&] { return sim.fleet->counters().repliesSent >= replies + 8; }, 15000));

    QString logs;
    for (QProcess& process : agents) {
        process.terminate();
        QVERIFY(process.waitForFinished(10000));
        logs += QString::fromUtf8(process.readAll());
    }
    // Both ran an executor, and the switch went out once.
    QCOMPARE(logs.count(QStringLiteral("Schedules: 1 entries")), 2);
    int frames = 0;
    for (const auto& record : sim.fleet->model(0).frames())
        frames += record.bytes == protocol::relayOnFrame(2, "Ag3nt*****");
    QCOMPARE(frames, 1);
    QVERIFY(sim.fleet->model(0).relayOn(2));
    QStringList records;
    for (const history::AuditRecord& r : audit.records())
        records << r.program + u' ' + r.action + u' ' + r.outcome + u' ' + r.detail;
    QCOMPARE(records, QStringList(QStringLiteral("agent Relay 2 ON acknowledged schedule #%1").arg(id)));
    int sent = 0;
    for (const schedules::LogRecord& r : store.logSince(0))
        sent += r.outcome == u"sent";
    QCOMPARE(sent, 1);
}

QTEST_GUILESS_MAIN(TestAgent)
#include "tst_agent.moc"
