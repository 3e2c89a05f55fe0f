// How many frames one simulated unit answers per second on one core: the model alone (frame in,
// reply out), and the whole unit behind its UDP socket with the client in the same thread, so
// both ends of the loopback share the one core.

#include <array>
#include <benchmark/benchmark.h>
#include <string>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QUdpSocket>

#include "protocol/frames.h"

#include "ksv-sim/simulatedunit.h"
#include "ksv-sim/unitmodel.h"

using namespace kestavo;

namespace {

const std::string kPassword = protocol::padPassword("bench");
const sim::Ipv4 kSource{127, 0, 0, 1};

sim::UnitModel::Config modelConfig()
{
    sim::UnitModel::Config config;
    config.password = "bench";
    config.boards = {true, false, false, true, false, false};
    return config;
}

void modelAnswersPolls(benchmark::State& state)
{
    sim::UnitModel unit(modelConfig());
    const std::string poll = protocol::pollFrame(kPassword);
    for (auto _ : state) {
        auto replies = unit.handleFrame(poll, kSource);
        benchmark::DoNotOptimize(replies);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(modelAnswersPolls);

// What a busy console sends: polls with relay switching, a read request and a board command.
void modelAnswersMixedFrames(benchmark::State& state)
{
    sim::UnitModel unit(modelConfig());
    const std::array<std::string, 6> frames{
        protocol::pollFrame(kPassword),        protocol::relayOnFrame(1, kPassword),
        protocol::pollFrame(kPassword),        protocol::relayOffFrame(1, kPassword),
        protocol::readRequestFrame(kPassword), protocol::boardFrame(1, 1, 0, 0, kPassword)};
    std::size_t next = 0;
    for (auto _ : state) {
        auto replies = unit.handleFrame(frames[next], kSource);
        benchmark::DoNotOptimize(replies);
        next = (next + 1) % frames.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(modelAnswersMixedFrames);

// The whole unit over loopback UDP: each iteration keeps `window` polls in flight and waits for
// every answer; client and unit share one thread, hence one core.
void unitAnswersOverUdp(benchmark::State& state)
{
    const int window = int(state.range(0));
    sim::SimulatedUnit::Config config;
    config.unit = modelConfig();
    config.port = 0;
    config.realTime = false;
    sim::SimulatedUnit unit(config);
    if (!unit.start()) {
        state.SkipWithError(qPrintable(unit.errorString()));
        return;
    }
    QUdpSocket client;
    client.connectToHost(unit.address(), unit.port());
    const std::string poll = protocol::pollFrame(kPassword);
    const QByteArray frame(poll.data(), qsizetype(poll.size()));
    std::int64_t answered = 0;
    for (auto _ : state) {
        for (int i = 0; i < window; ++i)
            client.write(frame);
        int got = 0;
        QElapsedTimer guard;
        guard.start();
        while (got < window && guard.elapsed() < 2000) {
            client.waitForReadyRead(0);
            QCoreApplication::processEvents();
            while (client.hasPendingDatagrams()) {
                client.readDatagram(nullptr, 0);
                ++got;
            }
        }
        if (got < window) {
            state.SkipWithError("replies went missing on loopback");
            return;
        }
        answered += got;
    }
    state.SetItemsProcessed(answered);
}
BENCHMARK(unitAnswersOverUdp)->Arg(1)->Arg(16)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
