// The fleet poller at scale: N simulated units in one ksv-sim process (--address-per-unit), each
// polled once a second, for S seconds. Beside it in the same run, a bare QUdpSocket loop sending
// the same frames to the same addresses at the same rate and reading the replies without
// looking at them, so the ratio says what the poller adds to what the sockets cost anyway.
// With --window, the Fleet window (offscreen) shows the fleet during the poller's run and the
// longest stall of the event loop is measured.
// With --open, no units: the Fleet window opens on an N-station directory with tags (grouped by
// tag), regroups, filters by a tag and flushes every row, against a bare tree view over a proxy of
// N rows of text.
//
//   bench_fleet --units N [--seconds S] [--window [--tags]] [--sim PATH/ksv-sim]
//   bench_fleet --units N --open
//   (run with QT_QPA_PLATFORM=offscreen)

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <vector>

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <QTreeView>
#include <QUdpSocket>

#include "protocol/frames.h"

#include "fleet/fleetpoller.h"
#include "gui/fleet/fleetgroupmodel.h"
#include "gui/fleet/fleetmodel.h"
#include "gui/fleet/fleetwindow.h"

using namespace kestavo;

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

struct Result
{
    double cpuShare = 0; // of one core
    double p50Us = 0;
    double p99Us = 0;
    quint64 sent = 0;
    quint64 received = 0;
    quint64 lost = 0;
};

double percentile(std::vector<qint64>& values, double p)
{
    if (values.empty())
        return 0;
    const auto k = static_cast<std::size_t>(p * double(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(k), values.end());
    return double(values[k]);
}

void runFor(int seconds)
{
    QTimer done;
    done.setSingleShot(true);
    QEventLoop loop;
    QObject::connect(&done, &QTimer::timeout, &loop, &QEventLoop::quit);
    done.start(seconds * 1000);
    loop.exec();
}

// The same stagger as the poller: unit k is due at k * 1000 / N ms into every second.
Result bareLoop(quint32 first, int units, quint16 port, int seconds)
{
    QUdpSocket socket;
    socket.bind(QHostAddress::AnyIPv4, 0);
    socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(4 * 1024 * 1024));
    const std::string frameText = protocol::pollFrame("password**");
    const QByteArray frame(frameText.data(), qsizetype(frameText.size()));
    std::vector<qint64> sentAt(std::size_t(units), -1);
    std::vector<qint64> latencies;
    latencies.reserve(std::size_t(units) * std::size_t(seconds));
    Result result;
    QElapsedTimer clock;
    clock.start();
    qint64 next = 0; // index of the next poll since the start, over all rounds
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, &socket, [&] {
        const qint64 due = clock.elapsed() * units / 1000;
        for (; next <= due; ++next) {
            const auto k = std::size_t(next % units);
            if (sentAt[k] >= 0)
                ++result.lost;
            socket.writeDatagram(frame, QHostAddress(first + quint32(k)), port);
            sentAt[k] = clock.nsecsElapsed();
            ++result.sent;
        }
    });
    char buffer[2048];
    QObject::connect(&socket, &QUdpSocket::readyRead, &socket, [&] {
        QHostAddress from;
        while (socket.hasPendingDatagrams()) {
            if (socket.readDatagram(buffer, sizeof buffer, &from) < 0)
                break;
            const quint32 k = from.toIPv4Address() - first;
            if (k < quint32(units) && sentAt[k] >= 0) {
                latencies.push_back((clock.nsecsElapsed() - sentAt[k]) / 1000);
                sentAt[k] = -1;
            }
            ++result.received;
        }
    });
    const double cpu0 = cpuSeconds();
    tick.start(10);
    runFor(seconds);
    tick.stop();
    result.cpuShare = (cpuSeconds() - cpu0) / (double(clock.elapsed()) / 1000.0);
    result.p50Us = percentile(latencies, 0.50);
    result.p99Us = percentile(latencies, 0.99);
    return result;
}

