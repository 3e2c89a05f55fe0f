#pragma once

#include <memory>

#include <QTemporaryDir>

#include "app/application.h"
#include "ksv-sim/simulatedfleet.h"
#include "ksv-sim/simulatedunit.h"

namespace kestavo::app {

/// What demo mode keeps alive for the run: the simulated unit and its throw-away station database.
struct Application::Demo
{
    std::unique_ptr<sim::SimulatedUnit> unit;
    std::unique_ptr<sim::SimulatedFleet> fleet; // --demo-fleet
    QTemporaryDir dir;
    QString databasePath;
};

} // namespace kestavo::app
