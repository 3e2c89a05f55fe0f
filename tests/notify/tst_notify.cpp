// Notifications against real receivers on loopback (an HTTP server in the test, aiosmtpd as a
// process): the fields each kind of route carries, and every rule that decides whether a message
// leaves — cooldown, hourly cap, repeat, flood summary, chattering, maintenance — on an injected
// clock. Retries and a hung route use short injected pauses and timeouts.

#include <atomic>
#include <memory>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "history/alarmjournal.h"
#include "history/auditlog.h"
#include "notify/alarmreport.h"
#include "notify/curltransport.h"
#include "notify/notifier.h"
#include "notify/notifystore.h"
#include "receivers.h"

using namespace kestavo::notify;
using kestavo::history::AlarmPriority;
using kestavo::history::AlarmRecord;
using kestavo::history::AlarmState;
using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kT0 = 1'767'225'600'000; // 2026-01-01 00:00 UTC
constexpr qint64 kMinute = 60'000;

// Read by the worker threads too.
struct Clock
{
    std::atomic<qint64> t{kT0};
    std::function<qint64()> fn()
    {
        return [this] {
            return t.load();
        };
    }
};

Route webhook(const QString& url, qint64 id = 1)
{
    Route r;
    r.id = id;
    r.target = url;
    return r;
}

// Drives one alarm through the engine's transitions as the notifier sees them.
struct Alarm
{
    AlarmRecord record;
    Alarm(qint64 id, const QString& address, qint64 rule = 1, AlarmPriority priority = AlarmPriority::High,
          const QString& text = u"Voltage 3 below 11.5 V"_s)
    {
        record.id = id;
        record.address = address;
        record.rule = rule;
        record.priority = priority;
        record.text = text;
    }
    void go(Notifier& n, AlarmState to, qint64 t, const QString& who = {})
    {
        const AlarmState previous = record.state;
        record.state = to;
        record.changedMs = t;
        if (previous == AlarmState::Normal)
            record.raisedMs = t;
        if (!who.isEmpty())
            record.ackedBy = who;
        n.alarmChanged(record, previous);
    }
};

class Rig
{
public:
    Clock clock;
    std::unique_ptr<Notifier> notifier;
    std::unique_ptr<QSignalSpy> deliveries;

    explicit Rig(const QList<Route>& routes, Notifier::Options options = {}, NotifyStore* store = nullptr,
                 const QString& caFile = {})
    {
        options.clock = clock.fn();
        options.tickMs = 3'600'000; // the test ticks by hand
        options.retryDelaysMs = {100, 200, 400, 800, 1600};
        if (!options.station)
            options.station = [](const QString& address) {
                return StationInfo{address == u"127.0.0.5" ? u"Pumphouse"_s
                                                           : u"Site %1"_s.arg(address.section(u'.', 3)),
                                   {address.toUtf8().back() % 2 ? u"north/pumps"_s : u"north/wells"_s}};
            };
        CurlTransport::Options transport;
        transport.timeoutMs = 4000;
        transport.connectTimeoutMs = 2000;
        transport.caFile = caFile;
        notifier = std::make_unique<Notifier>(store, std::make_shared<CurlTransport>(transport), options);
        deliveries = std::make_unique<QSignalSpy>(notifier.get(), &Notifier::delivered);
        if (!store)
            notifier->setRoutes(routes);
    }
    void at(qint64 t)
    {
        clock.t = t;
        notifier->tick(t);
    }
    // Every queued message handled and its rows reported back.
    bool settle()
    {
        if (!QTest::qWaitFor([this] { return notifier->idle(); }, 10'000))
            return false;
        QTest::qWait(20);
        return true;
    }
    QStringList outcomes(const QString& kind = {}) const
    {
        QStringList list;
        for (const auto& args : *deliveries) {
            const auto d = args.at(0).value<Delivery>();
            if (kind.isEmpty() || d.kind == kind)
                list << d.kind + u':' + d.outcome;
        }
        return list;
    }
};

QJsonObject json(const QByteArray& body)
{
    return QJsonDocument::fromJson(body).object();
}

} // namespace

class NotifyTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void validation_data();
    void validation();
    void webhookCarriesTheAlarm_data();
    void webhookCarriesTheAlarm();
    void mailCarriesTheAlarm_data();
    void mailCarriesTheAlarm();
    void cooldownAndRateCap();
    void repeatWhileUnacknowledged();
    void floodSendsSummaries();
    void chatteringIsSentOnce();
    void retriesUntilTheReceiverComesBack();
    void hungRouteDelaysNoOther();
    void maintenanceSuppressesAndExpires();
    void tagsChooseRoutesAndMaintenance_data();
    void tagsChooseRoutesAndMaintenance();
    void reportFigures();
    void reportCsvCells_data();
    void reportCsvCells();
    void ruleNamedInWords_data();
    void ruleNamedInWords();
};

