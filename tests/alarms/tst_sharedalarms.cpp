// Alarm state shared by several programs on one history file: changes made elsewhere are adopted,
// never overwritten; one evaluator per station through its lease; rules that go away close their
// alarms; a failed write invents no id; a unit silent since the start still trips its offline
// rule. The command-line client runs as a real second process.

#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "protocol/reply.h"

#include "alarms/alarmengine.h"
#include "alarms/fleetalarms.h"
#include "fleet/fleetpoller.h"
#include "history/stationleases.h"

using namespace kestavo::alarms;
using kestavo::history::AlarmJournal;
using kestavo::history::StationLeases;
using kestavo::protocol::StatusReport;
using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kT0 = 1'767'225'600'000;
const QString kUnit = u"127.0.0.9"_s;

StatusReport celsius(double value)
{
    StatusReport r;
    r.temperatureC = value;
    return r;
}

AlarmRule hotRule()
{
    AlarmRule r;
    r.kind = AlarmRuleKind::TemperatureAbove;
    r.limit = 40;
    r.priority = AlarmPriority::High;
    return r;
}

// One program's view of the file: its own connections, as a separate process would have.
struct Program
{
    explicit Program(const QString& path, const QString& name, qint64* clock)
    {
        QVERIFY(journal.open(path));
        QVERIFY(leases.open(path));
        AlarmEngine::Options options;
        options.clock = [clock] {
            return *clock;
        };
        options.leases = &leases;
        options.program = name;
        options.leaseTtlMs = 30'000;
        engine = std::make_unique<AlarmEngine>(&journal, options);
        engine->load();
    }
    AlarmJournal journal;
    StationLeases leases;
    std::unique_ptr<AlarmEngine> engine;
};

QSqlDatabase rawConnection(const QString& path, const QString& name)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
    db.setDatabaseName(path);
    db.open();
    return db;
}

} // namespace

class TestSharedAlarms : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void acknowledgementFromTheClientSurvivesTheEngine();
    void oneEvaluatorPerStation();
    void ruleChangesCloseTheirAlarms_data();
    void ruleChangesCloseTheirAlarms();
    void failedWriteInventsNoId();
    void offlineSinceTheStart();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestSharedAlarms::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(u"history.db"_s);
    AlarmJournal journal;
    QVERIFY(journal.open(m_path));
    AlarmRule rule = hotRule();
    QVERIFY(journal.saveRule(rule));
}

