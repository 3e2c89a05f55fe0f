// The console carries out schedules only while it watches all stations, only for the stations whose
// lease it holds, and audits what it sent: the console's fleet and alarm wiring over the simulated
// unit on loopback, on a schedule clock of the test's own.

#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTimeZone>

#include "protocol/frames.h"

#include "app/consolealarms.h"
#include "app/consoleschedules.h"
#include "app/fleetwiring.h"
#include "history/auditlog.h"
#include "history/stationleases.h"
#include "ksv-sim/simulatedunit.h"
#include "platform/filechooser.h"
#include "schedules/schedulestore.h"
#include "support/consolefixture.h"

using namespace kestavo;
using namespace Qt::StringLiterals;

namespace {

class NoFiles final : public platform::FileChooser
{
public:
    QString openFile(QWidget*, const QString&) override { return {}; }
    QString saveFile(QWidget*, const QString&, const QString&) override { return {}; }
};

} // namespace

class TestConsoleSchedules final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void runsWhileWatchingAllWithTheLease_data();
    void runsWhileWatchingAllWithTheLease();
};

void TestConsoleSchedules::runsWhileWatchingAllWithTheLease_data()
{
    QTest::addColumn<bool>("watchAll");   // remembered from the last run
    QTest::addColumn<bool>("agentLease"); // an agent on the same file holds the station's lease
    QTest::addColumn<bool>("switched");
    QTest::newRow("watching all stations") << true << false << true;
    QTest::newRow("the Fleet window only") << false << false << false;
    QTest::newRow("an agent holds the lease") << true << true << false;
}

void TestConsoleSchedules::runsWhileWatchingAllWithTheLease()
{
    QFETCH(bool, watchAll);
    QFETCH(bool, agentLease);
    QFETCH(bool, switched);
    QSettings().setValue(app::FleetWiring::kWatchAllKey, watchAll);

    testsupport::ConsoleFixture f;
    sim::SimulatedUnit::Config config;
    config.unit.password = "secret";
    config.port = 0;
    sim::SimulatedUnit unit(config);
    QVERIFY(unit.start());
    const QString address = u"127.0.0.1"_s;
    QVERIFY(f.store.setSite(address, {{}, {}, {}, u"UTC"_s}));
    const QString historyPath = f.dir.filePath(u"history.db"_s);
    schedules::ScheduleEntry on;
    on.station = address;
    on.action = schedules::Action::On;
    on.relay = 2;
    on.minuteOfDay = 8 * 60;
    schedules::ScheduleStore store;
    QVERIFY(store.open(historyPath));
    const qint64 id = store.add(on, 0);
    QVERIFY(id > 0);
    if (agentLease) {
        history::StationLeases leases;
        QVERIFY(leases.open(historyPath));
        QVERIFY(leases.acquire({address}, u"elsewhere:1:a"_s, u"agent"_s, QDateTime::currentMSecsSinceEpoch(),
                               3'600'000));
    }

    NoFiles files;
    app::ConsoleAlarms alarms(f.session, f.state, f.store, files, {});
    QCOMPARE(alarms.open(historyPath), QString());
    app::FleetWiring fleet(f.store, f.session, f.state);
    fleet::FleetPoller::Timing timing = fleet.poller().timing();
    timing.intervalMs = 1000;
    timing.tickMs = 5;
    fleet.poller().setTiming(timing);
    fleet.setUnitPort(unit.port());
    alarms.attachFleet(fleet.poller());
    QDateTime clock(QDate(2026, 6, 10), QTime(7, 59, 59), QTimeZone::utc());
    schedules::ScheduleHost::Options options;
    options.clock = [&] {
        return clock;
    };
    options.tickMs = 20;
    options.startDelayMs = 0;
    app::ConsoleSchedules console(fleet, alarms, f.store, options);
    QCOMPARE(console.open(historyPath), QString());
    fleet.reloadStations(); // as the console's start does
    if (!watchAll)
        fleet.acquire(); // the Fleet window is open
    QVERIFY(fleet.poller().isRunning());
    QCOMPARE(console.isRunning(), watchAll);
    QVERIFY(QTest::qWaitFor([&] { return fleet.poller().unit(0).received >= 1; }, 5000));

    clock = clock.addSecs(1); // 08:00
    const quint64 received = fleet.poller().unit(0).received;
    QVERIFY(QTest::qWaitFor([&] { return fleet.poller().unit(0).received >= received + 2; }, 5000));
    int frames = 0;
    for (const auto& record : unit.model().frames())
        frames += record.bytes == protocol::relayOnFrame(2, "secret****");
    QCOMPARE(frames, switched ? 1 : 0);
    QCOMPARE(unit.model().relayOn(2), switched);
    history::AuditLog audit;
    QVERIFY(audit.open(historyPath));
    const auto records = [&] {
        QStringList list;
        for (const history::AuditRecord& r : audit.records())
            list << r.program + u' ' + r.action + u' ' + r.outcome + u' ' + r.detail;
        return list;
    };
    QTRY_COMPARE(records(), switched ? QStringList(u"console Relay 2 ON acknowledged schedule #%1"_s.arg(id))
                                     : QStringList());

    fleet.setWatchAll(false);
    QVERIFY(!console.isRunning());
}

QTEST_MAIN(TestConsoleSchedules)
#include "tst_consoleschedules.moc"