void NotifyTest::validation_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<QString>("problem");
    Route mail;
    mail.kind = RouteKind::Email;
    mail.target = u"oncall@example.org"_s;
    mail.smtp = u"smtp://mail.example.org:587"_s;
    QTest::newRow("mail") << mail << QString();
    Route injected = mail;
    injected.target = u"oncall@example.org\r\nBcc:all@example.org"_s;
    QTest::newRow("line break in To")
        << injected << u"To: \"%1\" is not a mail address."_s.arg(injected.target);
    Route noPort = mail;
    noPort.smtp = u"smtp://mail.example.org"_s;
    QTest::newRow("no port")
        << noPort
        << u"SMTP server: \"smtp://mail.example.org\" is not smtp://HOST:PORT or smtps://HOST:PORT."_s;
    Route both = webhook(u"https://hooks.example.org/x"_s);
    both.station = u"10.0.0.5"_s;
    both.tag = u"north"_s;
    QTest::newRow("station and tag") << both << u"Filter: a route takes one station or one tag, not both."_s;
}

void NotifyTest::validation()
{
    QFETCH(Route, route);
    QFETCH(QString, problem);
    QCOMPARE(validate(route), problem);
}

void NotifyTest::webhookCarriesTheAlarm_data()
{
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("mustContain");
    QTest::newRow("json") << u"json"_s << QByteArray("application/json") << QByteArray("\"alarm_id\":42");
    QTest::newRow("text") << u"text"_s << QByteArray("text/plain; charset=utf-8")
                          << QByteArray("Station: Pumphouse (127.0.0.5)");
    QTest::newRow("chat") << u"chat"_s << QByteArray("application/json")
                          << QByteArray(
                                 "{\"text\":\"High alarm at Pumphouse (127.0.0.5): Voltage 3 below 11.5 V");
}

void NotifyTest::webhookCarriesTheAlarm()
{
    QFETCH(QString, preset);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, mustContain);
    QTemporaryDir dir;
    const QString headers = dir.filePath(u"headers"_s);
    QFile file(headers);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("# a token for the receiver\nAuthorization: Bearer s3cret\n");
    file.close();

    HttpReceiver receiver;
    Route route = webhook(receiver.url());
    route.preset = *presetFromText(preset);
    route.headerFile = headers;
    route.sendAcknowledged = true;
    Rig rig({route});
    Alarm a(42, u"127.0.0.5"_s);
    a.record.value = 11.2;
    a.go(*rig.notifier, AlarmState::ActiveUnacknowledged, kT0);
    a.go(*rig.notifier, AlarmState::ActiveAcknowledged, kT0 + 5000, u"maria"_s);
    QVERIFY(rig.settle());

    QCOMPARE(receiver.requests().size(), 2);
    const auto& raised = receiver.requests().at(0);
    QCOMPARE(raised.path, QByteArray("/hook"));
    QCOMPARE(raised.header("Content-Type"), contentType);
    QCOMPARE(raised.header("Authorization"), QByteArray("Bearer s3cret"));
    QVERIFY2(raised.body.contains(mustContain), raised.body.constData());
    if (preset == u"json") {
        const QJsonObject o = json(raised.body);
        QCOMPARE(o[u"event"_s].toString(), u"raised"_s);
        QCOMPARE(o[u"station"_s][u"address"_s].toString(), u"127.0.0.5"_s);
        QCOMPARE(o[u"station"_s][u"description"_s].toString(), u"Pumphouse"_s);
        QCOMPARE(o[u"rule"_s].toInt(), 1);
        QCOMPARE(o[u"priority"_s].toString(), u"high"_s);
        QCOMPARE(o[u"state"_s].toString(), u"active, unacknowledged"_s);
        QCOMPARE(o[u"value"_s].toDouble(), 11.2);
        QCOMPARE(o[u"text"_s].toString(), u"Voltage 3 below 11.5 V"_s);
        QCOMPARE(o[u"time"_s].toString(), u"2026-01-01T00:00:00Z"_s);
        QCOMPARE(o[u"title"_s].toString(), u"High alarm at Pumphouse (127.0.0.5): Voltage 3 below 11.5 V"_s);
        const QJsonObject ack = json(receiver.requests().at(1).body);
        QCOMPARE(ack[u"event"_s].toString(), u"acknowledged"_s);
        QCOMPARE(ack[u"acknowledged_by"_s].toString(), u"maria"_s);
    }
    if (preset == u"text") {
        QCOMPARE(raised.header("Title"),
                 QByteArray("High alarm at Pumphouse (127.0.0.5): Voltage 3 below 11.5 V"));
        QCOMPARE(raised.header("Priority"), QByteArray("5"));
        QVERIFY(receiver.requests().at(1).body.contains("Acknowledged by: maria"));
    }
    QCOMPARE(rig.outcomes(), QStringList({u"raised:sent"_s, u"acknowledged:sent"_s}));
}

