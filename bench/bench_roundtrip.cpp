// Poll -> reply -> display: the time from a poll frame leaving the console's main socket to the
// main window's station-name readout showing what the unit reported, against an in-process
// simulated unit on loopback. Beside it, in the same run and the same event loop, a bare
// QUdpSocket round trip (150 bytes out, 137 back, echoed as soon as they arrive), so the ratio
// says what the console adds to what the loopback and the event loop cost anyway.
//
//   bench_roundtrip [ROUNDS]     (run with QT_QPA_PLATFORM=offscreen)

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

#include "protocol/frames.h"

#include "gui/main/mainform.h"
#include "ksv-sim/simulatedunit.h"
#include "support/consolefixture.h"

using namespace kestavo;

namespace {

struct Figures
{
    double median = 0;
    double p90 = 0;
    double p99 = 0;
    double mean = 0;
};

Figures summarise(std::vector<double> us)
{
    std::sort(us.begin(), us.end());
    Figures f;
    const auto at = [&us](double q) {
        return us[std::min(us.size() - 1, std::size_t(q * double(us.size())))];
    };
    f.median = at(0.5);
    f.p90 = at(0.9);
    f.p99 = at(0.99);
    double sum = 0;
    for (const double v : us)
        sum += v;
    f.mean = sum / double(us.size());
    return f;
}

// Runs the event loop until done() holds; false after 2 s without it.
template <typename Done> bool spinUntil(Done done)
{
    QElapsedTimer guard;
    guard.start();
    while (!done()) {
        if (guard.elapsed() > 2000)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

std::vector<double> consoleRounds(int rounds)
{
    testsupport::ConsoleFixture fixture(QStringLiteral("secret"));
    sim::SimulatedUnit::Config config;
    config.unit.password = "secret";
    config.port = 0;
    config.realTime = false; // the unit answers at once
    sim::SimulatedUnit unit(config);
    if (!unit.start()) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(unit.errorString()));
        return {};
    }
    fixture.session.setUnitPort(unit.port());
    const int never = 3600 * 1000; // no poll tick of its own: each round sends exactly one poll
    fixture.session.setTiming({never, never, never});
    core::MainForm form(fixture.context, fixture.dialogs);
    form.show();
    auto* name = form.findChild<QLineEdit*>(QStringLiteral("Text83"));
    fixture.session.start(fixture.stationEntry());
    if (!name || !spinUntil([name] { return name->text() == QStringLiteral("KSV Simulator"); })) {
        std::fprintf(stderr, "the console never showed the unit's first report\n");
        return {};
    }

    const std::string poll = protocol::pollFrame(fixture.session.password());
    std::vector<double> us;
    QElapsedTimer clock;
    for (int i = 0; i < rounds; ++i) {
        const QString expected = QStringLiteral("Bench %1").arg(i);
        unit.model().setStationName(expected.toStdString());
        clock.start();
        fixture.session.send(poll, false);
        if (!spinUntil([name, &expected] { return name->text() == expected; })) {
            std::fprintf(stderr, "round %d: no report shown\n", i);
            return {};
        }
        us.push_back(double(clock.nsecsElapsed()) / 1000.0);
    }
    fixture.session.stop();
    return us;
}

std::vector<double> echoRounds(int rounds)
{
    QUdpSocket echo;
    if (!echo.bind(QHostAddress::LocalHost, 0))
        return {};
    QObject::connect(&echo, &QUdpSocket::readyRead, [&echo] {
        while (echo.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = echo.receiveDatagram();
            echo.writeDatagram(QByteArray(137, '\0'), datagram.senderAddress(),
                               quint16(datagram.senderPort()));
        }
    });
    QUdpSocket client;
    client.connectToHost(QHostAddress::LocalHost, echo.localPort());
    int answered = 0;
    QObject::connect(&client, &QUdpSocket::readyRead, [&client, &answered] {
        while (client.hasPendingDatagrams()) {
            client.receiveDatagram();
            ++answered;
        }
    });
    const QByteArray poll(150, '*');
    std::vector<double> us;
    QElapsedTimer clock;
    for (int i = 0; i < rounds; ++i) {
        clock.start();
        client.write(poll);
        if (!spinUntil([&answered, i] { return answered > i; }))
            return {};
        us.push_back(double(clock.nsecsElapsed()) / 1000.0);
    }
    return us;
}

void print(const char* what, const Figures& f)
{
    std::printf("%-44s median %8.1f us  p90 %8.1f us  p99 %8.1f us  mean %8.1f us\n", what, f.median, f.p90,
                f.p99, f.mean);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;

    // Alternate the two so a change in the machine's load hits both alike.
    std::vector<double> console;
    std::vector<double> echo;
    for (int block = 0; block < 4; ++block) {
        const auto c = consoleRounds(rounds / 4);
        const auto e = echoRounds(rounds / 4);
        if (c.empty() || e.empty())
            return 1;
        console.insert(console.end(), c.begin(), c.end());
        echo.insert(echo.end(), e.begin(), e.end());
    }
    const Figures fc = summarise(console);
    const Figures fe = summarise(echo);
    std::printf("%zu rounds each\n", console.size());
    print("poll -> reply -> station name shown", fc);
    print("bare QUdpSocket echo round trip", fe);
    std::printf("ratio (median): %.2f   ratio (p90): %.2f\n", fc.median / fe.median, fc.p90 / fe.p90);
    return 0;
}
