// Fuzz entry point for the station import: any bytes as the file. Decoding, the CSV reader and the
// row rules never crash or read past the end; every error quotes at most 80 characters of a field
// and shows no control character; and whatever rows the reader gives back, the writer writes
// them so that the reader gives exactly them back (the formula guard included).

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QByteArray>

#include "stations/stationimport.h"

#include "text/csv.h"
#include "text/printable.h"

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kestavo;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const stations::DecodedText decoded = stations::decodeImportText(bytes);
    if (!decoded.error.isEmpty())
        return 0;
    const auto parsed = text::parseCsv(decoded.text);
    if (!std::holds_alternative<QList<text::CsvRow>>(parsed))
        return 0;
    QHash<QString, int> seen;
    for (const text::CsvRow& row : std::get<QList<text::CsvRow>>(parsed)) {
        const QString problem = stations::importRowProblem(row.fields, row.line, seen);
        require(!text::hasControl(problem));
        require(problem.size() < 200);
        const auto again = text::parseCsv(text::csvRecord(row.fields) + QStringLiteral("\r\n"));
        require(std::holds_alternative<QList<text::CsvRow>>(again));
        const auto& rows = std::get<QList<text::CsvRow>>(again);
        // A record of one empty field is a blank line, which the reader skips.
        if (row.fields.size() == 1 && row.fields.first().isEmpty())
            require(rows.isEmpty());
        else
            require(rows.size() == 1 && rows.first().fields == row.fields);
    }
    return 0;
}
