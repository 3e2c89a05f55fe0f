#include "fleet/fleetstation.h"

#include "stations/stationformat.h"
#include "stations/stationstore.h"

namespace kestavo::fleet {

QList<FleetStation> stationsFromStore(const stations::StationStore& store)
{
    QList<FleetStation> list;
    list.reserve(store.count());
    for (int position = 0; position < store.count(); ++position) {
        const QString entry = store.entryAt(position);
        FleetStation station;
        station.address = stations::addressOf(entry);
        station.description = stations::descriptionOf(entry);
        station.password = store.valueAt(position, QStringLiteral("password")).toString();
        station.rangeFlags = {store.valueAt(position, QStringLiteral("JP6")).toInt(),
                              store.valueAt(position, QStringLiteral("JP7")).toInt()};
        for (int c = 0; c < 8; ++c)
            station.captions[static_cast<std::size_t>(c)] =
                store.valueAt(position, QStringLiteral("Label%1voltage").arg(c + 1)).toString();
        station.tags = store.tagsOf(station.address);
        list.append(station);
    }
    return list;
}

} // namespace kestavo::fleet
