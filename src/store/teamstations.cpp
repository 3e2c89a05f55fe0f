#include "store/teamstations.h"

#include <QCoreApplication>

#include "store/teamschema.h"

namespace kestavo::store {

stations::StationStore::TeamAccess teamStationAccess(const StoreUrl& url)
{
    stations::StationStore::TeamAccess access;
    access.label = url.toString();
    access.editRefusal =
        refusal(QCoreApplication::translate("kestavo::store::TeamStations", "Changing the station directory"),
                Role::Admin);
    access.commandRefusal = refusal(
        QCoreApplication::translate("kestavo::store::TeamStations", "Commanding a unit"), Role::Operator);
    return access;
}

stations::StationStore::OpenResult openTeamStations(stations::StationStore& stations,
                                                    const StoreConnection& store)
{
    return stations.openTeam(store.db(), teamStationAccess(store.url()));
}

} // namespace kestavo::store
