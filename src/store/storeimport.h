#pragma once

// Copies a desk's station directory into a team's store, idempotently: a station is matched by
// its address, so importing the same file twice leaves the store as the first import did, and a
// second desk's file adds its own stations beside the first's.

#include <QSqlDatabase>
#include <QString>

namespace kestavo::stations {
class StationStore;
}

namespace kestavo::store {

struct StationImportCounts
{
    int added = 0;
    int updated = 0;
    int unchanged = 0;
    int duplicates = 0; // later records of an address already imported: the first one wins, as on the desk
    int tags = 0;       // tags the imported stations carry in the store afterwards
    int sites = 0;      // imported stations with a location, position or zone
};

struct StationImport
{
    bool ok = false;
    bool denied = false; // the session's login may not edit stations
    QString error;       // one sentence
    StationImportCounts counts;
};

/// Adds or updates every station of `desk` (its record, tags and site) in one transaction.
StationImport importStations(QSqlDatabase store, const stations::StationStore& desk);

} // namespace kestavo::store
