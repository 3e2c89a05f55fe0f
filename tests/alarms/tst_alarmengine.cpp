// The alarm state machine against recorded series on an injected clock: deadband, on- and
// off-delays, acknowledgement in both orders, shelving expiry, link rules, and what the journal
// in the history file keeps of it.

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "protocol/reply.h"

#include "alarms/alarmengine.h"
#include "alarms/rulevalidation.h"

using namespace kestavo::alarms;
using kestavo::history::AlarmJournal;
using kestavo::protocol::StatusReport;
using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kT0 = 1'767'225'600'000; // 2026-01-01 00:00 UTC
const QString kUnit = u"127.0.0.9"_s;

StatusReport celsius(double value)
{
    StatusReport r;
    r.temperatureC = value;
    return r;
}

// Raw reading of channel 3 (0-30 V) for a voltage.
StatusReport volts3(double value)
{
    StatusReport r;
    r.channels[2] = std::uint16_t(value / 30.0 * 4095.0 + 0.5);
    return r;
}

AlarmRule rule(AlarmRuleKind kind, double limit, double deadband = 0, int on = 0, int off = 0,
               int channel = 0)
{
    AlarmRule r;
    r.id = 1;
    r.kind = kind;
    r.channel = channel;
    r.limit = limit;
    r.deadband = deadband;
    r.onDelayS = on;
    r.offDelayS = off;
    r.priority = AlarmPriority::High;
    return r;
}

QString shortState(AlarmState s)
{
    static const char* names[] = {"N", "AU", "AA", "CU", "S"};
    return QString::fromLatin1(names[int(s)]);
}

} // namespace

class TestAlarmEngine : public QObject
{
    Q_OBJECT

private slots:
    void recordedSeries_data();
    void recordedSeries();
    void acknowledgement_data();
    void acknowledgement();
    void shelvingExpires_data();
    void shelvingExpires();
    void linkRules();
    void stationRuleOverridesDefault();
    void journalKeepsAlarmsAndAcknowledgementsFromElsewhere();
    void validation_data();
    void validation();
};

// One reading per second from T0. The transitions column lists every state change as
// "second:state". The temperature series is a sensor logged near 40 °C, noise ±0.4 °C.
void TestAlarmEngine::recordedSeries_data()
{
    QTest::addColumn<AlarmRule>("rule");
    QTest::addColumn<QList<double>>("series");
    QTest::addColumn<QStringList>("transitions");

    const QList<double> noisy = {39.1, 39.6, 40.2, 39.8, 40.3, 39.7, 40.1, 39.9, 40.4, 39.8,
                                 40.0, 39.7, 40.2, 39.6, 39.2, 38.9, 38.7, 38.8, 39.3, 39.0};
    QTest::newRow("no deadband: one alarm per crossing")
        << rule(AlarmRuleKind::TemperatureAbove, 40) << noisy
        << QStringList{u"2:AU"_s, u"3:CU"_s, u"4:AU"_s, u"5:CU"_s,  u"6:AU"_s,
                       u"7:CU"_s, u"8:AU"_s, u"9:CU"_s, u"12:AU"_s, u"13:CU"_s};
    QTest::newRow("deadband 1: one alarm for the whole wobble")
        << rule(AlarmRuleKind::TemperatureAbove, 40, 1) << noisy << QStringList{u"2:AU"_s, u"15:CU"_s};
    QTest::newRow("on-delay 3 s: brief peaks raise nothing")
        << rule(AlarmRuleKind::TemperatureAbove, 40, 0, 3) << noisy << QStringList{};
    QTest::newRow("deadband and on-delay: raised once the band held 3 s")
        << rule(AlarmRuleKind::TemperatureAbove, 40, 1, 3) << noisy << QStringList{u"5:AU"_s, u"15:CU"_s};
    QTest::newRow("off-delay 4 s: clears 4 s after the band is left")
        << rule(AlarmRuleKind::TemperatureAbove, 40, 1, 0, 4) << noisy << QStringList{u"2:AU"_s, u"19:CU"_s};
    QTest::newRow("below with deadband: a sagging battery")
        << rule(AlarmRuleKind::VoltageBelow, 11.5, 0.3, 0, 0, 3)
        << QList<double>{12.4, 12.0, 11.6, 11.4, 11.6, 11.45, 11.7, 11.9, 11.6, 11.3}
        << QStringList{u"3:AU"_s, u"7:CU"_s, u"9:AU"_s};
}

