#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include "fleet/fleetpoller.h"
#include "fleet/fleetrecorder.h"
#include "fleetrig.h"
#include "history/historyreader.h"
#include "history/historystore.h"

using namespace kestavo;
using fleet::FleetPoller;
using fleet::LinkState;
using testsupport::SimFleetRig;

namespace {

// Polls quickly and judges link states by a clock the test moves.
struct PollerRig
{
    explicit PollerRig(quint16 port, int intervalMs = 1000)
    {
        poller.setClock([this] { return nowMs; });
        FleetPoller::Timing timing;
        timing.intervalMs = intervalMs;
        timing.tickMs = 5;
        timing.stateCheckMs = 3600000; // the test calls refreshStates() itself
        poller.setTiming(timing);
        poller.setUnitPort(port);
    }

    // Waits until every listed unit has been decoded at least `reports` times.
    bool waitForReports(const QList<int>& units, int reports = 1)
    {
        return QTest::qWaitFor(
            [&] {
                for (int index : units) {
                    if (poller.unit(index).received < static_cast<quint64>(reports))
                        return false;
                }
                return true;
            },
            5000);
    }

    qint64 nowMs = 1'700'000'000'000;
    FleetPoller poller;
};

} // namespace

class TestFleetPoller : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void evaluateLink_data();
    void evaluateLink();
    void addressProblems_data();
    void addressProblems();
    void unitsGoOnlineThenStaleThenOffline();
    void wrongPasswordShowsBadPassword();
    void invalidAndDuplicateStationsAreNeverPolled();
    void strangersNeverLandOnAUnit();
    void floodingUnitIsRateLimited();
    void externalPollsSkipTheFleetsPoll();
    void reloadKeepsCountersOfUnchangedStations();
    void recorderWritesReportsAndLinkEvents();
};

void TestFleetPoller::evaluateLink_data()
{
    QTest::addColumn<qint64>("ageMs"); // -1: no report yet
    QTest::addColumn<bool>("rejected");
    QTest::addColumn<int>("state");
    const auto s = [](LinkState state) {
        return static_cast<int>(state);
    };
    // Interval 5 s: online below 15 s, stale below 60 s.
    QTest::newRow("never") << qint64(-1) << false << s(LinkState::Offline);
    QTest::newRow("fresh") << qint64(0) << false << s(LinkState::Online);
    QTest::newRow("just under three intervals") << qint64(14999) << false << s(LinkState::Online);
    QTest::newRow("three intervals") << qint64(15000) << false << s(LinkState::Stale);
    QTest::newRow("just under a minute") << qint64(59999) << false << s(LinkState::Stale);
    QTest::newRow("a minute") << qint64(60000) << false << s(LinkState::Offline);
    QTest::newRow("clock stepped back") << qint64(-5000) << false << s(LinkState::Online);
    QTest::newRow("rejected beats fresh") << qint64(0) << true << s(LinkState::BadPassword);
    QTest::newRow("rejected, never reported") << qint64(-1) << true << s(LinkState::BadPassword);
}

void TestFleetPoller::evaluateLink()
{
    QFETCH(qint64, ageMs);
    QFETCH(bool, rejected);
    QFETCH(int, state);
    const qint64 now = 1'000'000;
    const std::optional<qint64> last =
        ageMs == -1 ? std::nullopt : std::optional<qint64>(now - (ageMs == -5000 ? -5000 : ageMs));
    QCOMPARE(static_cast<int>(fleet::evaluateLink(last, rejected, now, fleet::LinkLimits{5000, 60000})),
             state);
}

void TestFleetPoller::addressProblems_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("usable");
    QTest::newRow("plain") << QStringLiteral("10.1.2.3") << true;
    QTest::newRow("loopback") << QStringLiteral("127.0.1.1") << true;
    QTest::newRow("three parts") << QStringLiteral("10.1.2") << false;
    QTest::newRow("octet too big") << QStringLiteral("10.1.2.256") << false;
    QTest::newRow("host name") << QStringLiteral("pumphouse.example") << false;
    QTest::newRow("hex") << QStringLiteral("0x7f.0.0.1") << false;
    QTest::newRow("empty part") << QStringLiteral("10..2.3") << false;
    QTest::newRow("sign") << QStringLiteral("10.+1.2.3") << false;
    QTest::newRow("broadcast") << QStringLiteral("255.255.255.255") << false;
    QTest::newRow("multicast") << QStringLiteral("224.0.0.1") << false;
    QTest::newRow("zero network") << QStringLiteral("0.0.0.0") << false;
    QTest::newRow("empty") << QString() << false;
}