Result pollerRun(fleet::FleetPoller& poller, int seconds, std::vector<qint64>& latencies)
{
    Result result;
    QObject::connect(&poller, &fleet::FleetPoller::reportDecoded, &poller,
                     [&](int index, qint64, const protocol::StatusReport&) {
                         if (const auto rtt = poller.unit(index).rttUs)
                             latencies.push_back(*rtt);
                     });
    QElapsedTimer clock;
    clock.start();
    const double cpu0 = cpuSeconds();
    poller.start();
    runFor(seconds);
    poller.stop();
    result.cpuShare = (cpuSeconds() - cpu0) / (double(clock.elapsed()) / 1000.0);
    for (int i = 0; i < poller.count(); ++i) {
        result.sent += poller.unit(i).sent;
        result.received += poller.unit(i).received;
        result.lost += poller.unit(i).lost;
    }
    result.p50Us = percentile(latencies, 0.50);
    result.p99Us = percentile(latencies, 0.99);
    return result;
}

void print(const char* name, const Result& r)
{
    std::printf("%-14s cpu %5.1f %%  p50 %7.0f us  p99 %7.0f us  sent %9llu  received %9llu  lost %llu\n",
                name, r.cpuShare * 100, r.p50Us, r.p99Us, static_cast<unsigned long long>(r.sent),
                static_cast<unsigned long long>(r.received), static_cast<unsigned long long>(r.lost));
}

// The least a tree of N text rows costs Qt: a model answering one column, sorted by a proxy.
class BareModel final : public QAbstractTableModel
{
public:
    explicit BareModel(const QStringList& names) : m_names(names) {}
    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_names.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(fleetui::FleetModel::ColumnCount);
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        return role == Qt::DisplayRole && index.column() == 0 ? QVariant(m_names.at(index.row()))
                                                              : QVariant();
    }

private:
    QStringList m_names;
};

double msOf(const std::function<void()>& step)
{
    QElapsedTimer clock;
    clock.start();
    step();
    QCoreApplication::processEvents();
    return double(clock.nsecsElapsed()) / 1e6;
}

