// Two kestavo-agent processes on one history and one simulated fleet, sharded 1/2 and 2/2: each
// unit is polled by one of them (its polls counted at the simulated unit), and when one agent is
// killed the other polls its units within three lease periods.

#include <csignal>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "stations/stationstore.h"

#include "agentoptions.h"
#include "fleetrig.h"
#include "history/stationleases.h"

using namespace kestavo;
using testsupport::SimFleetRig;

namespace {

constexpr int kLeaseMs = 3000;
constexpr int kIntervalMs = 1000;

} // namespace

class TestAgentShards : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shardedAgentsSplitTheFleetAndTakeOver();
};

void TestAgentShards::shardedAgentsSplitTheFleetAndTakeOver()
{
    QTemporaryDir dir;
    SimFleetRig sim(10, "Ag3nt");
    QVERIFY(sim.started);
    const QString db = dir.filePath(QStringLiteral("ksv.dat"));
    const QString historyFile = dir.filePath(QStringLiteral("history.db"));
    std::array<QList<int>, 2> units; // per shard
    {
        stations::StationStore store;
        QVERIFY(store.open(db).ok);
        for (int k = 0; k < sim.fleet->count(); ++k) {
            const QString address = sim.fleet->address(k).toString();
            QVERIFY(store.add(address, QStringLiteral("Ag3nt"), QStringLiteral("Site %1").arg(k + 1)));
            units[std::size_t(agent::shardOf(address, 2) - 1)].append(k);
        }
    }
    // Ten random addresses in one shard are one draw in 512.
    QVERIFY(!units[0].isEmpty() && !units[1].isEmpty());

    // The history exists before the agents start, as a team's would.
    history::StationLeases leases;
    QVERIFY2(leases.open(historyFile), qPrintable(leases.error()));

    std::array<QProcess, 2> agents;
    for (int shard = 1; shard <= 2; ++shard) {
        QProcess& process = agents[std::size_t(shard - 1)];
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(KESTAVO_AGENT_PATH),
                      {QStringLiteral("--db"), db, QStringLiteral("--history"), historyFile,
                       QStringLiteral("--unit-port"), QString::number(sim.fleet->port()),
                       QStringLiteral("--interval-ms"), QString::number(kIntervalMs),
                       QStringLiteral("--lease-ms"), QString::number(kLeaseMs), QStringLiteral("--listen"),
                       QStringLiteral("127.0.0.1:0"), QStringLiteral("--shard"),
                       QStringLiteral("%1/2").arg(shard)});
        QVERIFY(process.waitForStarted());
    }
    auto stopAll = qScopeGuard([&agents] {
        for (QProcess& process : agents) {
            process.kill();
            process.waitForFinished(5000);
        }
    });
    const auto polls = [&sim](int k) {
        return sim.fleet->model(k).counters().perOpcode[std::uint8_t('1')];
    };
    // Whoever started first may hold the other's stations for a moment; settled, each agent holds
    // exactly its shard's, as the lease table says.
    const auto holderPid = [](const history::StationLease& lease) {
        return lease.holder.section(u':', 1, 1).toLongLong();
    };
    const auto settled = [&] {
        int right = 0;
        for (const history::StationLease& lease : leases.leases(QDateTime::currentMSecsSinceEpoch())) {
            if (lease.address.startsWith(u'#'))
                continue;
            const int shard = agent::shardOf(lease.address, 2);
            right += holderPid(lease) == agents[std::size_t(shard - 1)].processId() ? 1 : 0;
        }
        return right == sim.fleet->count();
    };
    if (!QTest::qWaitFor(settled, 10 * kLeaseMs)) {
        for (const history::StationLease& lease : leases.leases(QDateTime::currentMSecsSinceEpoch()))
            qWarning("%s held by %s (shard %d)", qPrintable(lease.address), qPrintable(lease.holder),
                     agent::shardOf(lease.address, 2));
        for (QProcess& process : agents)
            qWarning("agent %lld: %s", process.processId(), process.readAll().constData());
        QFAIL("the agents did not settle on their shards");
    }

    // Polled once a second by one agent: over five seconds, never twice as often.
    std::vector<std::uint64_t> before;
    for (int k = 0; k < sim.fleet->count(); ++k)
        before.push_back(polls(k));
    QElapsedTimer window;
    window.start();
    QTest::qWait(5000);
    const double seconds = double(window.elapsed()) / 1000.0;
    for (int k = 0; k < sim.fleet->count(); ++k) {
        const double rate = double(polls(k) - before[std::size_t(k)]) / seconds;
        QVERIFY2(rate > 0.5 && rate < 1.5,
                 qPrintable(QStringLiteral("unit %1 polled %2 times a second").arg(k).arg(rate)));
    }

    // The first agent dies without a word: its leases lapse, and the other agent takes its units.
    agents[0].kill();
    QVERIFY(agents[0].waitForFinished(5000));
    QElapsedTimer sinceKill;
    sinceKill.start();
    std::vector<std::uint64_t> atKill;
    for (int k = 0; k < sim.fleet->count(); ++k)
        atKill.push_back(polls(k));
    const auto allPolledAgain = [&] {
        for (const int k : units[0])
            if (polls(k) <= atKill[std::size_t(k)])
                return false;
        return true;
    };
    QVERIFY2(QTest::qWaitFor(allPolledAgain, 6 * kLeaseMs),
             qPrintable(QString::fromUtf8(agents[1].readAll())));
    QVERIFY2(sinceKill.elapsed() <= 3 * kLeaseMs,
             qPrintable(QStringLiteral("taken over after %1 ms").arg(sinceKill.elapsed())));
}

QTEST_GUILESS_MAIN(TestAgentShards)
#include "tst_agentshards.moc"