void TestFleetPoller::addressProblems()
{
    QFETCH(QString, address);
    QFETCH(bool, usable);
    const QString problem = fleet::addressProblem(address);
    QCOMPARE(problem.isEmpty(), usable);
    if (!usable)
        QVERIFY2(problem.contains(QLatin1Char('"') + address + QLatin1Char('"')), qPrintable(problem));
}

void TestFleetPoller::unitsGoOnlineThenStaleThenOffline()
{
    SimFleetRig sim(3);
    QVERIFY(sim.started);
    PollerRig rig(sim.fleet->port());
    rig.poller.setStations(sim.stations());
    QCOMPARE(rig.poller.unit(0).state, LinkState::Offline); // never heard of
    QSignalSpy reports(&rig.poller, &FleetPoller::reportDecoded);
    QVERIFY(rig.poller.start());
    QVERIFY(rig.waitForReports({0, 1, 2}));
    for (int k = 0; k < 3; ++k) {
        const FleetPoller::Unit& unit = rig.poller.unit(k);
        QCOMPARE(unit.state, LinkState::Online);
        QCOMPARE(unit.lastReportMs, rig.nowMs);
        QVERIFY(unit.rttUs.has_value());
        // The report is this unit's own, not a neighbour's.
        QCOMPARE(unit.lastReport->mac[5], std::uint8_t(k));
        QCOMPARE(unit.lastReport->stationName, "Unit " + std::to_string(k + 1));
    }
    QVERIFY(reports.count() >= 3);
    QCOMPARE(reports.first().at(1).toLongLong(), rig.nowMs);

    // The units fall silent; their last reports age on the poller's clock.
    sim.fleet->stop();
    rig.poller.stop();
    QSignalSpy changes(&rig.poller, &FleetPoller::linkStateChanged);
    rig.nowMs += 2999;
    rig.poller.refreshStates();
    QCOMPARE(rig.poller.unit(0).state, LinkState::Online);
    rig.nowMs += 1;
    rig.poller.refreshStates();
    QCOMPARE(rig.poller.unit(0).state, LinkState::Stale);
    rig.nowMs += 57000;
    rig.poller.refreshStates();
    QCOMPARE(rig.poller.unit(1).state, LinkState::Offline);
    QCOMPARE(changes.count(), 6); // three units, two changes each
}

void TestFleetPoller::wrongPasswordShowsBadPassword()
{
    SimFleetRig sim(2);
    QVERIFY(sim.started);
    PollerRig rig(sim.fleet->port());
    rig.poller.setStations({sim.station(0), sim.station(1, QStringLiteral("wrong*****"))});
    QSignalSpy reports(&rig.poller, &FleetPoller::reportDecoded);
    QVERIFY(rig.poller.start());
    QVERIFY(rig.waitForReports({0, 1}));
    QCOMPARE(rig.poller.unit(0).state, LinkState::Online);
    QCOMPARE(rig.poller.unit(1).state, LinkState::BadPassword);
    QVERIFY(!rig.poller.unit(1).lastReport.has_value());
    for (const QList<QVariant>& report : std::as_const(reports))
        QCOMPARE(report.at(0).toInt(), 0);
    // Time alone does not clear a rejection.
    rig.nowMs += 3600000;
    rig.poller.refreshStates();
    QCOMPARE(rig.poller.unit(1).state, LinkState::BadPassword);
}

