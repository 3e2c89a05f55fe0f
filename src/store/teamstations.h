#pragma once

// The station directory of a team's store, read through the same StationStore a desk uses for its
// file, with the sentences a refusal gives: which role a change to the directory needs, and which
// role commanding a unit needs when this session may not read the units' passwords.

#include "stations/stationstore.h"

#include "storelink/storeconnection.h"

namespace kestavo::store {

stations::StationStore::TeamAccess teamStationAccess(const StoreUrl& url);

/// Opens the directory of the store `store` is connected to (over a connection of the directory's
/// own, made alike).
stations::StationStore::OpenResult openTeamStations(stations::StationStore& stations,
                                                    const StoreConnection& store);

} // namespace kestavo::store