void TestAlarmEngine::recordedSeries()
{
    QFETCH(AlarmRule, rule);
    QFETCH(QList<double>, series);
    QFETCH(QStringList, transitions);

    qint64 now = kT0;
    AlarmEngine engine(nullptr, {[&] {
                           return now;
                       }});
    engine.setRules({rule});
    QStringList seen;
    connect(&engine, &AlarmEngine::alarmChanged, this, [&](const AlarmRecord& a, AlarmState) {
        seen.append(u"%1:%2"_s.arg((a.changedMs - kT0) / 1000).arg(shortState(a.state)));
    });
    const bool voltage = rule.kind == AlarmRuleKind::VoltageBelow;
    for (int i = 0; i < series.size(); ++i) {
        now = kT0 + i * 1000LL;
        engine.report(kUnit, now, voltage ? volts3(series[i]) : celsius(series[i]));
        engine.tick(now);
    }
    QCOMPARE(seen, transitions);
    // A reading that oscillates never opens a second alarm while the first is listed.
    QVERIFY(engine.openAlarms().size() <= 1);
}

void TestAlarmEngine::acknowledgement_data()
{
    QTest::addColumn<bool>("ackWhileActive");
    QTest::addColumn<QStringList>("states");
    QTest::newRow("acknowledged, then clears") << true << QStringList{u"AU"_s, u"AA"_s, u"N"_s};
    QTest::newRow("clears, then acknowledged") << false << QStringList{u"AU"_s, u"CU"_s, u"N"_s};
}

void TestAlarmEngine::acknowledgement()
{
    QFETCH(bool, ackWhileActive);
    QFETCH(QStringList, states);
    qint64 now = kT0;
    AlarmEngine engine(nullptr, {[&] {
                           return now;
                       }});
    engine.setRules({rule(AlarmRuleKind::PinIs, 1, 0, 0, 0, 2)});
    QStringList seen;
    QString ackedBy;
    connect(&engine, &AlarmEngine::alarmChanged, this, [&](const AlarmRecord& a, AlarmState) {
        seen.append(shortState(a.state));
        ackedBy = a.ackedBy;
    });
    StatusReport pin;
    pin.ioPins[1] = 1;
    engine.report(kUnit, now, pin);
    const qint64 id = engine.openAlarms().value(0).id;
    QVERIFY(id != 0);
    pin.ioPins[1] = 0;
    if (ackWhileActive) {
        QVERIFY(engine.acknowledge(id, u"ops"_s));
        QVERIFY(!engine.acknowledge(id, u"ops"_s)); // nothing left to acknowledge
        engine.report(kUnit, now += 1000, pin);
    } else {
        engine.report(kUnit, now += 1000, pin);
        QCOMPARE(engine.summary(kUnit).count, 1); // still listed until acknowledged
        QVERIFY(engine.acknowledge(id, u"ops"_s));
    }
    QCOMPARE(seen, states);
    QCOMPARE(ackedBy, u"ops"_s);
    QVERIFY(engine.openAlarms().isEmpty());
}

void TestAlarmEngine::shelvingExpires_data()
{
    QTest::addColumn<QString>("end"); // "time", "hand" (this engine), "elsewhere" (another program)
    QTest::addColumn<bool>("stillHigh");
    QTest::addColumn<QStringList>("states");
    QTest::newRow("time up, condition still there: announced again")
        << u"time"_s << true << QStringList{u"AU"_s, u"S"_s, u"AU"_s};
    QTest::newRow("time up, condition gone: back to normal")
        << u"time"_s << false << QStringList{u"AU"_s, u"S"_s, u"N"_s};
    QTest::newRow("by hand, condition still there: acknowledged")
        << u"hand"_s << true << QStringList{u"AU"_s, u"S"_s, u"AA"_s};
    QTest::newRow("by hand, condition gone: over")
        << u"hand"_s << false << QStringList{u"AU"_s, u"S"_s, u"N"_s};
    QTest::newRow("by hand elsewhere, condition gone: the evaluator ends it")
        << u"elsewhere"_s << false << QStringList{u"AU"_s, u"S"_s, u"AA"_s, u"N"_s};
}

