#include "stationtransfer.h"

#include <QFile>

#include "stations/stationformat.h"
#include "stations/stationstore.h"

#include "cli.h"
#include "commandline.h"
#include "reportformat.h"
#include "valueparsers.h"

namespace kestavo::cli {

namespace {

const QStringList kHeader = {QStringLiteral("address"), QStringLiteral("password"),
                             QStringLiteral("description")};

bool isHeader(const QStringList& fields)
{
    if (fields.size() != kHeader.size())
        return false;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields.at(i).trimmed().compare(kHeader.at(i), Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

// The rules of `stations add`, except that a station already listed may keep its password.
QString rowProblem(const QStringList& fields, const stations::StationStore& store)
{
    if (fields.size() != 3)
        return QStringLiteral("expected 3 fields (address,password,description), found %1")
            .arg(fields.size());
    const QString address = stations::trimSpaces(fields.at(0));
    if (address.isEmpty())
        return QStringLiteral("address: Add an IP!");
    if (address.size() > kMaxAddressText)
        return QStringLiteral("address '%1' is longer than %2 characters").arg(address).arg(kMaxAddressText);
    if (const Parsed<std::array<int, 4>> octets = parseIpv4(address); !octets)
        return QStringLiteral("address '%1' %2").arg(address, octets.error);
    const QString& password = fields.at(1);
    if (password.isEmpty()) {
        bool listed = false;
        for (int i = 0; i < store.count() && !listed; ++i)
            listed = stations::addressOf(store.entryAt(i)) == address;
        if (!listed)
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

std::variant<QList<CsvRow>, QString> parseCsv(const QString& text)
{
    QList<CsvRow> rows;
    CsvRow row;
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    int line = 1;
    row.line = 1;
    const auto endRecord = [&] {
        if (fieldStarted || !row.fields.isEmpty()) {
            row.fields << field;
            rows << row;
        }
        row = CsvRow{line, {}};
        field.clear();
        fieldStarted = false;
    };
    int quoteLine = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text.at(i + 1) == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == u'\n')
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == u'"' && field.isEmpty()) {
            quoted = true;
            fieldStarted = true;
            quoteLine = line;
        } else if (c == u',') {
            row.fields << field;
            field.clear();
            fieldStarted = true;
        } else if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            continue;
        } else if (c == u'\n') {
            ++line;
            endRecord();
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (quoted)
        return QStringLiteral("line %1: a quoted field is never closed").arg(quoteLine);
    endRecord();
    return rows;
}

int importStations(const QString& file, stations::StationStore& store, QTextStream& out, QTextStream& err)
{
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly)) {
        err << "kestavo-cli: stations import: cannot read \"" << file << "\": " << input.errorString()
            << "; nothing was written.\n";
        err.flush();
        return ExitUsage;
    }
    const auto parsed = parseCsv(QString::fromUtf8(input.readAll()));
    if (const auto* error = std::get_if<QString>(&parsed)) {
        err << "kestavo-cli: stations import: " << file << ": " << *error << "; nothing was written.\n";
        err.flush();
        return ExitUsage;
    }
    QList<CsvRow> rows = std::get<QList<CsvRow>>(parsed);
    if (!rows.isEmpty() && isHeader(rows.first().fields))
        rows.removeFirst();

    QList<stations::StationStore::ImportRow> accepted;
    int bad = 0;
    for (const CsvRow& row : std::as_const(rows)) {
        if (const QString problem = rowProblem(row.fields, store); !problem.isEmpty()) {
            err << "kestavo-cli: stations import: " << file << ':' << row.line << ": " << problem << '\n';
            ++bad;
            continue;
        }
        accepted << stations::StationStore::ImportRow{stations::trimSpaces(row.fields.at(0)),
                                                      row.fields.at(1), row.fields.at(2)};
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
        out << csvRecord({stations::addressOf(entry), QString(), stations::descriptionOf(entry)});
    }
    out.flush();
}

} // namespace kestavo::cli