int openBench(int units)
{
    QList<fleet::FleetStation> stations;
    QStringList names;
    const quint32 first = QHostAddress(QStringLiteral("127.1.0.1")).toIPv4Address();
    for (int k = 0; k < units; ++k) {
        fleet::FleetStation station;
        station.address = QHostAddress(first + quint32(k)).toString();
        station.description = QStringLiteral("Unit %1").arg(k + 1);
        station.password = QStringLiteral("password**");
        // Ten regions of ten sites each, 37 customers; one station in seven untagged.
        if (k % 7 != 0)
            station.tags = {QStringLiteral("region%1/site%2").arg(k % 10).arg(k % 100),
                            QStringLiteral("customer%1").arg(k % 37)};
        names << station.description;
        stations << station;
    }

    std::optional<BareModel> bare;
    QSortFilterProxyModel bareProxy;
    QTreeView bareView;
    const double bareMs = msOf([&] {
        bare.emplace(names);
        bareProxy.setSourceModel(&*bare);
        bareProxy.sort(0);
        bareView.setUniformRowHeights(true);
        bareView.setModel(&bareProxy);
        bareView.show();
    });
    const double bareChangeMs = msOf([&] {
        Q_EMIT bare->dataChanged(bare->index(0, 0),
                                 bare->index(units - 1, fleetui::FleetModel::ColumnCount - 1));
    });
    bareView.hide();

    fleet::FleetPoller poller;
    const double stationsMs = msOf([&] { poller.setStations(stations); });
    std::optional<fleetui::FleetWindow> window;
    const double openMs = msOf([&] {
        window.emplace(poller);
        window->model().setFlushInterval(3600000);
        window->show();
    });
    auto* groupBy = window->findChild<QComboBox*>(QStringLiteral("FleetGroupBy"));
    const double flushTagMs = msOf([&] {
        window->model().setAlarms(nullptr); // marks every row
        window->model().flush();
    });
    window->sortProblemsFirst();
    const double flushProblemsMs = msOf([&] {
        window->model().setAlarms(nullptr);
        window->model().flush();
    });
    window->table().sortByColumn(fleetui::FleetModel::Description, Qt::AscendingOrder);
    const double byStateMs = msOf([&] { groupBy->setCurrentIndex(1); });
    const double byNothingMs = msOf([&] { groupBy->setCurrentIndex(2); });
    const double flushFlatMs = msOf([&] {
        window->model().setAlarms(nullptr);
        window->model().flush();
    });
    groupBy->setCurrentIndex(0);
    const double tagFilterMs = msOf([&] { window->groups().setTagFilter(QStringLiteral("region3")); });

    std::printf("%d stations\n", units);
    std::printf("bare tree over a sorted proxy: open %8.1f ms, every row changed %8.1f ms\n", bareMs,
                bareChangeMs);
    std::printf("poller.setStations            %8.1f ms\n", stationsMs);
    std::printf("Fleet window open, by tag     %8.1f ms  (ratio to bare open %.1f)\n", openMs,
                openMs / std::max(bareMs, 0.001));
    std::printf("every row flushed, by tag     %8.1f ms  (ratio to bare change %.1f)\n", flushTagMs,
                flushTagMs / std::max(bareChangeMs, 0.001));
    std::printf("the same, problems first      %8.1f ms\n", flushProblemsMs);
    std::printf("regroup by state              %8.1f ms\n", byStateMs);
    std::printf("regroup by nothing            %8.1f ms\n", byNothingMs);
    std::printf("every row flushed, flat       %8.1f ms  (ratio to bare change %.1f)\n", flushFlatMs,
                flushFlatMs / std::max(bareChangeMs, 0.001));
    std::printf("tag filter region3, by tag    %8.1f ms\n", tagFilterMs);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption unitsOption(QStringLiteral("units"), QStringLiteral("Units."),
                                         QStringLiteral("N"), QStringLiteral("1000"));
    const QCommandLineOption secondsOption(QStringLiteral("seconds"), QStringLiteral("Seconds per run."),
                                           QStringLiteral("S"), QStringLiteral("60"));
    const QCommandLineOption windowOption(QStringLiteral("window"), QStringLiteral("Show the Fleet window."));
    const QCommandLineOption openOption(
        QStringLiteral("open"), QStringLiteral("Only open the Fleet window on N stations, no units."));
    const QCommandLineOption simOption(
        QStringLiteral("sim"), QStringLiteral("ksv-sim executable."), QStringLiteral("PATH"),
        QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/ksv-sim/ksv-sim"));
    const QCommandLineOption tagsOption(QStringLiteral("tags"),
                                        QStringLiteral("With --window: tagged stations, grouped by tag."));
    parser.addOptions({unitsOption, secondsOption, windowOption, openOption, tagsOption, simOption});
    parser.process(app);
    const int units = parser.value(unitsOption).toInt();
    if (parser.isSet(openOption))
        return openBench(units);
    const int seconds = parser.value(secondsOption).toInt();
    const QHostAddress firstAddress(QStringLiteral("127.0.1.1"));

    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(parser.value(simOption),
              {QStringLiteral("--units"), QString::number(units), QStringLiteral("--address-per-unit"),
               QStringLiteral("--bind"), firstAddress.toString(), QStringLiteral("--port"),
               QStringLiteral("0"), QStringLiteral("--steady")});
    if (!sim.waitForReadyRead(120000)) {
        std::fprintf(stderr, "ksv-sim did not start\n");
        return 1;
    }
    const QString banner = QString::fromUtf8(sim.readLine());
    const auto match = QRegularExpression(QStringLiteral("port (\\d+)")).match(banner);
    if (!match.hasMatch()) {
        std::fprintf(stderr, "ksv-sim: %s\n", qPrintable(banner));
        return 1;
    }
    const auto port = quint16(match.captured(1).toUInt());
    std::printf("%d units, %d s per run, ksv-sim on %s port %u\n", units, seconds,
                qPrintable(firstAddress.toString()), unsigned(port));

    const Result bare = bareLoop(firstAddress.toIPv4Address(), units, port, seconds);
    print("bare socket", bare);

    fleet::FleetPoller poller;
    fleet::FleetPoller::Timing timing;
    timing.intervalMs = 1000;
    poller.setTiming(timing);
    poller.setUnitPort(port);
    QList<fleet::FleetStation> stations;
    for (int k = 0; k < units; ++k)
        stations.append({QHostAddress(firstAddress.toIPv4Address() + quint32(k)).toString(),
                         QStringLiteral("Unit %1").arg(k + 1),
                         QStringLiteral("password**"),
                         {0, 0}});
    // With --tags the stations carry the tags of --open, and the window groups them by tag.
    if (parser.isSet(tagsOption)) {
        for (int k = 0; k < units; ++k) {
            if (k % 7 != 0)
                stations[k].tags = {QStringLiteral("region%1/site%2").arg(k % 10).arg(k % 100),
                                    QStringLiteral("customer%1").arg(k % 37)};
        }
    }
    poller.setStations(stations);

    std::optional<fleetui::FleetWindow> window;
    QElapsedTimer stallClock;
    qint64 lastBeat = 0;
    std::vector<qint64> gaps;
    QTimer beat;
    QTimer flushTimer;
    std::vector<qint64> flushes;
    if (parser.isSet(windowOption)) {
        window.emplace(poller);
        window->show();
        window->sortProblemsFirst();
        QObject::connect(&beat, &QTimer::timeout, &beat, [&] {
            const qint64 now = stallClock.nsecsElapsed() / 1000;
            gaps.push_back(now - lastBeat);
            lastBeat = now;
        });
        stallClock.start();
        beat.setTimerType(Qt::PreciseTimer);
        beat.start(5);
        // The model's own flush, timed: it runs inside the event loop, which the beat also sees.
        window->model().setFlushInterval(3600000);
        QObject::connect(&flushTimer, &QTimer::timeout, &flushTimer, [&] {
            QElapsedTimer t;
            t.start();
            window->model().flush();
            flushes.push_back(t.nsecsElapsed() / 1000);
        });
        flushTimer.start(1000);
    }

    std::vector<qint64> latencies;
    latencies.reserve(std::size_t(units) * std::size_t(seconds));
    const Result fleetResult = pollerRun(poller, seconds, latencies);
    print("fleet poller", fleetResult);
    std::printf("ratio          cpu %.2f  p50 %.2f  p99 %.2f\n",
                fleetResult.cpuShare / std::max(bare.cpuShare, 1e-9),
                fleetResult.p50Us / std::max(bare.p50Us, 1.0), fleetResult.p99Us / std::max(bare.p99Us, 1.0));
    std::printf("rss now %ld kB, peak %ld kB\n", statusKb("VmRSS:"), statusKb("VmHWM:"));
    if (window) {
        beat.stop();
        const qint64 worst = gaps.empty() ? 0 : *std::max_element(gaps.begin(), gaps.end());
        std::vector<qint64> f = flushes;
        std::printf(
            "window: longest event-loop gap %.1f ms (timer 5 ms); model flush p50 %.1f ms, max %.1f ms\n",
            double(worst) / 1000.0, percentile(f, 0.5) / 1000.0,
            f.empty() ? 0.0 : double(*std::max_element(f.begin(), f.end())) / 1000.0);
    }
    sim.terminate();
    sim.waitForFinished(10000);
    std::printf("%s", sim.readAllStandardOutput().constData());
    return 0;
}
