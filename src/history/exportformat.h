#pragma once

// The columns of an export, shared by the Trends window's "Export CSV…" and `kestavo-cli history`:
// time, v1…v8, temperature_c, relay1…relay3, io1…io5, then for roll-ups a min and a max column
// per channel and the temperature, and the number of samples in the bucket.

#include <QString>
#include <QStringList>

#include "history/historytypes.h"
#include "history/timetext.h"

namespace kestavo::history {

/// Column names. With `captions` (the station's eight channel captions) the channel and temperature
/// columns are named for people ("Battery (V)", "Temperature (°C)"); empty captions keep "v1"….
QStringList exportHeader(Step step, const QStringList& captions = {});
/// The row's values in the same order; an unknown value is an empty text. Volts in the main
/// window's shortest decimal form, times in ISO 8601 UTC with milliseconds.
QStringList exportValues(const Row& row, Step step);

/// One RFC 4180 record (no line end): fields with a comma, quote or line break are quoted and
/// their quotes doubled.
QString csvRecord(const QStringList& fields);
/// One JSON object with the header's names as keys: numbers as numbers, unknown values as null.
QString jsonRecord(const QStringList& header, const QStringList& values);

} // namespace kestavo::history
