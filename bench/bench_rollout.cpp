// A configuration rollout at fleet scale: the relay scripts of a backup document written to N
// simulated units (in this process, one shared socket) a few at a time by the fleet operation
// runner, against the same restore done unit by unit, one at a time, on the same kind of fleet.
// Reports the wall time of both, the frames per unit of the rollout, and those against the frames
// one restore needs times N.
//
//   bench_rollout [--units N (1000)] [--parallel P (8)]

#include <cstdio>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>

#include "protocol/frames.h"

#include "backup/configdiff.h"
#include "backup/configrestore.h"
#include "fleet/fleetoperation.h"
#include "fleet/unitjobs.h"
#include "fleet/unitsocket.h"
#include "ksv-sim/simulatedfleet.h"

using namespace kestavo;

namespace {

constexpr auto kPassword = "bench";

std::unique_ptr<sim::SimulatedFleet> makeFleet(int units, quint32 firstAddress)
{
    std::vector<sim::SimulatedUnit::Config> configs(static_cast<std::size_t>(units));
    for (auto& config : configs) {
        config.bindAddress = QHostAddress(firstAddress);
        config.port = 0;
        config.unit.password = kPassword;
    }
    auto fleet = std::make_unique<sim::SimulatedFleet>(configs);
    if (!fleet->start()) {
        std::fprintf(stderr, "cannot start the simulated fleet: %s\n", qPrintable(fleet->errorString()));
        std::exit(1);
    }
    return fleet;
}

// The document: a unit's configuration with three relay scripts the simulated units do not hold.
fleet::RolloutPlan plan()
{
    fleet::RolloutPlan p;
    p.file.relayScripts[0] = {
        QStringLiteral("Pulse relay 1"),
        {QStringLiteral("Relay 1 ON"), QStringLiteral("Wait 5 Seconds"), QStringLiteral("Relay 1 OFF")}};
    p.file.relayScripts[1] = {
        QStringLiteral("Pulse relay 2"),
        {QStringLiteral("Relay 2 ON"), QStringLiteral("Wait 5 Seconds"), QStringLiteral("Relay 2 OFF")}};
    p.file.relayScripts[2] = {
        QStringLiteral("All on"),
        {QStringLiteral("Relay 1 ON"), QStringLiteral("Relay 2 ON"), QStringLiteral("Relay 3 ON")}};
    p.groups = {backup::Group::Scripts};
    return p;
}

struct Measured
{
    double seconds = 0;
    qint64 frames = 0;
    fleet::FleetOperation::Summary summary;
};

Measured rollout(sim::SimulatedFleet& sims, int units, int parallel)
{
    QList<fleet::OperationTarget> targets;
    for (int k = 0; k < units; ++k)
        targets << fleet::OperationTarget{sims.address(k).toString(), QString(),
                                          protocol::padPassword(kPassword), sims.port()};
    fleet::FleetOperation::Options options;
    options.parallel = parallel;
    options.maxFailures = 0;
    fleet::FleetOperation operation(options);
    Measured m;
    QObject::connect(&operation, &fleet::FleetOperation::frameSent, &operation, [&m] { ++m.frames; });
    const auto shared = std::make_shared<fleet::RolloutPlan>(plan());
    QElapsedTimer clock;
    clock.start();
    m.summary = operation.run(targets, [shared](backup::UnitExchange& x, const fleet::OperationTarget&) {
        return fleet::rolloutUnit(x, *shared);
    });
    m.seconds = double(clock.nsecsElapsed()) / 1e9;
    return m;
}

// What `restore` sends for the same document: read, compare, write (each item checked as it goes).
qint64 singleRestoreFrames(sim::SimulatedFleet& sims)
{
    fleet::UnitSocket socket(sims.address(0), sims.port());
    if (!socket.open())
        return -1;
    backup::UnitExchange exchange(socket, protocol::padPassword(kPassword), backup::Timing{});
    auto read = backup::readUnit(exchange);
    if (!std::holds_alternative<backup::UnitReadings>(read))
        return -1;
    const auto& readings = std::get<backup::UnitReadings>(read);
    const fleet::RolloutPlan p = plan();
    const QList<backup::Change> chosen = backup::changesIn(
        backup::compareConfigs(backup::configFromUnit(readings, {}, {}, {}), p.file), p.groups);
    if (!backup::restoreChanges(exchange, readings, p.file, chosen).ok())
        return -1;
    return socket.framesSent();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions(
        {{QStringLiteral("units"), QStringLiteral("units"), QStringLiteral("N"), QStringLiteral("1000")},
         {QStringLiteral("parallel"), QStringLiteral("units at a time"), QStringLiteral("P"),
          QStringLiteral("8")}});
    parser.process(app);
    const int units = parser.value(QStringLiteral("units")).toInt();
    const int parallel = parser.value(QStringLiteral("parallel")).toInt();

    // Baseline: one restore, then the same unit by unit, one at a time (each on a fresh fleet).
    auto single = makeFleet(1, (127u << 24) | (3u << 16) | 1u);
    const qint64 oneRestore = singleRestoreFrames(*single);
    auto serialFleet = makeFleet(units, (127u << 24) | (4u << 16) | 1u);
    const Measured serial = rollout(*serialFleet, units, 1);
    auto parallelFleet = makeFleet(units, (127u << 24) | (5u << 16) | 1u);
    const Measured fast = rollout(*parallelFleet, units, parallel);

    std::printf("units %d, parallel %d\n", units, parallel);
    std::printf("one restore: %lld frames\n", static_cast<long long>(oneRestore));
    std::printf("one at a time: %.2f s, %d written, %d failed\n", serial.seconds, serial.summary.done,
                serial.summary.failed);
    std::printf("rollout --parallel %d: %.2f s, %d written, %d failed, %.2f frames per unit\n", parallel,
                fast.seconds, fast.summary.done, fast.summary.failed, double(fast.frames) / units);
    std::printf("frames against one restore x %d: %.3f\n", units,
                double(fast.frames) / double(oneRestore * units));
    std::printf("time against one at a time: %.3f\n", fast.seconds / serial.seconds);
    return fast.summary.done == units ? 0 : 1;
}
