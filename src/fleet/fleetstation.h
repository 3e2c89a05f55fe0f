#pragma once

// What the fleet needs to know of one station of the directory.

#include <array>

#include <QList>
#include <QString>
#include <QStringList>

namespace kestavo::stations {
class StationStore;
}

namespace kestavo::fleet {

struct FleetStation
{
    QString address;     // as stored; checked by the poller, which refuses what is no IPv4 address
    QString description; // as stored
    QString password;    // the stored, '*'-padded form that goes on the wire
    std::array<int, 2> rangeFlags{};   // full-scale jumpers of voltage inputs 1 and 2 (JP6, JP7)
    std::array<QString, 8> captions{}; // the voltage inputs' titles as the station record keeps them
    QStringList tags{};                // as stored beside the station table, for grouping and choosing
};

/// Every station of the directory, in directory order.
QList<FleetStation> stationsFromStore(const stations::StationStore& store);

} // namespace kestavo::fleet
