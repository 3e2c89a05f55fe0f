#include "stationtransfer.h"

#include <QHash>
#include <QSet>

#include "stations/stationformat.h"
#include "stations/stationimport.h"
#include "stations/stationstore.h"

#include "cli.h"
#include "commandline.h"
#include "reportformat.h"
#include "text/boundedfile.h"
#include "text/csv.h"
#include "text/printable.h"
#include "valueparsers.h"

namespace kestavo::cli {

namespace {

// A fourth column, tags, is optional on import: files written before it had three.
const QStringList kHeader = {QStringLiteral("address"), QStringLiteral("password"),
                             QStringLiteral("description"), QStringLiteral("tags")};

bool isHeader(const QStringList& fields)
{
    if (fields.size() != 3 && fields.size() != 4)
        return false;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields.at(i).trimmed().compare(kHeader.at(i), Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

// The rules of `stations add`, except that a station already listed may keep its password.
QString rowProblem(const QStringList& fields, const QSet<QString>& listed)
{
    if (fields.size() != 3 && fields.size() != 4)
        return QStringLiteral("expected 3 or 4 fields (address,password,description[,tags]), found %1")
            .arg(fields.size());
    const QString address = stations::trimSpaces(fields.at(0));
    if (address.isEmpty())
        return QStringLiteral("address: Add an IP!");
    if (address.size() > kMaxAddressText)
        return QStringLiteral("address '%1' is longer than %2 characters")
            .arg(text::quoteField(text::printable(address)))
            .arg(kMaxAddressText);
    if (const Parsed<std::array<int, 4>> octets = parseIpv4(address); !octets)
        return QStringLiteral("address '%1' %2").arg(text::printable(address), octets.error);
    const QString& password = fields.at(1);
    if (password.isEmpty()) {
        if (!listed.contains(address))
            return QStringLiteral(
                "password: Add a Password! (only a station already listed may keep its own)");
    } else if (const QString problem = passwordProblem(password, QStringLiteral("password"), false);
               !problem.isEmpty()) {
        return problem;
    }
    const QString& description = fields.at(2);
    if (description.isEmpty())
        return QStringLiteral("description: Enter a Description!");
    if (description.size() > kMaxStationDescription)
        return QStringLiteral("description is longer than %1 characters").arg(kMaxStationDescription);
    return QString();
}

} // namespace

int importStations(const QString& file, stations::StationStore& store, QTextStream& out, QTextStream& err)
{
    const text::BoundedRead input = text::readBoundedFile(file, stations::kMaxImportBytes);
    const stations::DecodedText decoded =
        input.ok ? stations::decodeImportText(input.bytes) : stations::DecodedText{{}, input.error};
    if (!decoded.error.isEmpty()) {
        err << "kestavo-cli: stations import: " << (input.ok ? file + QStringLiteral(": ") : QString())
            << decoded.error << "; nothing was written.\n";
        err.flush();
        return ExitUsage;
    }
    const auto parsed = text::parseCsv(decoded.text);
    if (const auto* error = std::get_if<QString>(&parsed)) {
        err << "kestavo-cli: stations import: " << file << ": " << *error << "; nothing was written.\n";
        err.flush();
        return ExitUsage;
    }
    QList<text::CsvRow> rows = std::get<QList<text::CsvRow>>(parsed);
    if (!rows.isEmpty() && isHeader(rows.first().fields))
        rows.removeFirst();

    QList<stations::StationStore::ImportRow> accepted;
    int bad = 0;
    QHash<QString, int> seen;
    QSet<QString> listed;
    listed.reserve(store.count());
    for (int i = 0; i < store.count(); ++i)
        listed.insert(stations::addressOf(store.entryAt(i)));
    for (const text::CsvRow& row : std::as_const(rows)) {
        QString problem = rowProblem(row.fields, listed);
        if (problem.isEmpty())
            problem = stations::importRowProblem(row.fields, row.line, seen);
        if (!problem.isEmpty()) {
            err << "kestavo-cli: stations import: " << file << ':' << row.line << ": " << problem << '\n';
            ++bad;
            continue;
        }
        stations::StationStore::ImportRow accepting{stations::trimSpaces(row.fields.at(0)), row.fields.at(1),
                                                    row.fields.at(2), std::nullopt};
        if (row.fields.size() == 4)
            accepting.tags = stations::splitTags(row.fields.at(3));
        accepted << accepting;
    }
    if (bad > 0) {
        err << "kestavo-cli: stations import: " << bad << (bad == 1 ? " bad row" : " bad rows")
            << "; nothing was written.\n";
        err.flush();
        return ExitUsage;
    }
    if (!store.importStations(accepted)) {
        err << "kestavo-cli: stations import: " << store.lastError() << '\n';
        err.flush();
        return ExitDatabase;
    }
    out << "Imported " << accepted.size() << (accepted.size() == 1 ? " station" : " stations") << " into "
        << store.path() << ".\n";
    out.flush();
    return ExitDone;
}

void exportStations(const stations::StationStore& store, QTextStream& out)
{
    out << csvRecord(kHeader);
    for (int i = 0; i < store.count(); ++i) {
        const QString entry = store.entryAt(i);
        const QString address = stations::addressOf(entry);
        out << csvRecord(
            {address, QString(), stations::descriptionOf(entry), stations::joinTags(store.tagsOf(address))});
    }
    out.flush();
}

} // namespace kestavo::cli