void TestSharedAlarms::acknowledgementFromTheClientSurvivesTheEngine()
{
    qint64 now = kT0;
    Program console(m_path, u"console"_s, &now);
    console.engine->report(kUnit, now, celsius(45));
    const qint64 id = console.engine->openAlarms().value(0).id;
    QVERIFY(id > 0);

    QProcess cli;
    cli.start(QStringLiteral(KESTAVO_CLI),
              {u"--history"_s, m_path, u"alarms"_s, u"ack"_s, QString::number(id)});
    QVERIFY(cli.waitForFinished(30'000));
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());

    // The engine clears the alarm before it has looked at the file again: it must not write back
    // the "unacknowledged" it remembers.
    console.engine->report(kUnit, now += 1000, celsius(30));
    console.engine->tick(now += 1000);
    const auto stored = console.journal.alarm(id);
    QVERIFY(stored);
    QCOMPARE(stored->state, AlarmState::Normal);
    QVERIFY(!stored->ackedBy.isEmpty());
    QVERIFY(console.engine->openAlarms().isEmpty());
}

void TestSharedAlarms::oneEvaluatorPerStation()
{
    qint64 now = kT0;
    auto console = std::make_unique<Program>(m_path, u"console"_s, &now);
    console->engine->report(kUnit, now, celsius(20));
    QVERIFY(console->engine->evaluates(kUnit));

    // The agent outranks the console: it takes the station over at its first report.
    Program agent(m_path, u"agent"_s, &now);
    agent.engine->report(kUnit, now, celsius(20));
    QVERIFY(agent.engine->evaluates(kUnit));
    console->engine->tick(now += 11'000); // the console's renewal finds the lease gone
    QVERIFY(!console->engine->evaluates(kUnit));

    for (Program* p : {console.get(), &agent})
        p->engine->report(kUnit, now += 1000, celsius(45));
    QCOMPARE(console->journal.alarms(true).size(), 1); // one condition, one alarm
    console->engine->tick(now += 1000);
    QCOMPARE(console->engine->openAlarms().size(), 1); // the agent's, read from the file
    const qint64 id = agent.engine->openAlarms().value(0).id;
    QCOMPARE(console->engine->openAlarms().value(0).id, id);

    // Acknowledged at the console: the agent adopts it and clears it to normal.
    QVERIFY(console->engine->acknowledge(id, u"desk"_s));
    agent.engine->tick(now += 1000);
    QCOMPARE(agent.engine->alarm(id)->state, AlarmState::ActiveAcknowledged);

    // The agent stops: the console takes over at its next renewal and carries on the same alarm.
    {
        Program* leaving = &agent;
        leaving->engine.reset();
    }
    console->engine->report(kUnit, now += 1000, celsius(45));
    console->engine->tick(now += 11'000);
    QVERIFY(console->engine->evaluates(kUnit));
    console->engine->report(kUnit, now += 1000, celsius(30));
    QCOMPARE(console->journal.alarm(id)->state, AlarmState::Normal);
    QCOMPARE(console->journal.alarms(false).size(), 1);
}

void TestSharedAlarms::ruleChangesCloseTheirAlarms_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("closes");
    QTest::newRow("removed") << u"remove"_s << true;
    QTest::newRow("disabled") << u"disable"_s << true;
    QTest::newRow("another station") << u"station"_s << true;
    QTest::newRow("only its text") << u"text"_s << false;
}

void TestSharedAlarms::ruleChangesCloseTheirAlarms()
{
    QFETCH(QString, change);
    QFETCH(bool, closes);
    qint64 now = kT0;
    Program console(m_path, u"console"_s, &now);
    console.engine->report(kUnit, now, celsius(45));
    QCOMPARE(console.engine->openAlarms().size(), 1);

    AlarmJournal cli; // another program edits the rules
    QVERIFY(cli.open(m_path));
    AlarmRule rule = cli.rules().value(0);
    if (change == u"remove") {
        QVERIFY(cli.removeRule(rule.id, now));
    } else {
        rule.enabled = change != u"disable";
        if (change == u"station")
            rule.address = u"127.0.0.10"_s;
        if (change == u"text")
            rule.text = u"Too warm"_s;
        QVERIFY(cli.saveRule(rule, now));
    }
    QCOMPARE(cli.alarms(true).isEmpty(), closes);
    console.engine->tick(now += 1000); // within a tick the console shows what the file holds
    QCOMPARE(console.engine->openAlarms().isEmpty(), closes);
}

void TestSharedAlarms::failedWriteInventsNoId()
{
    qint64 now = kT0;
    Program console(m_path, u"console"_s, &now);
    console.engine->report(u"127.0.0.1"_s, now, celsius(45));
    const qint64 first = console.engine->openAlarms().value(0).id;
    QVERIFY(first > 0);

    // Another program's failure stands in for a full disk: inserts into the alarm table abort.
    {
        QSqlDatabase raw = rawConnection(m_path, u"failing"_s);
        QVERIFY(QSqlQuery(raw).exec(u"CREATE TRIGGER refuse BEFORE INSERT ON alarms "
                                    u"BEGIN SELECT RAISE(ABORT, 'disk full'); END"_s));
    }
    QSignalSpy failed(console.engine.get(), &AlarmEngine::storeFailed);
    console.engine->report(kUnit, now += 1000, celsius(45));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(console.engine->openAlarms().size(), 1); // none made up for the second station
    {
        QSqlDatabase raw = QSqlDatabase::database(u"failing"_s);
        QVERIFY(QSqlQuery(raw).exec(u"DROP TRIGGER refuse"_s));
    }
    QSqlDatabase::removeDatabase(u"failing"_s);
    console.engine->tick(now += 1000); // tried again
    const auto open = console.journal.alarms(true);
    QCOMPARE(open.size(), 2);
    QCOMPARE(console.journal.alarm(first)->address, u"127.0.0.1"_s);
    QVERIFY(console.engine->summary(kUnit).count == 1);
}

void TestSharedAlarms::offlineSinceTheStart()
{
    {
        AlarmJournal journal;
        QVERIFY(journal.open(m_path));
        AlarmRule offline;
        offline.kind = AlarmRuleKind::LinkOffline;
        offline.limit = 60;
        QVERIFY(journal.saveRule(offline));
    }
    qint64 now = kT0;
    Program agent(m_path, u"agent"_s, &now);
    kestavo::fleet::FleetPoller poller; // polls a loopback port where no unit answers
    poller.setClock([&now] { return now; });
    poller.setUnitPort(9);
    poller.setStations({kestavo::fleet::FleetStation{kUnit, u"Pump"_s, u"********"_s, {}, {}}});
    feedFromFleet(*agent.engine, poller);
    agent.engine->tick(now += 61'000);
    QCOMPARE(agent.engine->summary(kUnit).count, 0); // not polled, so not offline
    QVERIFY(poller.start());
    agent.engine->tick(now += 59'000);
    QCOMPARE(agent.engine->summary(kUnit).count, 0);
    agent.engine->tick(now += 2'000);
    QCOMPARE(agent.engine->summary(kUnit).count, 1);
}

QTEST_GUILESS_MAIN(TestSharedAlarms)
#include "tst_sharedalarms.moc"
