#pragma once

// CSV as every export writes it and the station import reads it: RFC 4180 (fields separated by
// commas, quoted when they hold a comma, quote, CR or LF, quotes doubled inside).
//
// Spreadsheets take a cell that starts with =, +, -, @, tab or CR for a formula, so a text such
// as a station description "=cmd|' /C calc'!A0" would run when the file is opened. The writer
// puts an apostrophe before such a cell (which spreadsheets hide and take as "this is text"), and
// the reader removes it again. Numbers are written as they are — "-3.5" is a number in a
// spreadsheet too, never a formula — so numeric columns (negative voltages and temperatures) are
// unchanged; only text cells are guarded. A text that already starts with apostrophes before one
// of those characters gets one more, so every text survives the round trip exactly.

#include <variant>

#include <QList>
#include <QString>
#include <QStringList>

namespace kestavo::text {

/// One record, without the line end; the writer adds "\r\n" (or "\n" where it always has).
QString csvRecord(const QStringList& fields);

/// The cell as written (with the apostrophe when it needs one), before quoting.
QString guardCell(const QString& cell);
/// The reverse of guardCell.
QString unguardCell(const QString& cell);

struct CsvRow
{
    int line = 0; // 1-based line the record starts on
    QStringList fields;
};

/// Records ended by LF or CR LF, blank lines skipped, each field unguarded. An unterminated
/// quote is an error naming its line.
std::variant<QList<CsvRow>, QString> parseCsv(const QString& text);

/// At most 80 characters of a field for an error message, and "…" when there was more.
QString quoteField(const QString& field);

} // namespace kestavo::text
