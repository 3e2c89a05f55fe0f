#include "store/storeimport.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include "stations/stationformat.h"
#include "stations/stationstore.h"

#include "history/historyconnection.h"
#include "store/teamschema.h"

namespace kestavo::store {

namespace {

using stations::StationStore;

QString quoted(const QString& identifier)
{
    QString escaped = identifier;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

// The value as the store keeps it: flags as 0 or 1, everything else as text (never NULL).
QVariant storedValue(const QString& column, const QVariant& value)
{
    if (StationStore::isFlagColumn(column))
        return QVariant(value.toInt() != 0 ? 1 : 0);
    return history::textValue(value.toString());
}

QVariant optionalDouble(const std::optional<double>& value)
{
    return value ? QVariant(*value) : QVariant(QMetaType(QMetaType::Double));
}

} // namespace

StationImport importStations(QSqlDatabase store, const StationStore& desk)
{
    StationImport result;
    const QStringList columns = StationStore::columns();
    QStringList quotedColumns;
    for (const QString& column : columns)
        quotedColumns << quoted(column);

    QSqlQuery query(store);
    const auto failed = [&](const QSqlQuery& q) {
        result.denied = isPermissionDenied(q.lastError());
        result.error =
            result.denied
                ? refusal(QCoreApplication::translate("kestavo::store::StoreImport", "Importing stations"),
                          Role::Admin)
                : q.lastError().text().trimmed();
        store.rollback();
        return result;
    };
    if (!store.transaction()) {
        result.error = store.lastError().text();
        return result;
    }
    // Reading every column (the password too) needs the operator role; writing, the admin role.
    if (!query.exec(QStringLiteral("SELECT \"_seq\", %1 FROM ipnumbers ORDER BY \"_seq\" FOR UPDATE")
                        .arg(quotedColumns.join(QStringLiteral(", ")))))
        return failed(query);
    QHash<QString, std::pair<qint64, QVariantList>> existing; // address -> first record with it
    while (query.next()) {
        const QString address = stations::addressOf(query.value(1).toString());
        if (existing.contains(address))
            continue;
        QVariantList values;
        for (qsizetype i = 0; i < columns.size(); ++i)
            values << storedValue(columns[i], query.value(int(i) + 1));
        existing.insert(address, {query.value(0).toLongLong(), values});
    }

    QStringList placeholders;
    QStringList assignments;
    for (const QString& column : quotedColumns) {
        placeholders << QStringLiteral("?");
        assignments << column + QStringLiteral(" = ?");
    }
    const QString insert =
        QStringLiteral("INSERT INTO ipnumbers (%1) VALUES (%2)")
            .arg(quotedColumns.join(QStringLiteral(", ")), placeholders.join(QStringLiteral(", ")));
    const QString update = QStringLiteral("UPDATE ipnumbers SET %1 WHERE \"_seq\" = ?")
                               .arg(assignments.join(QStringLiteral(", ")));
    QSet<QString> imported;
    QStringList addresses;
    for (int position = 0; position < desk.count(); ++position) {
        const QString address = stations::addressOf(desk.valueAt(position, QStringLiteral("ips")).toString());
        if (imported.contains(address)) {
            ++result.counts.duplicates;
            continue;
        }
        imported.insert(address);
        addresses << address;
        QVariantList values;
        for (const QString& column : columns)
            values << storedValue(column, desk.valueAt(position, column));
        const auto found = existing.constFind(address);
        if (found != existing.cend() && found->second == values) {
            ++result.counts.unchanged;
            continue;
        }
        QSqlQuery write(store);
        write.prepare(found == existing.cend() ? insert : update);
        for (const QVariant& value : values)
            write.addBindValue(value);
        if (found != existing.cend())
            write.addBindValue(found->first);
        if (!write.exec())
            return failed(write);
        ++(found == existing.cend() ? result.counts.added : result.counts.updated);
    }

    // Tags and sites become exactly the desk's for every station it holds.
    for (const QString& address : std::as_const(addresses)) {
        QSqlQuery write(store);
        write.prepare(QStringLiteral("DELETE FROM station_tags WHERE address = ?"));
        write.addBindValue(address);
        if (!write.exec())
            return failed(write);
        for (const QString& tag : desk.tagsOf(address)) {
            write.prepare(QStringLiteral("INSERT INTO station_tags (address, tag) VALUES (?, ?)"));
            write.addBindValue(address);
            write.addBindValue(tag);
            if (!write.exec())
                return failed(write);
            ++result.counts.tags;
        }
        const stations::StationSite site = desk.siteOf(address);
        if (site.isEmpty()) {
            write.prepare(QStringLiteral("DELETE FROM station_sites WHERE address = ?"));
            write.addBindValue(address);
        } else {
            write.prepare(QStringLiteral("INSERT INTO station_sites (address, location, latitude, longitude, "
                                         "zone) VALUES (?, ?, ?, ?, ?) "
                                         "ON CONFLICT (address) DO UPDATE SET location = EXCLUDED.location, "
                                         "latitude = EXCLUDED.latitude, "
                                         "longitude = EXCLUDED.longitude, zone = EXCLUDED.zone"));
            for (const QVariant& value :
                 {QVariant(address), history::textValue(site.location), optionalDouble(site.latitude),
                  optionalDouble(site.longitude), history::textValue(site.zone)})
                write.addBindValue(value);
            ++result.counts.sites;
        }
        if (!write.exec())
            return failed(write);
    }
    if (!store.commit()) {
        result.error = store.lastError().text();
        store.rollback();
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace kestavo::store
