#include "app/demo.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include "stations/stationstore.h"

#include "session/consolestate.h"
#include "session/session.h"

#include "app/fleetwiring.h"
#include "ksv-sim/simulatedfleet.h"
#include "ksv-sim/simulatedunit.h"

namespace kestavo::app {

// The newcomer's first minute: a lively simulated unit in this process on loopback, and a station
// database of its own (never the user's ksv.dat) whose default station is that unit.
bool Application::startDemo()
{
    auto demo = std::make_unique<Demo>();
    sim::SimulatedUnit::Config config;
    config.port = 0;
    config.httpPort = 0;
    config.unit.password = "demo";
    config.unit.stationName = "Demo pump station";
    config.unit.boards = {true, false, false, true, false, false};
    config.unit.drift = true;
    config.unit.waveforms = true;
    config.unit.flipPins = true;
    config.unit.sampleScripts = true;
    config.unit.uptimeSeconds = 3 * 86400 + 5 * 3600 + 17 * 60;
    demo->unit = std::make_unique<sim::SimulatedUnit>(config);
    if (!demo->unit->start()) {
        qWarning("Demo: the simulated unit could not start: %s", qPrintable(demo->unit->errorString()));
        return false;
    }
    if (!demo->dir.isValid()) {
        qWarning("Demo: no temporary folder for the demo station database");
        return false;
    }
    demo->databasePath = demo->dir.filePath(QStringLiteral("ksv-demo.dat"));
    {
        stations::StationStore seed;
        if (!seed.open(demo->databasePath).ok ||
            !seed.add(QStringLiteral("127.0.0.1"), QStringLiteral("demo"),
                      QCoreApplication::translate("kestavo::app::Application", "Demo unit (simulated)")))
            return false;
        // Show what the per-station display settings can do: titles, and two inputs as gauges.
        seed.findAddress(QStringLiteral("127.0.0.1"));
        const QVariantMap look{
            {QStringLiteral("Label1voltage"),
             QCoreApplication::translate("kestavo::app::Application", "Battery bank  (0 - 30 - 60)")},
            {QStringLiteral("Label2voltage"),
             QCoreApplication::translate("kestavo::app::Application", "Solar input  (0 - 30 - 60)")},
            {QStringLiteral("Label3voltage"),
             QCoreApplication::translate("kestavo::app::Application", "Pump supply  (0 - 30)")},
            {QStringLiteral("Label4voltage"),
             QCoreApplication::translate("kestavo::app::Application", "Heater supply  (0 - 30)")},
            {QStringLiteral("Label5voltage"),
             QCoreApplication::translate("kestavo::app::Application", "Radio  (0 - 30)")},
            {QStringLiteral("Label6voltage"),
             QCoreApplication::translate("kestavo::app::Application", "Tank level  (0 - 5)")},
            {QStringLiteral("Label7voltage"),
             QCoreApplication::translate("kestavo::app::Application", "Flow sensor  (0 - 5)")},
            {QStringLiteral("Label8voltage"),
             QCoreApplication::translate("kestavo::app::Application", "Pressure  (0 - 5)")},
            {QStringLiteral("Voltage1View"), 1},
            {QStringLiteral("Voltage6View"), 1}};
        if (!seed.writeCurrent(look))
            qWarning("Demo: %s", qPrintable(seed.lastError()));
        if (m_options.demoFleet > 0 && !startDemoFleet(*demo, seed))
            return false;
    }
    m_session->setUnitPort(demo->unit->port());
    if (demo->unit->httpPort() > 0)
        m_state->setStatusPageUrl(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(demo->unit->httpPort())));
    qInfo("Demo: simulated unit on 127.0.0.1 port %u", unsigned(demo->unit->port()));
    m_demo = std::move(demo);
    return true;
}

// A small fleet for the Fleet window: units on 127.0.2.1 and up sharing one port, a few stations
// listed with a password their unit refuses, two addresses nothing answers and one typing error.
bool Application::startDemoFleet(Demo& demo, stations::StationStore& seed)
{
    const std::array<const char*, 10> sites{"Pump station", "Reservoir", "Booster", "Well",      "Tank farm",
                                            "Valve house",  "Weir",      "Intake",  "Treatment", "Outfall"};
    std::vector<sim::SimulatedUnit::Config> configs;
    for (int k = 0; k < m_options.demoFleet; ++k) {
        sim::SimulatedUnit::Config config;
        config.bindAddress = QHostAddress(QStringLiteral("127.0.2.1"));
        config.port = 0;
        config.unit.password = "demo";
        config.unit.seed = static_cast<std::uint32_t>(k + 1);
        config.unit.drift = true;
        config.unit.waveforms = true;
        config.unit.flipPins = true;
        config.unit.mac[4] = static_cast<std::uint8_t>(k >> 8);
        config.unit.mac[5] = static_cast<std::uint8_t>(k);
        config.unit.temperatureHalves = 30 + (k * 7) % 30;
        config.unit.uptimeSeconds = static_cast<std::uint32_t>(3600 * (k * 13 % 400));
        configs.push_back(config);
    }
    demo.fleet = std::make_unique<sim::SimulatedFleet>(configs);
    if (!demo.fleet->start()) {
        qWarning("Demo: the simulated fleet could not start: %s", qPrintable(demo.fleet->errorString()));
        return false;
    }
    QList<stations::StationStore::ImportRow> rows;
    for (int k = 0; k < demo.fleet->count(); ++k) {
        const QString name = QStringLiteral("%1 %2")
                                 .arg(QLatin1String(sites[static_cast<std::size_t>(k) % sites.size()]))
                                 .arg(k / static_cast<int>(sites.size()) + 1);
        rows.append({demo.fleet->address(k).toString(),
                     k % 17 == 5 ? QStringLiteral("old") : QStringLiteral("demo"), name});
    }
    rows.append({QStringLiteral("127.0.3.1"), QStringLiteral("demo"), QStringLiteral("Silent hill")});
    rows.append({QStringLiteral("127.0.3.2"), QStringLiteral("demo"), QStringLiteral("Dead creek")});
    rows.append({QStringLiteral("127.0.0"), QStringLiteral("demo"), QStringLiteral("Typing error")});
    if (!seed.importStations(rows)) {
        qWarning("Demo: %s", qPrintable(seed.lastError()));
        return false;
    }
    m_fleet->setUnitPort(demo.fleet->port());
    qInfo("Demo: %d simulated units on 127.0.2.1 and up, port %u", demo.fleet->count(),
          unsigned(demo.fleet->port()));
    return true;
}

} // namespace kestavo::app