void TestFleetPoller::invalidAndDuplicateStationsAreNeverPolled()
{
    SimFleetRig sim(1);
    QVERIFY(sim.started);
    PollerRig rig(sim.fleet->port());
    fleet::FleetStation typo = sim.station(0);
    typo.address = QStringLiteral("127.0.0");
    fleet::FleetStation twice = sim.station(0);
    twice.description = QStringLiteral("Again");
    rig.poller.setStations({typo, sim.station(0), twice});
    QCOMPARE(rig.poller.unit(0).state, LinkState::Invalid);
    QVERIFY(rig.poller.unit(0).invalidReason.contains(QStringLiteral("\"127.0.0\" is no IPv4 address")));
    QCOMPARE(rig.poller.unit(2).state, LinkState::Invalid);
    QVERIFY(rig.poller.unit(2).invalidReason.contains(QStringLiteral("\"Site 1\"")));
    QVERIFY(rig.poller.pollAll());
    QVERIFY(rig.waitForReports({1}));
    QCOMPARE(rig.poller.unit(0).sent, 0u);
    QCOMPARE(rig.poller.unit(2).sent, 0u);
    QCOMPARE(rig.poller.unit(2).state, LinkState::Invalid);
    QCOMPARE(sim.fleet->counters().datagramsReceived, 1u);
}

void TestFleetPoller::strangersNeverLandOnAUnit()
{
    SimFleetRig sim(1);
    QVERIFY(sim.started);
    PollerRig rig(sim.fleet->port());
    rig.poller.setStations(sim.stations());
    QVERIFY(rig.poller.pollAll());
    QVERIFY(rig.waitForReports({0}));
    const quint64 received = rig.poller.unit(0).received;

    // A status report from another address on the unit port, and from the unit's address on
    // another port: both look right, neither is the unit.
    const std::string report = sim.fleet->model(0).statusReport();
    const QByteArray bytes(report.data(), static_cast<qsizetype>(report.size()));
    sim.fleet->stop(); // frees the unit port for the stranger
    QUdpSocket stranger;
    QVERIFY(stranger.bind(QHostAddress(sim.fleet->address(0).toIPv4Address() + 200), sim.fleet->port()));
    QUdpSocket otherPort;
    QVERIFY(otherPort.bind(sim.fleet->address(0), 0));
    const QHostAddress poller(QHostAddress::LocalHost);
    stranger.writeDatagram(bytes, poller, rig.poller.localPort());
    otherPort.writeDatagram(bytes, poller, rig.poller.localPort());
    QVERIFY(QTest::qWaitFor([&] { return rig.poller.counters().strangers == 2; }, 5000));
    QCOMPARE(rig.poller.unit(0).received, received);
}

void TestFleetPoller::floodingUnitIsRateLimited()
{
    // A unit of our own that answers one poll with fifty reports.
    const QHostAddress address = testsupport::randomLoopbackBlock();
    QUdpSocket unit;
    QVERIFY(unit.bind(address, 0));
    sim::UnitModel model;
    const std::string report = model.statusReport();
    QObject::connect(&unit, &QUdpSocket::readyRead, &unit, [&] {
        while (unit.hasPendingDatagrams()) {
            QHostAddress from;
            quint16 port = 0;
            QByteArray frame(unit.pendingDatagramSize(), '\0');
            unit.readDatagram(frame.data(), frame.size(), &from, &port);
            for (int i = 0; i < 50; ++i)
                unit.writeDatagram(report.data(), static_cast<qint64>(report.size()), from, port);
        }
    });
    PollerRig rig(unit.localPort());
    rig.poller.setStations({fleet::FleetStation{
        address.toString(), QStringLiteral("Noisy"), QStringLiteral("password**"), {0, 0}}});
    QSignalSpy reports(&rig.poller, &FleetPoller::reportDecoded);
    QVERIFY(rig.poller.pollAll());
    QVERIFY(QTest::qWaitFor(
        [&] { return rig.poller.unit(0).rateLimited + rig.poller.unit(0).received == 50; }, 5000));
    QCOMPARE(rig.poller.unit(0).received, 2u);
    QCOMPARE(reports.count(), 2);
    QCOMPARE(rig.poller.unit(0).rateLimited, 48u);
}

