// The fleet operation runner against a simulated fleet: a few units at a time, each checked in its
// own next report, no unit started after the failures allowed or after stop().

#include <atomic>

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include "protocol/frames.h"

#include "fleet/fleetoperation.h"
#include "fleet/unitjobs.h"
#include "fleetrig.h"

using namespace kestavo;
using fleet::FleetOperation;
using fleet::OperationTarget;
using fleet::UnitOutcome;
using testsupport::SimFleetRig;

namespace {

constexpr int kUnits = 6;

// 'u' a unit that takes the password, 'b' one that refuses it, 's' an address nothing answers.
QList<OperationTarget> targets(const SimFleetRig& rig, const QString& kinds)
{
    QList<OperationTarget> list;
    int unit = 0;
    for (const QChar kind : kinds) {
        OperationTarget t;
        if (kind == u's') {
            t.address = rig.fleet->address(kUnits + 3).toString();
        } else {
            t.address = rig.fleet->address(unit++).toString();
        }
        t.description = QStringLiteral("Site %1").arg(list.size() + 1);
        t.password = protocol::padPassword(kind == u'b' ? "wrong" : "secret");
        t.port = rig.fleet->port();
        list << t;
    }
    return list;
}

FleetOperation::Options options(int parallel, int maxFailures)
{
    FleetOperation::Options o;
    o.parallel = parallel;
    o.maxFailures = maxFailures;
    o.timing = backup::Timing{300, 30};
    return o;
}

} // namespace

class TestFleetOperation final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void relayPerUnitAndFailureLimit_data();
    void relayPerUnitAndFailureLimit();
    void atMostParallelUnitsAtOnce();
    void stopFinishesUnitsInFlightOnly();
    void pauseStartsNoUnitUntilResumed_data();
    void pauseStartsNoUnitUntilResumed();
};

void TestFleetOperation::relayPerUnitAndFailureLimit_data()
{
    QTest::addColumn<QString>("kinds");
    QTest::addColumn<int>("parallel");
    QTest::addColumn<int>("maxFailures");
    QTest::addColumn<QString>("results"); // per target: d(one) r(efused) n(o answer) -(not started)
    QTest::newRow("all switch, three at a time")
        << QStringLiteral("uuuuu") << 3 << 1 << QStringLiteral("ddddd");
    QTest::newRow("first refusal stops") << QStringLiteral("ubuuu") << 1 << 1 << QStringLiteral("dr---");
    QTest::newRow("two failures allowed") << QStringLiteral("bususu") << 1 << 2 << QStringLiteral("rdn---");
    QTest::newRow("never stop") << QStringLiteral("bsuu") << 2 << 0 << QStringLiteral("rndd");
}

void TestFleetOperation::relayPerUnitAndFailureLimit()
{
    QFETCH(QString, kinds);
    QFETCH(int, parallel);
    QFETCH(int, maxFailures);
    QFETCH(QString, results);
    SimFleetRig rig(kUnits);
    QVERIFY(rig.started);
    const QList<OperationTarget> list = targets(rig, kinds);

    FleetOperation operation(options(parallel, maxFailures));
    QString seen(list.size(), u'-');
    connect(&operation, &FleetOperation::unitFinished, this, [&](int index, const UnitOutcome& outcome) {
        seen[index] = outcome.result == UnitOutcome::Result::Done       ? u'd'
                      : outcome.result == UnitOutcome::Result::Refused  ? u'r'
                      : outcome.result == UnitOutcome::Result::NoAnswer ? u'n'
                                                                        : u'?';
    });
    const FleetOperation::Summary summary =
        operation.run(list, [](backup::UnitExchange& x, const OperationTarget&) {
            return fleet::switchRelay(x, 2, protocol::RelayOn, 0);
        });
    QCOMPARE(seen, results);
    QCOMPARE(summary.done, int(results.count(u'd')));
    QCOMPARE(summary.failed, int(results.count(u'r') + results.count(u'n')));
    QCOMPARE(summary.notStarted, int(results.count(u'-')));
    // The relay switched where the unit said so, and a unit never started heard nothing.
    int unit = 0;
    for (qsizetype k = 0; k < kinds.size(); ++k) {
        if (kinds[k] == u's')
            continue;
        sim::UnitModel& model = rig.fleet->model(unit++);
        QCOMPARE(model.relayOn(2), results[k] == u'd');
        if (results[k] == u'-')
            QVERIFY(model.frames().empty());
    }
}

