// ksv-sim: one or more simulated KSV units on loopback, for the console's tests, demos and
// benchmarks. See docs/simulator.md.

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

#include "ksv-sim/simulatedfleet.h"
#include "ksv-sim/simulatedunit.h"
#include "ksv-sim/simulatorcommandline.h"

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void requestStop(int)
{
    g_stopRequested = 1;
}

QString summary(int index, const kestavo::sim::SimulatedUnit& unit)
{
    const auto& m = unit.model().counters();
    const auto& f = unit.faults().counters();
    return QStringLiteral(
               "unit %1 port %2: received %3, accepted %4, wrong password %5, filtered %6, "
               "dropped %7 (bad header %8, too short %9, unknown opcode %10); replies %11, sent %12, "
               "lost %13, duplicated %14, reordered %15, truncated %16, wrong verdicts %17, "
               "silenced %18")
        .arg(index)
        .arg(unit.port())
        .arg(m.received)
        .arg(m.accepted)
        .arg(m.wrongPassword)
        .arg(m.filtered)
        .arg(m.dropped())
        .arg(m.badHeader)
        .arg(m.tooShort)
        .arg(m.unknownOpcode)
        .arg(m.replies)
        .arg(unit.counters().repliesSent)
        .arg(f.lost)
        .arg(f.duplicated)
        .arg(f.reordered)
        .arg(f.truncated)
        .arg(f.wrongVerdicts)
        .arg(f.silenced);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ksv-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTAVO_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);

    const auto options = kestavo::sim::SimulatorCommandLine::parse(QCoreApplication::arguments());
    if (!options.error.isEmpty()) {
        err << "ksv-sim: " << options.error << Qt::endl;
        return 2;
    }
    if (options.showHelp) {
        out << kestavo::sim::SimulatorCommandLine::helpText() << Qt::flush;
        return 0;
    }
    if (options.showVersion) {
        out << "ksv-sim " << QCoreApplication::applicationVersion() << Qt::endl;
        return 0;
    }

    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    QTimer stopPoll;
    stopPoll.start(100);

    if (options.addressPerUnit) {
        kestavo::sim::SimulatedFleet fleet(options.units);
        if (!fleet.start()) {
            err << "ksv-sim: " << fleet.errorString() << Qt::endl;
            return 1;
        }
        const auto& model = fleet.model(0);
        out << "ksv-sim: " << fleet.count() << (fleet.count() == 1 ? " unit" : " units") << " on "
            << fleet.address(0).toString() << " to " << fleet.address(fleet.count() - 1).toString()
            << " port " << fleet.port() << ", password \"" << QString::fromStdString(model.password())
            << "\", firmware " << model.firmware()[0] << '.' << model.firmware()[1] << '.'
            << model.firmware()[2] << Qt::endl;
        QObject::connect(&stopPoll, &QTimer::timeout, &app, [&] {
            if (!g_stopRequested)
                return;
            const auto& c = fleet.counters();
            out << "fleet: received " << c.datagramsReceived << ", replies sent " << c.repliesSent
                << ", refused " << c.refused << ", send errors " << c.sendErrors << Qt::endl;
            QCoreApplication::quit();
        });
        return QCoreApplication::exec();
    }

    std::vector<std::unique_ptr<kestavo::sim::SimulatedUnit>> units;
    for (const auto& config : options.units) {
        auto unit = std::make_unique<kestavo::sim::SimulatedUnit>(config);
        const int index = static_cast<int>(units.size()) + 1;
        if (!unit->start()) {
            err << "ksv-sim: unit " << index << ": " << unit->errorString() << Qt::endl;
            return 1;
        }
        if (options.verbose) {
            QObject::connect(unit.get(), &kestavo::sim::SimulatedUnit::frameHandled, unit.get(),
                             [index, &out](const kestavo::sim::UnitModel::FrameRecord& record, quint16 port) {
                                 out << "unit " << index << ": "
                                     << kestavo::sim::SimulatedUnit::describeFrame(record, port) << Qt::endl;
                             });
        }
        QObject::connect(unit.get(), &kestavo::sim::SimulatedUnit::addressChanged, unit.get(),
                         [index, &out](const QHostAddress& address) {
                             out << "unit " << index << ": moved to " << address.toString() << Qt::endl;
                         });
        units.push_back(std::move(unit));
    }

    const auto& first = *units.front();
    const auto& model = first.model();
    out << "ksv-sim: " << units.size() << (units.size() == 1 ? " unit" : " units") << " on "
        << first.address().toString() << " port " << first.port();
    if (units.size() > 1)
        out << " to " << units.back()->port();
    out << ", password \"" << QString::fromStdString(model.password()) << "\", firmware "
        << model.firmware()[0] << '.' << model.firmware()[1] << '.' << model.firmware()[2];
    if (first.httpPort() != 0)
        out << ", status page http://" << first.address().toString() << ':' << first.httpPort() << '/';
    out << Qt::endl;

    QObject::connect(&stopPoll, &QTimer::timeout, &app, [&] {
        if (!g_stopRequested)
            return;
        for (std::size_t i = 0; i < units.size(); ++i)
            out << summary(static_cast<int>(i) + 1, *units[i]) << Qt::endl;
        QCoreApplication::quit();
    });
    return QCoreApplication::exec();
}
