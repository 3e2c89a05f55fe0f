#pragma once

// A small simulated fleet on loopback addresses of its own for the fleet tests: a random block of
// 127.0.0.0/8, so that tests running at the same time never share an address.

#include <memory>
#include <random>
#include <vector>

#include <QHostAddress>

#include "fleet/fleetstation.h"
#include "ksv-sim/simulatedfleet.h"

namespace kestavo::testsupport {

inline QHostAddress randomLoopbackBlock()
{
    std::random_device seed;
    std::mt19937 random(seed());
    // 127.100.0.1 .. 127.199.249.1, leaving 127.0.0.0/16 to the other tests.
    const quint32 b = 100 + random() % 100;
    const quint32 c = random() % 250;
    return QHostAddress((127u << 24) | (b << 16) | (c << 8) | 1u);
}

struct SimFleetRig
{
    explicit SimFleetRig(int units, const std::string& password = "secret")
    {
        std::vector<sim::SimulatedUnit::Config> configs(static_cast<std::size_t>(units));
        const QHostAddress first = randomLoopbackBlock();
        for (int k = 0; k < units; ++k) {
            auto& config = configs[static_cast<std::size_t>(k)];
            config.bindAddress = first;
            config.port = 0;
            config.unit.password = password;
            config.unit.mac[5] = static_cast<std::uint8_t>(k);
            config.unit.stationName = "Unit " + std::to_string(k + 1);
        }
        fleet = std::make_unique<sim::SimulatedFleet>(configs);
        started = fleet->start();
    }

    fleet::FleetStation station(int k, const QString& password = QStringLiteral("secret****")) const
    {
        return fleet::FleetStation{
            fleet->address(k).toString(), QStringLiteral("Site %1").arg(k + 1), password, {0, 0}};
    }
    QList<fleet::FleetStation> stations() const
    {
        QList<fleet::FleetStation> list;
        for (int k = 0; k < fleet->count(); ++k)
            list << station(k);
        return list;
    }

    std::unique_ptr<sim::SimulatedFleet> fleet;
    bool started = false;
};

} // namespace kestavo::testsupport
