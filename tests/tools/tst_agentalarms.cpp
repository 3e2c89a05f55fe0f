// What the agent exports of the alarms: kestavo_alarm_active per open alarm in /metrics (and the
// scrape stays promtool-clean), and the "alarms" list of each unit's JSON.

#include <QJsonArray>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "protocol/reply.h"

#include "alarms/alarmengine.h"
#include "fleet/fleetpoller.h"
#include "metrics.h"
#include "notify/notifier.h"

using namespace kestavo;
using namespace Qt::StringLiterals;

class TestAgentAlarms final : public QObject
{
    Q_OBJECT

private slots:
    void metricsAndJsonCarryOpenAlarms();
};

void TestAgentAlarms::metricsAndJsonCarryOpenAlarms()
{
    fleet::FleetPoller poller;
    fleet::FleetStation pump;
    pump.address = u"127.0.0.1"_s;
    pump.description = u"Pump \"north\""_s;
    fleet::FleetStation quiet = pump;
    quiet.address = u"127.0.0.2"_s;
    poller.setStations({pump, quiet});

    qint64 now = 1'767'225'600'000;
    alarms::AlarmEngine engine(nullptr, {[&] { return now; }, 1000});
    history::AlarmRule hot;
    hot.id = 1;
    hot.kind = history::AlarmRuleKind::TemperatureAbove;
    hot.limit = 40;
    hot.priority = history::AlarmPriority::High;
    history::AlarmRule door = hot;
    door.id = 2;
    door.kind = history::AlarmRuleKind::PinIs;
    door.channel = 1;
    door.limit = 1;
    door.priority = history::AlarmPriority::Low;
    engine.setRules({hot, door});
    notify::Notifier notifier(nullptr, nullptr, {});
    QObject::connect(&engine, &alarms::AlarmEngine::alarmChanged, &notifier, &notify::Notifier::alarmChanged);
    protocol::StatusReport report;
    report.temperatureC = 45;
    report.ioPins[0] = 1;
    engine.report(pump.address, now, report);
    report.ioPins[0] = 0;
    engine.report(pump.address, now += 1000, report); // the door closed, not yet acknowledged

    agent::AgentFigures figures;
    figures.alarmsRaised = {notifier.raisedTotal(history::AlarmPriority::High),
                            notifier.raisedTotal(history::AlarmPriority::Medium),
                            notifier.raisedTotal(history::AlarmPriority::Low)};
    const QByteArray text = agent::prometheusText(poller, figures, &engine);
    QVERIFY2(text.contains("kestavo_alarm_active{station=\"Pump \\\"north\\\"\",address=\"127.0.0.1\",rule="
                           "\"Temperature above 40 \xc2\xb0"
                           "C\",priority=\"high\"} 1\n"),
             text.constData());
    QVERIFY(text.contains("address=\"127.0.0.1\",rule=\"I/O pin 1 at 1\",priority=\"low\"} 0\n"));
    QVERIFY(!text.contains("kestavo_alarm_active{station=\"Pump \\\"north\\\"\",address=\"127.0.0.2\""));
    QVERIFY(text.contains("kestavo_alarms_raised_total{priority=\"high\"} 1\n"
                          "kestavo_alarms_raised_total{priority=\"medium\"} 0\n"
                          "kestavo_alarms_raised_total{priority=\"low\"} 1\n"));
    QVERIFY(text.contains("\nkestavo_alarm_flood 0\n"));

    const QJsonArray stations = agent::stationsJson(poller, &engine);
    QCOMPARE(stations.at(0)[u"alarms"_s].toArray().size(), 2);
    QCOMPARE(stations.at(0)[u"alarms"_s][0][u"state"_s].toString(), u"active, unacknowledged"_s);
    QCOMPARE(stations.at(1)[u"alarms"_s].toArray().size(), 0);

    const QString promtool = QStandardPaths::findExecutable(u"promtool"_s);
    if (promtool.isEmpty())
        return;
    QProcess check;
    check.start(promtool, {u"check"_s, u"metrics"_s});
    check.write(text);
    check.closeWriteChannel();
    QVERIFY(check.waitForFinished(20000));
    QVERIFY2(check.exitCode() == 0, check.readAllStandardError().constData());
}

QTEST_GUILESS_MAIN(TestAgentAlarms)
#include "tst_agentalarms.moc"
