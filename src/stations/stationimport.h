#pragma once

// The rules a station import file must meet beyond those of adding one station by hand: the file
// is UTF-8 text the unit can store, each address is listed once and names one unit (not 0.0.0.0,
// not the broadcast address), and descriptions hold no control characters (a line feed or an
// escape would break every listing and log line that shows them). Errors name line and column and
// quote at most 80 characters of what they refuse.

#include <QHash>
#include <QString>
#include <QStringList>

namespace kestavo::stations {

/// The largest import file read: far beyond any station list (a few hundred bytes a station).
inline constexpr qint64 kMaxImportBytes = 16 * 1024 * 1024;

struct DecodedText
{
    QString text;
    QString error; // empty: decoded
};

/// UTF-8 (a byte-order mark skipped). Bytes that are no UTF-8 (a file saved as Latin-1) and
/// characters beyond Latin-1 are refused, naming the first one's line and column.
DecodedText decodeImportText(const QByteArray& bytes);

/// Checks one row (address, password, description[, tags]) starting on `line` against the rows before it;
/// `seen` maps each address accepted so far to its line. Empty when the row is fine.
QString importRowProblem(const QStringList& fields, int line, QHash<QString, int>& seen);

} // namespace kestavo::stations