void TestFleetOperation::atMostParallelUnitsAtOnce()
{
    SimFleetRig rig(kUnits);
    QVERIFY(rig.started);
    std::atomic<int> inside{0};
    std::atomic<int> most{0};
    FleetOperation operation(options(3, 1));
    const FleetOperation::Summary summary = operation.run(
        targets(rig, QStringLiteral("uuuuuu")), [&](backup::UnitExchange& x, const OperationTarget&) {
            const int now = ++inside;
            for (int m = most; now > m && !most.compare_exchange_weak(m, now);) {
            }
            const UnitOutcome outcome = fleet::switchRelay(x, 1, protocol::RelayOn, 0);
            QThread::msleep(30); // hold the slot a little, so that the others overlap
            --inside;
            return outcome;
        });
    QCOMPARE(summary.done, kUnits);
    QVERIFY2(most <= 3, qPrintable(QString::number(most)));
    QVERIFY2(most >= 2, qPrintable(QString::number(most)));
}

void TestFleetOperation::stopFinishesUnitsInFlightOnly()
{
    SimFleetRig rig(kUnits);
    QVERIFY(rig.started);
    FleetOperation operation(options(2, 0));
    int started = 0;
    connect(&operation, &FleetOperation::unitStarted, this, [&] { ++started; });
    connect(&operation, &FleetOperation::unitFinished, this, [&] { operation.stop(); });
    const FleetOperation::Summary summary = operation.run(
        targets(rig, QStringLiteral("uuuuuu")), [](backup::UnitExchange& x, const OperationTarget&) {
            return fleet::switchRelay(x, 3, protocol::RelayOn, 0);
        });
    QVERIFY(summary.stopped);
    // Two in flight when the first finished; each worker may have taken one more before the stop
    // reached it, and every started unit finished.
    QVERIFY2(started <= 4, qPrintable(QString::number(started)));
    QCOMPARE(summary.done, started);
    QCOMPARE(summary.notStarted, kUnits - started);
}

void TestFleetOperation::pauseStartsNoUnitUntilResumed_data()
{
    QTest::addColumn<bool>("thenStop"); // ended by stop() instead of resume()
    QTest::newRow("resume") << false;
    QTest::newRow("stop while paused") << true;
}

void TestFleetOperation::pauseStartsNoUnitUntilResumed()
{
    QFETCH(bool, thenStop);
    SimFleetRig rig(kUnits);
    QVERIFY(rig.started);
    FleetOperation operation(options(1, 0));
    QList<int> started;
    connect(&operation, &FleetOperation::unitStarted, this, [&](int index) {
        started << index;
        if (index == 0)
            operation.pause();
    });
    QSignalSpy finishedUnits(&operation, &FleetOperation::unitFinished);
    QSignalSpy finished(&operation, &FleetOperation::finished);
    operation.start(targets(rig, QStringLiteral("uuuu")),
                    [](backup::UnitExchange& x, const OperationTarget&) {
                        return fleet::switchRelay(x, 1, protocol::RelayOn, 0);
                    });
    // The unit in flight finishes; the worker then waits and no second unit hears a frame.
    QVERIFY(finishedUnits.wait(5000));
    QVERIFY(operation.isPaused());
    QTest::qWait(200);
    QCOMPARE(started, QList<int>{0});
    QVERIFY(rig.fleet->model(1).frames().empty());
    QVERIFY(finished.isEmpty());

    if (thenStop)
        operation.stop();
    else
        operation.resume();
    QVERIFY(finished.wait(10000));
    const auto summary = finished.first().first().value<FleetOperation::Summary>();
    QCOMPARE(summary.done, thenStop ? 1 : 4);
    QCOMPARE(summary.notStarted, thenStop ? 3 : 0);
    QCOMPARE(summary.stopped, thenStop);
    QCOMPARE(rig.fleet->model(3).relayOn(1), !thenStop);
}

QTEST_GUILESS_MAIN(TestFleetOperation)
#include "tst_fleetoperation.moc"