void NotifyTest::mailCarriesTheAlarm_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QStringList>("tls");
    QTest::newRow("plain, a relay on this machine") << u"smtp"_s << QStringList();
    QTest::newRow("STARTTLS") << u"smtp"_s << QStringList{u"--tlscert"_s, u"CERT"_s, u"--tlskey"_s, u"KEY"_s};
    QTest::newRow("SMTPS") << u"smtps"_s
                           << QStringList{u"--smtpscert"_s, u"CERT"_s, u"--smtpskey"_s, u"KEY"_s};
}

void NotifyTest::mailCarriesTheAlarm()
{
    QFETCH(QString, scheme);
    QFETCH(QStringList, tls);
    QTemporaryDir dir;
    const QString cert = dir.filePath(u"cert.pem"_s);
    const QString key = dir.filePath(u"key.pem"_s);
    if (!tls.isEmpty()) {
        QProcess openssl;
        openssl.start(u"openssl"_s, {u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-nodes"_s,
                                     u"-days"_s, u"1"_s, u"-subj"_s, u"/CN=127.0.0.1"_s, u"-addext"_s,
                                     u"subjectAltName=IP:127.0.0.1"_s, u"-keyout"_s, key, u"-out"_s, cert});
        QVERIFY(openssl.waitForFinished(30'000) && openssl.exitCode() == 0);
        tls.replace(1, cert);
        tls.replace(3, key);
    }
    SmtpServer smtp;
    if (!smtp.start(tls))
        QSKIP("python3-aiosmtpd is not installed (scripts/setup.sh installs it)");
    Route route;
    route.id = 3;
    route.kind = RouteKind::Email;
    route.target = u"oncall@example.org"_s;
    route.from = u"kestavo@example.org"_s;
    route.smtp = u"%1://127.0.0.1:%2"_s.arg(scheme).arg(smtp.port());
    route.sendCleared = true;
    QVERIFY(validate(route).isEmpty());
    Rig rig({route}, {}, nullptr, tls.isEmpty() ? QString() : cert);
    Alarm a(7, u"127.0.0.5"_s, 4, AlarmPriority::Medium, u"Temperature above 60 °C"_s);
    a.record.value = 61.5;
    a.go(*rig.notifier, AlarmState::ActiveUnacknowledged, kT0);
    a.go(*rig.notifier, AlarmState::ClearedUnacknowledged, kT0 + kMinute);
    QVERIFY(rig.settle());
    QCOMPARE(rig.outcomes(), QStringList({u"raised:sent"_s, u"cleared:sent"_s}));
    QTRY_VERIFY(smtp.received().count("---------- MESSAGE FOLLOWS ----------") == 2);
    const QByteArray mail = smtp.received();
    // Non-ASCII subjects travel encoded; the site name is in it either way.
    const QByteArray subject =
        "Subject: =?UTF-8?B?" +
        u"Medium alarm at Pumphouse (127.0.0.5): Temperature above 60 °C"_s.toUtf8().toBase64() + "?=";
    QVERIFY2(mail.contains(subject), mail.constData());
    for (const char* line :
         {"To: oncall@example.org", "From: kestavo@example.org", "Station: Pumphouse (127.0.0.5)",
          "Alarm: 7, rule 4", "Priority: medium", "State: active, unacknowledged", "Value: 61.5",
          "Time: 2026-01-01T00:00:00Z", "State: cleared, unacknowledged"})
        QVERIFY2(mail.contains(line), line);
}

void NotifyTest::cooldownAndRateCap()
{
    HttpReceiver receiver;
    Route cooled = webhook(receiver.url(u"/cooled"_s), 1);
    cooled.cooldownS = 300;
    Route capped = webhook(receiver.url(u"/capped"_s), 2);
    capped.maxPerHour = 3;
    Rig rig({cooled, capped});
    Alarm a(1, u"127.0.0.5"_s);
    // The same alarm three times within five minutes, then once after.
    for (qint64 t : {kT0, kT0 + 2 * kMinute, kT0 + 4 * kMinute, kT0 + 10 * kMinute}) {
        rig.at(t);
        a.go(*rig.notifier, AlarmState::ActiveUnacknowledged, t);
        a.go(*rig.notifier, AlarmState::ClearedUnacknowledged, t + 1000);
    }
    // Other alarms on the capped route within the same hour, then one an hour later.
    Alarm b(2, u"127.0.0.6"_s, 2);
    b.go(*rig.notifier, AlarmState::ActiveUnacknowledged, kT0 + 20 * kMinute);
    rig.at(kT0 + 61 * kMinute);
    Alarm c(3, u"127.0.0.7"_s, 3);
    c.go(*rig.notifier, AlarmState::ActiveUnacknowledged, kT0 + 61 * kMinute);
    QVERIFY(rig.settle());

    int toCooled = 0, toCapped = 0;
    for (const auto& r : receiver.requests())
        (r.path == "/cooled" ? toCooled : toCapped) += 1;
    QCOMPARE(toCooled, 4); // a at 0 and 10 min, b, c
    QCOMPARE(toCapped, 4); // three in the first hour, c in the next
    QCOMPARE(rig.outcomes().count(u"raised:cooldown"_s), 2);
    QCOMPARE(rig.outcomes().count(u"raised:rate cap"_s), 2);
}

void NotifyTest::repeatWhileUnacknowledged()
{
    HttpReceiver receiver;
    Route route = webhook(receiver.url());
    route.repeatMin = 5;
    Rig rig({route});
    Alarm high(1, u"127.0.0.5"_s);
    Alarm low(2, u"127.0.0.6"_s, 2, AlarmPriority::Low);
    high.go(*rig.notifier, AlarmState::ActiveUnacknowledged, kT0);
    low.go(*rig.notifier, AlarmState::ActiveUnacknowledged, kT0);
    rig.at(kT0 + 4 * kMinute);
    rig.at(kT0 + 5 * kMinute);
    rig.at(kT0 + 9 * kMinute);
    rig.at(kT0 + 10 * kMinute);
    high.go(*rig.notifier, AlarmState::ActiveAcknowledged, kT0 + 11 * kMinute, u"maria"_s);
    rig.at(kT0 + 30 * kMinute);
    QVERIFY(rig.settle());
    QCOMPARE(rig.outcomes(),
             QStringList({u"raised:sent"_s, u"raised:sent"_s, u"repeat:sent"_s, u"repeat:sent"_s}));
    QCOMPARE(json(receiver.requests().at(3).body)[u"alarm_id"_s].toInt(), 1);
}

void NotifyTest::floodSendsSummaries()
{
    HttpReceiver receiver;
    Rig rig({webhook(receiver.url())});
    QSignalSpy flood(rig.notifier.get(), &Notifier::floodChanged);
    std::vector<Alarm> alarms;
    for (int i = 0; i < 20; ++i)
        alarms.emplace_back(i + 1, u"127.0.1.%1"_s.arg(i + 1), 7, AlarmPriority::High, u"Offline"_s);
    for (int i = 0; i < 20; ++i) {
        rig.at(kT0 + i * 3000);
        alarms[std::size_t(i)].go(*rig.notifier, AlarmState::ActiveUnacknowledged, kT0 + i * 3000);
    }
    QVERIFY(rig.notifier->flooding());
    QCOMPARE(rig.notifier->routesInFlood(), QList<qint64>{1});
    rig.at(kT0 + 2 * kMinute); // the first summary
    QVERIFY(rig.settle());
    QCOMPARE(receiver.requests().size(), 11);
    const QJsonObject summary = json(receiver.requests().last().body);
    QCOMPARE(summary[u"event"_s].toString(), u"summary"_s);
    QCOMPARE(summary[u"count"_s].toInt(), 10);
    QCOMPARE(summary[u"title"_s].toString(),
             u"Alarm flood: 10 new alarms in 2 min: 10 × Offline (north)"_s); // the tag they share

    // Five more during the next interval: one more summary; then a quiet interval ends the flood.
    for (int i = 0; i < 5; ++i)
        Alarm(100 + i, u"127.0.2.%1"_s.arg(i), 7, AlarmPriority::High, u"Offline"_s)
            .go(*rig.notifier, AlarmState::ActiveUnacknowledged, kT0 + 3 * kMinute);
    rig.at(kT0 + 12 * kMinute);
    rig.at(kT0 + 22 * kMinute);
    QVERIFY(rig.notifier->routesInFlood().isEmpty());
    QVERIFY(!rig.notifier->flooding());
    Alarm(200, u"127.0.0.5"_s).go(*rig.notifier, AlarmState::ActiveUnacknowledged, kT0 + 23 * kMinute);
    QVERIFY(rig.settle());
    QCOMPARE(receiver.requests().size(), 13);
    QCOMPARE(json(receiver.requests().at(11).body)[u"count"_s].toInt(), 5);
    QCOMPARE(json(receiver.requests().at(12).body)[u"event"_s].toString(), u"raised"_s);
    QCOMPARE(flood.size(), 2); // on, off
}

void NotifyTest::chatteringIsSentOnce()
{
    HttpReceiver receiver;
    Route route = webhook(receiver.url());
    route.sendCleared = true;
    Rig rig({route});
    Alarm a(1, u"127.0.0.5"_s);
    for (int i = 0; i < 5; ++i) {
        rig.clock.t = kT0 + i * 10'000;
        a.go(*rig.notifier, AlarmState::ActiveUnacknowledged, kT0 + i * 10'000);
        a.go(*rig.notifier, AlarmState::ClearedUnacknowledged, kT0 + i * 10'000 + 5000);
    }
    QVERIFY(rig.notifier->isChattering(u"127.0.0.5"_s, 1));
    // A quiet minute later it is news again.
    rig.clock.t = kT0 + 3 * kMinute;
    QVERIFY(!rig.notifier->isChattering(u"127.0.0.5"_s, 1));
    a.go(*rig.notifier, AlarmState::ActiveUnacknowledged, kT0 + 3 * kMinute);
    QVERIFY(rig.settle());
    QCOMPARE(rig.outcomes(), QStringList({u"raised:sent"_s, u"cleared:sent"_s, u"raised:sent"_s,
                                          u"cleared:sent"_s, u"chattering:sent"_s, u"raised:sent"_s}));
    QVERIFY(receiver.requests().at(4).body.contains("\"event\":\"chattering\""));
}

void NotifyTest::retriesUntilTheReceiverComesBack()
{
    const quint16 port = freeTcpPort();
    Rig rig({webhook(u"http://127.0.0.1:%1/hook"_s.arg(port))});
    Alarm(1, u"127.0.0.5"_s).go(*rig.notifier, AlarmState::ActiveUnacknowledged, kT0);
    QTRY_VERIFY(rig.outcomes().contains(u"raised:retrying"_s));
    HttpReceiver receiver(true, port);
    QVERIFY(receiver.isListening());
    QTRY_COMPARE_WITH_TIMEOUT(receiver.requests().size(), 1, 10'000);
    QVERIFY(rig.settle());
    const auto last = rig.deliveries->last().at(0).value<Delivery>();
    QCOMPARE(last.outcome, u"sent"_s);
    QVERIFY(last.attempt >= 2);
}

void NotifyTest::hungRouteDelaysNoOther()
{
    HttpReceiver hung(false);
    HttpReceiver good;
    Rig rig({webhook(hung.url(), 1), webhook(good.url(), 2)});
    for (int i = 0; i < 3; ++i)
        Alarm(i + 1, u"127.0.0.%1"_s.arg(i + 1)).go(*rig.notifier, AlarmState::ActiveUnacknowledged, kT0);
    // The good route delivers all three while the hung one still waits for its first answer.
    QTRY_COMPARE_WITH_TIMEOUT(good.requests().size(), 3, 3000);
    QCOMPARE(hung.requests().size(), 1);
    for (const auto& args : *rig.deliveries)
        QCOMPARE(args.at(0).value<Delivery>().route, 2);
}

void NotifyTest::maintenanceSuppressesAndExpires()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"history.db"_s);
    NotifyStore store;
    QVERIFY(store.open(path));
    HttpReceiver receiver;
    Route route = webhook(receiver.url(), 0);
    QVERIFY(store.saveRoute(route));
    MaintenanceWindow window{0,   u"127.0.0.5"_s,      {}, u"battery swap"_s,
                             kT0, kT0 + 2 * 3'600'000, {}, u"maria"_s};
    QVERIFY(store.startMaintenance(window, u"CLI"_s, u"Pumphouse"_s));

    Notifier::Options options;
    options.program = u"console"_s;
    Rig rig({}, options, &store);
    // A second program on the same file expires windows too; the end is audited once.
    Notifier::Options otherOptions;
    otherOptions.clock = rig.clock.fn();
    otherOptions.tickMs = 3'600'000;
    NotifyStore otherStore;
    QVERIFY(otherStore.open(path));
    Notifier other(&otherStore, std::make_shared<CurlTransport>(), otherOptions);
    other.setRoutes({});

    Alarm inMaintenance(1, u"127.0.0.5"_s);
    Alarm elsewhere(2, u"127.0.0.6"_s);
    inMaintenance.go(*rig.notifier, AlarmState::ActiveUnacknowledged, kT0 + kMinute);
    elsewhere.go(*rig.notifier, AlarmState::ActiveUnacknowledged, kT0 + kMinute);
    QVERIFY(rig.notifier->maintenanceOf(u"127.0.0.5"_s));
    QVERIFY(rig.settle());
    QCOMPARE(receiver.requests().size(), 1);
    QCOMPARE(json(receiver.requests().at(0).body)[u"alarm_id"_s].toInt(), 2);

    // Time up: the station is back by itself and its standing alarm is sent.
    rig.clock.t = kT0 + 2 * 3'600'000 + 5000;
    other.tick(rig.clock.t);
    rig.at(rig.clock.t);
    QVERIFY(!rig.notifier->maintenanceOf(u"127.0.0.5"_s));
    QVERIFY(rig.settle());
    QCOMPARE(receiver.requests().size(), 2);
    QCOMPARE(json(receiver.requests().at(1).body)[u"alarm_id"_s].toInt(), 1);
    QVERIFY(store.maintenance(true).isEmpty());

    kestavo::history::AuditLog audit;
    QVERIFY(audit.open(path));
    QStringList actions;
    for (const auto& r : audit.records())
        actions << r.address + u' ' + r.action + u' ' + r.detail;
    QCOMPARE(actions, QStringList({u"127.0.0.5 maintenance until 2026-01-01T02:00:00.000Z battery swap"_s,
                                   u"127.0.0.5 maintenance ended time up"_s}));
    // The delivery log is in the file.
    QTRY_COMPARE(store.deliveries().size(), 2);
}

void NotifyTest::tagsChooseRoutesAndMaintenance_data()
{
    QTest::addColumn<QStringList>("stationTags");
    QTest::addColumn<QString>("tag"); // of the route, and then of a maintenance window
    QTest::addColumn<bool>("covered");
    QTest::newRow("a tag below it") << QStringList{u"north/pumps"_s} << u"north"_s << true;
    QTest::newRow("one of several") << QStringList{u"night-tariff"_s, u"north/wells"_s} << u"north"_s << true;
    QTest::newRow("same start, other tag") << QStringList{u"northeast"_s} << u"north"_s << false;
    QTest::newRow("a tag above it") << QStringList{u"north"_s} << u"north/pumps"_s << false;
}

// A route by tag takes the stations carrying it or a tag below it; maintenance by tag holds back
// every such station's alarms.
void NotifyTest::tagsChooseRoutesAndMaintenance()
{
    QFETCH(QStringList, stationTags);
    QFETCH(QString, tag);
    QFETCH(bool, covered);
    HttpReceiver receiver;
    Route byTag = webhook(receiver.url(u"/tag"_s), 1);
    byTag.tag = tag;
    QVERIFY(validate(byTag).isEmpty());
    Route everyone = webhook(receiver.url(u"/all"_s), 2);
    Notifier::Options options;
    options.station = [&](const QString&) {
        return StationInfo{u"Pumphouse"_s, stationTags};
    };
    Rig rig({byTag, everyone}, options);
    Alarm(1, u"127.0.0.5"_s).go(*rig.notifier, AlarmState::ActiveUnacknowledged, kT0);
    QVERIFY(rig.settle());

    rig.notifier->setMaintenance({{7, {}, tag, u"mains work"_s, kT0, kT0 + 3'600'000, {}, u"maria"_s}});
    QCOMPARE(rig.notifier->maintenanceOf(u"127.0.0.5"_s).has_value(), covered);
    Alarm(2, u"127.0.0.5"_s, 2).go(*rig.notifier, AlarmState::ActiveUnacknowledged, kT0 + 1000);
    QVERIFY(rig.settle());
    int toTag = 0, toAll = 0;
    for (const auto& r : receiver.requests())
        (r.path == "/tag" ? toTag : toAll) += 1;
    QCOMPARE(toTag, covered ? 1 : 0); // the second alarm is held back where the first went out
    QCOMPARE(toAll, covered ? 1 : 2);
}

// A recorded series: a flood of twelve offline alarms, a chattering input, two acknowledgements,
// a shelving that ends, and standing alarms.
// A schedule-failed alarm has no rule: its number is minus the schedule's id, and what people
// read names the schedule.
void NotifyTest::ruleNamedInWords_data()
{
    QTest::addColumn<qint64>("rule");
    QTest::addColumn<QString>("name");
    QTest::newRow("rule") << qint64(4) << u"rule 4"_s;
    QTest::newRow("failed schedule") << qint64(-12) << u"schedule #12"_s;
}

void NotifyTest::ruleNamedInWords()
{
    QFETCH(qint64, rule);
    QFETCH(QString, name);
    Message m;
    m.alarmId = 7;
    m.address = u"127.0.0.5"_s;
    m.rule = rule;
    m.text = u"Schedule #12 failed: relay 2 off at 127.0.0.5 not confirmed by the unit after 3 attempts"_s;
    QVERIFY2(plainText(m).contains(u"\nAlarm: 7, %1\n"_s.arg(name)), qPrintable(plainText(m)));

    QList<kestavo::history::AlarmEvent> events;
    for (int i = 0; i < 5; ++i) // raised, ended, raised, ended, raised: chattering
        events.append({i + 1,
                       kT0 + i * 10'000,
                       7,
                       m.address,
                       rule,
                       std::nullopt,
                       i % 2 ? AlarmState::Normal : AlarmState::ActiveUnacknowledged,
                       {},
                       m.text});
    const QString text =
        reportText(buildReport(events, {}, kT0, kT0 + kMinute, [](const QString&) { return QString(); }));
    QVERIFY2(text.contains(u"  127.0.0.5 %1 %2: 3 raised"_s.arg(name, m.text)), qPrintable(text));
    QVERIFY2(text.contains(u"      3  %1 %2\n"_s.arg(name, m.text)), qPrintable(text));
}

void NotifyTest::reportFigures()
{
    using kestavo::history::AlarmEvent;
    QList<AlarmEvent> events;
    qint64 nextId = 0;
    const auto event = [&](qint64 t, qint64 alarm, const QString& address, qint64 rule, AlarmState state,
                           const QString& text) {
        events.append(AlarmEvent{++nextId, t, alarm, address, rule, std::nullopt, state, {}, text});
    };
    for (int i = 0; i < 12; ++i)
        event(kT0 + i * 25'000, i + 1, u"127.0.1.%1"_s.arg(i), 7, AlarmState::ActiveUnacknowledged,
              u"Offline"_s);
    const qint64 day2 = kT0 + 86'400'000;
    for (int i = 0; i < 4; ++i) {
        event(day2 + i * 10'000, 50, u"127.0.0.5"_s, 1, AlarmState::ActiveUnacknowledged, u"Pin 2 is 1"_s);
        event(day2 + i * 10'000 + 5000, 50, u"127.0.0.5"_s, 1, AlarmState::ClearedUnacknowledged,
              u"Pin 2 is 1"_s);
    }
    event(day2 + 3600'000, 60, u"127.0.0.6"_s, 2, AlarmState::ActiveUnacknowledged, u"Hot"_s);
    event(day2 + 3660'000, 60, u"127.0.0.6"_s, 2, AlarmState::ActiveAcknowledged, u"Hot"_s);
    event(day2 + 3600'000, 61, u"127.0.0.7"_s, 2, AlarmState::ActiveUnacknowledged, u"Hot"_s);
    event(day2 + 3700'000, 61, u"127.0.0.7"_s, 2, AlarmState::ClearedUnacknowledged, u"Hot"_s);
    event(day2 + 3780'000, 61, u"127.0.0.7"_s, 2, AlarmState::Normal, u"Hot"_s);
    event(day2 + 4000'000, 62, u"127.0.0.8"_s, 2, AlarmState::Shelved, u"shelved until …"_s);
    event(day2 + 5000'000, 62, u"127.0.0.8"_s, 2, AlarmState::ActiveUnacknowledged, u"shelving ended"_s);
    event(kT0 - 5000, 63, u"127.0.0.9"_s, 3, AlarmState::ActiveUnacknowledged, u"Before the period"_s);

    const qint64 to = kT0 + 3 * 86'400'000;
    AlarmRecord old;
    old.id = 3;
    old.state = AlarmState::ActiveAcknowledged;
    old.raisedMs = to - 2 * 86'400'000;
    AlarmRecord fresh = old;
    fresh.id = 4;
    fresh.raisedMs = to - 3600'000;
    AlarmRecord cleared = old;
    cleared.id = 5;
    cleared.state = AlarmState::ClearedUnacknowledged;

    const AlarmReport r = buildReport(events, {old, fresh, cleared}, kT0, to, [](const QString& address) {
        return address == u"127.0.0.5" ? u"Pumphouse"_s : QString();
    });
    QCOMPARE(r.raised, 18);
    QCOMPARE(r.perDay.size(), 3);
    QCOMPARE(r.perDay.at(0).date, u"2026-01-01"_s);
    QCOMPARE(r.perDay.at(0).raised, 12);
    QCOMPARE(r.perDay.at(1).raised, 6);
    QCOMPARE(r.perDay.at(2).raised, 0);
    QCOMPARE(r.peakTenMinutes, 12);
    QCOMPARE(r.peakStartMs, kT0);
    QCOMPARE(r.floodMs, 650'000 - 225'000); // from the tenth raise until ten minutes after the third
    QCOMPARE(r.chattering.size(), 1);
    QCOMPARE(r.chattering.at(0).address, u"127.0.0.5"_s);
    QCOMPARE(r.chattering.at(0).mostInMinute, 4);
    QCOMPARE(r.topRules.at(0).key, u"7"_s);
    QCOMPARE(r.topRules.at(0).count, 12);
    QCOMPARE(r.topStations.at(0).label, u"Pumphouse (127.0.0.5)"_s);
    QCOMPARE(r.topStations.at(0).count, 4);
    QCOMPARE(r.acknowledged, 2);
    QCOMPARE(*r.meanAckMs, (60'000 + 180'000) / 2);
    QCOMPARE(r.standing.size(), 1);
    QCOMPARE(r.standing.at(0).id, 3);
    QCOMPARE(reportJson(r)[u"flood_seconds"_s].toInt(), 425);
    QVERIFY(reportCsv(r).contains(u"\nchattering,127.0.0.5/1,Pin 2 is 1,4\n"_s));
}

void NotifyTest::reportCsvCells_data()
{
    // Station names are typed by people: the report is opened in spreadsheets.
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("line");
    QTest::newRow("plain") << u"Pumphouse (127.0.0.5)"_s << u"station,127.0.0.5,Pumphouse (127.0.0.5),4"_s;
    QTest::newRow("formula") << u"=1+2 (127.0.0.5)"_s << u"station,127.0.0.5,'=1+2 (127.0.0.5),4"_s;
    QTest::newRow("comma") << u"Pump, north"_s << u"station,127.0.0.5,\"Pump, north\",4"_s;
    QTest::newRow("carriage return") << u"Pump\rnorth"_s << u"station,127.0.0.5,\"Pump\rnorth\",4"_s;
}

void NotifyTest::reportCsvCells()
{
    QFETCH(QString, label);
    QFETCH(QString, line);
    AlarmReport r;
    r.topStations.append({u"127.0.0.5"_s, label, 4});
    QVERIFY2(reportCsv(r).contains(u'\n' + line + u'\n'), qPrintable(reportCsv(r)));
}

QTEST_MAIN(NotifyTest)
#include "tst_notify.moc"
