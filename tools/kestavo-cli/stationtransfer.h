#pragma once

// `kestavo-cli stations import` and `stations export`: the station directory to and from CSV
// with the columns address,password,description. Export never writes a password.

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace kestavo::stations {
class StationStore;
}

namespace kestavo::cli {

/// Reads the file (UTF-8 CSV, see stations/stationimport.h), checks every row, then writes them all
/// in one transaction. Returns an exit code; problems go
/// to `err`, one line per bad row ("FILE:LINE: reason").
int importStations(const QString& file, stations::StationStore& store, QTextStream& out, QTextStream& err);

/// Writes the header and one row per station to `out`, the password field left empty.
void exportStations(const stations::StationStore& store, QTextStream& out);

} // namespace kestavo::cli