void TestAlarmEngine::shelvingExpires()
{
    QFETCH(QString, end);
    QFETCH(bool, stillHigh);
    QFETCH(QStringList, states);
    qint64 now = kT0;
    QTemporaryDir dir;
    AlarmJournal journal;
    QVERIFY(journal.open(dir.filePath(u"history.db"_s)));
    AlarmRule r = rule(AlarmRuleKind::TemperatureAbove, 40);
    r.id = 0;
    QVERIFY(journal.saveRule(r));
    AlarmEngine engine(&journal, {[&] { return now; }, 10});
    engine.load();
    QStringList seen;
    connect(&engine, &AlarmEngine::alarmChanged, this,
            [&](const AlarmRecord& a, AlarmState) { seen.append(shortState(a.state)); });
    engine.report(kUnit, now, celsius(45));
    const qint64 id = engine.openAlarms().value(0).id;
    QVERIFY(!engine.shelve(id, 60'000, u"ops"_s, u" "_s));                         // no reason
    QVERIFY(!engine.shelve(id, 24 * 3600'000 + 60'000, u"ops"_s, u"pump swap"_s)); // past the longest
    QVERIFY(engine.shelve(id, 60'000, u"ops"_s, u"pump swap"_s));
    QCOMPARE(engine.summary(kUnit).count, 0); // a shelved alarm is not counted
    QVERIFY(journal.events().last().text.endsWith(u": pump swap"_s));
    engine.report(kUnit, now += 1000, celsius(stillHigh ? 46 : 30));
    engine.report(kUnit, now += 1000, celsius(stillHigh ? 46 : 30));
    if (end == u"hand") {
        QVERIFY(engine.unshelve(id, u"ops"_s));
        QCOMPARE(seen, states);
        QCOMPARE(journal.alarm(id)->ackedBy, u"ops"_s);
        return;
    }
    if (end == u"elsewhere") {
        // What `kestavo-cli alarms unshelve` stores: it cannot know the condition.
        QVERIFY(journal.unshelve(id, AlarmState::ActiveAcknowledged, u"cli"_s, now).applied());
        QTRY_COMPARE(seen, states);
        return;
    }
    engine.tick(now += 58'000 - 1);
    QCOMPARE(seen.size(), 2); // not yet
    now += 1;
    // The engine's own timer (10 ms here) ends the shelving.
    QTRY_COMPARE(seen, states);
    QVERIFY(journal.alarm(id)->ackedBy.isEmpty()); // time-out acknowledges nothing
}

void TestAlarmEngine::linkRules()
{
    qint64 now = kT0;
    AlarmEngine engine(nullptr, {[&] {
                           return now;
                       }});
    AlarmRule offline = rule(AlarmRuleKind::LinkOffline, 30);
    AlarmRule password = rule(AlarmRuleKind::BadPassword, 0);
    password.id = 2;
    engine.setRules({offline, password});
    QStringList seen;
    connect(&engine, &AlarmEngine::alarmChanged, this, [&](const AlarmRecord& a, AlarmState) {
        seen.append(u"%1:%2:%3"_s.arg(a.rule).arg((a.changedMs - kT0) / 1000).arg(shortState(a.state)));
    });
    engine.linkState(kUnit, now, LinkState::Offline);
    engine.tick(now += 29'000);
    engine.tick(now += 1'000); // offline for 30 s
    engine.linkState(kUnit, now += 5'000, LinkState::BadPassword);
    engine.report(kUnit, now += 5'000, celsius(20)); // a report proves the link is back
    QCOMPARE(seen, (QStringList{u"1:30:AU"_s, u"1:35:CU"_s, u"2:35:AU"_s, u"2:40:CU"_s}));
}

void TestAlarmEngine::stationRuleOverridesDefault()
{
    AlarmEngine engine(nullptr, {[] {
                           return kT0;
                       }});
    AlarmRule fallback = rule(AlarmRuleKind::TemperatureAbove, 40);
    AlarmRule own = rule(AlarmRuleKind::TemperatureAbove, 60);
    own.id = 2;
    own.address = kUnit;
    engine.setRules({fallback, own});
    engine.report(kUnit, kT0, celsius(50));
    engine.report(u"127.0.0.10"_s, kT0, celsius(50));
    QCOMPARE(engine.summary(kUnit).count, 0);
    QCOMPARE(engine.summary(u"127.0.0.10"_s).count, 1);
    QCOMPARE(engine.summary(u"127.0.0.10"_s).highest, std::optional(AlarmPriority::High));
}

void TestAlarmEngine::journalKeepsAlarmsAndAcknowledgementsFromElsewhere()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"history.db"_s);
    AlarmJournal journal;
    QVERIFY2(journal.open(path), qPrintable(journal.error()));
    AlarmRule r = rule(AlarmRuleKind::TemperatureAbove, 40);
    r.id = 0;
    QVERIFY(journal.saveRule(r));

    qint64 now = kT0;
    AlarmEngine engine(&journal, {[&] {
        return now;
    }});
    engine.load();
    engine.report(kUnit, now, celsius(45));
    const qint64 id = engine.openAlarms().value(0).id;

    // The command-line client acknowledges through its own connection to the file.
    AlarmJournal cli;
    QVERIFY(cli.open(path));
    QVERIFY(cli.acknowledge(id, u"night shift"_s, now + 500).applied());
    QSignalSpy changed(&engine, &AlarmEngine::alarmChanged);
    engine.syncFromJournal();
    QCOMPARE(changed.size(), 1);
    QCOMPARE(engine.alarm(id)->state, AlarmState::ActiveAcknowledged);

    engine.report(kUnit, now += 1000, celsius(30));
    const auto events = cli.events();
    QStringList log;
    for (const auto& e : events)
        log.append(u"%1 %2 %3"_s.arg(e.alarm).arg(shortState(e.state), e.who));
    QCOMPARE(log, (QStringList{u"%1 AU "_s.arg(id), u"%1 AA night shift"_s.arg(id), u"%1 N "_s.arg(id)}));

    // A new engine on the same file picks up what is still open.
    engine.report(kUnit, now += 1000, celsius(45));
    AlarmEngine restarted(&journal, {[&] {
        return now;
    }});
    restarted.load();
    QCOMPARE(restarted.openAlarms().size(), 1);
    restarted.report(kUnit, now += 1000, celsius(46));
    QCOMPARE(restarted.openAlarms().size(), 1); // the same alarm, not a second one
}

void TestAlarmEngine::validation_data()
{
    QTest::addColumn<AlarmRule>("candidate");
    QTest::addColumn<QString>("field");
    AlarmRule low = rule(AlarmRuleKind::VoltageBelow, 13, 0, 0, 0, 3);
    low.id = 5;
    QTest::newRow("fine") << rule(AlarmRuleKind::VoltageAbove, 14, 0.2, 0, 0, 3) << QString();
    QTest::newRow("low limit above the high limit") << low << u"Limit: the low limit 13"_s;
    QTest::newRow("negative on-delay") << rule(AlarmRuleKind::TemperatureAbove, 40, 0, -1) << u"On-delay:"_s;
    QTest::newRow("negative off-delay")
        << rule(AlarmRuleKind::TemperatureAbove, 40, 0, 0, -5) << u"Off-delay:"_s;
    QTest::newRow("negative deadband") << rule(AlarmRuleKind::TemperatureAbove, 40, -1) << u"Deadband:"_s;
    AlarmRule empty;
    empty.kind = AlarmRuleKind(0);
    QTest::newRow("empty rule") << empty << u"Kind:"_s;
    QTest::newRow("channel 9") << rule(AlarmRuleKind::VoltageAbove, 5, 0, 0, 0, 9) << u"Channel: 9"_s;
    QTest::newRow("pin at 2") << rule(AlarmRuleKind::PinIs, 2, 0, 0, 0, 1) << u"Limit: a pin"_s;
    AlarmRule badStation = rule(AlarmRuleKind::BadPassword, 0);
    badStation.address = u"10.0.0"_s;
    QTest::newRow("station") << badStation << u"Station: \"10.0.0\""_s;
    // Compared as text with the stations' addresses, these would never fire.
    for (const QString& address : {u"010.0.0.1"_s, u"+10.0.0.1"_s, u"10.0.0.1 "_s}) {
        badStation.address = address;
        QTest::newRow(qPrintable(address)) << badStation << u"Station: \"%1\""_s.arg(address);
    }
}

void TestAlarmEngine::validation()
{
    QFETCH(AlarmRule, candidate);
    QFETCH(QString, field);
    const AlarmRule high = rule(AlarmRuleKind::VoltageAbove, 12, 0, 0, 0, 3);
    const QString message = validateRule(candidate, {high});
    if (field.isEmpty())
        QVERIFY2(message.isEmpty(), qPrintable(message));
    else
        QVERIFY2(message.startsWith(field), qPrintable(message));
}

QTEST_GUILESS_MAIN(TestAlarmEngine)
#include "tst_alarmengine.moc"