void TestFleetPoller::externalPollsSkipTheFleetsPoll()
{
    SimFleetRig sim(2);
    QVERIFY(sim.started);
    PollerRig rig(sim.fleet->port());
    rig.poller.setStations(sim.stations());
    FleetPoller::Timing timing = rig.poller.timing();
    timing.externalQuietMs = 60000;
    rig.poller.setTiming(timing);
    // The main window's session polls unit 0 and hands its report over.
    rig.poller.noteExternalPoll(sim.fleet->address(0).toString());
    QSignalSpy reports(&rig.poller, &FleetPoller::reportDecoded);
    QVERIFY(rig.poller.start());
    QVERIFY(rig.waitForReports({1}));
    QVERIFY(QTest::qWaitFor([&] { return rig.poller.unit(0).skipped >= 1; }, 3000));
    QCOMPARE(rig.poller.unit(0).sent, 0u);
    const auto decoded = protocol::decodeStatus(sim.fleet->model(0).statusReport());
    rig.poller.noteExternalReport(sim.fleet->address(0).toString(),
                                  std::get<protocol::StatusReport>(decoded));
    QCOMPARE(rig.poller.unit(0).state, LinkState::Online);
    QCOMPARE(rig.poller.unit(0).lastReportMs, rig.nowMs);
    // The session's report is not the poller's to hand on: its own sinks have it already.
    for (const QList<QVariant>& report : std::as_const(reports))
        QCOMPARE(report.at(0).toInt(), 1);
}

void TestFleetPoller::reloadKeepsCountersOfUnchangedStations()
{
    SimFleetRig sim(2);
    QVERIFY(sim.started);
    PollerRig rig(sim.fleet->port());
    rig.poller.setStations(sim.stations());
    QVERIFY(rig.poller.pollAll());
    QVERIFY(rig.waitForReports({0, 1}));
    // Unit 0 keeps its password, unit 1 gets a new one, a new station comes first.
    fleet::FleetStation added{
        QStringLiteral("10.0.0"), QStringLiteral("New"), QStringLiteral("x*********"), {0, 0}};
    rig.poller.setStations({added, sim.station(0), sim.station(1, QStringLiteral("new*******"))});
    QCOMPARE(rig.poller.unit(1).sent, 1u);
    QCOMPARE(rig.poller.unit(1).state, LinkState::Online);
    QCOMPARE(rig.poller.unit(2).sent, 0u);
    QVERIFY(!rig.poller.unit(2).lastReport.has_value());
}

void TestFleetPoller::recorderWritesReportsAndLinkEvents()
{
    SimFleetRig sim(2);
    QVERIFY(sim.started);
    PollerRig rig(sim.fleet->port());
    rig.poller.setStations({sim.station(0), sim.station(1, QStringLiteral("wrong*****"))});
    QTemporaryDir dir;
    history::HistoryStore::Options options;
    options.clock = [&rig] {
        return rig.nowMs;
    };
    history::HistoryStore store(options);
    QVERIFY(store.open(dir.filePath(QStringLiteral("history.db"))).ok);
    fleet::FleetRecorder recorder(rig.poller, store);
    QVERIFY(rig.poller.pollAll());
    QVERIFY(rig.waitForReports({0, 1}));
    rig.nowMs += 120000;
    rig.poller.refreshStates(); // unit 0 offline: the link was lost
    QVERIFY(store.flush());

    history::HistoryReader reader;
    QVERIFY(reader.open(dir.filePath(QStringLiteral("history.db"))));
    const QString good = sim.fleet->address(0).toString();
    const history::Series series = reader.read(good, rig.nowMs - 200000, rig.nowMs + 1, history::Step::Raw);
    QCOMPARE(series.rows.size(), 1);
    QCOMPARE(series.rows.first().timeMs, rig.nowMs - 120000);
    QList<history::LinkEvent> kinds;
    for (const history::Event& event : reader.events(good, 0, rig.nowMs + 1))
        kinds << event.kind;
    QCOMPARE(kinds,
             QList<history::LinkEvent>({history::LinkEvent::FirstReport, history::LinkEvent::LinkLost}));
    const auto refused = reader.events(sim.fleet->address(1).toString(), 0, rig.nowMs + 1);
    QCOMPARE(refused.size(), 1);
    QCOMPARE(refused.first().kind, history::LinkEvent::BadPassword);
}

QTEST_GUILESS_MAIN(TestFleetPoller)
#include "tst_fleetpoller.moc"
