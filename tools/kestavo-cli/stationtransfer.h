#pragma once

// `kestavo-cli stations import` and `stations export`: the station directory to and from CSV
// with the columns address,password,description. Export never writes a password.

#include <variant>

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace kestavo::stations {
class StationStore;
}

namespace kestavo::cli {

struct CsvRow
{
    int line = 0; // 1-based line the record starts on
    QStringList fields;
};

/// RFC 4180 records: fields separated by commas, optionally quoted (quotes doubled inside),
/// records ended by LF or CR LF. Blank lines are skipped. An unterminated quote is an error
/// naming its line.
std::variant<QList<CsvRow>, QString> parseCsv(const QString& text);

/// Checks every row, then writes them all in one transaction. Returns an exit code; problems go
/// to `err`, one line per bad row ("FILE:LINE: reason").
int importStations(const QString& file, stations::StationStore& store, QTextStream& out, QTextStream& err);

/// Writes the header and one row per station to `out`, the password field left empty.
void exportStations(const stations::StationStore& store, QTextStream& out);

} // namespace kestavo::cli
