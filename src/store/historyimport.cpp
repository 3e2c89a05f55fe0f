#include "store/historyimport.h"

#include <algorithm>
#include <array>
#include <limits>
#include <set>
#include <tuple>
#include <vector>

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

#include "history/historyconnection.h"
#include "history/historydb.h"
#include "store/teamschema.h"

namespace kestavo::store {

namespace {

QString qs(const char* text)
{
    return QString::fromLatin1(text);
}

struct Copier
{
    QSqlDatabase store;
    QSqlError error;

    // The id of the row of `table` whose `columns` hold `values` (NULLs match NULLs), or 0.
    qint64 find(const QString& table, const QStringList& columns, const QVariantList& values)
    {
        QStringList conditions;
        for (const QString& column : columns)
            conditions << qs("%1 IS NOT DISTINCT FROM ?").arg(column);
        return firstId(qs("SELECT id FROM %1 WHERE %2 LIMIT 1").arg(table, conditions.join(qs(" AND "))),
                       values);
    }

    // Inserts; the new row's id, 0 when `conflict` made the store skip it, -1 on error.
    qint64 insert(const QString& table, const QStringList& columns, const QVariantList& values,
                  const QString& conflict = QString())
    {
        QStringList marks;
        for (qsizetype i = 0; i < columns.size(); ++i)
            marks << qs("?");
        return firstId(qs("INSERT INTO %1 (%2) VALUES (%3) %4 RETURNING id")
                           .arg(table, columns.join(qs(", ")), marks.join(qs(", ")), conflict),
                       values);
    }

    // The id in the first row `sql` gives with `values` bound, 0 when it gives none, -1 on error.
    qint64 firstId(const QString& sql, const QVariantList& values)
    {
        QSqlQuery query(store);
        query.prepare(sql);
        for (const QVariant& value : values)
            query.addBindValue(value);
        if (!query.exec()) {
            error = query.lastError();
            return -1;
        }
        return query.next() ? query.value(0).toLongLong() : 0;
    }

    // find, else insert; counts which. -1 on error.
    qint64 copy(const QString& table, const QStringList& columns, const QVariantList& values,
                CopyCount* count)
    {
        qint64 id = find(table, columns, values);
        if (id > 0) {
            ++count->present;
        } else if (id == 0) {
            id = insert(table, columns, values);
            if (id > 0)
                ++count->added;
        }
        return id;
    }
};

// Time spans [t0, t1] of one unit's blocks of one level, asked whether any meets a span.
class Spans
{
public:
    void add(qint64 t0, qint64 t1) { m_spans.push_back({t0, t1}); }
    void sort()
    {
        std::sort(m_spans.begin(), m_spans.end());
        m_reach.clear();
        for (const auto& [t0, t1] : m_spans)
            m_reach.push_back(m_reach.empty() ? t1 : std::max(m_reach.back(), t1));
    }
    bool overlaps(qint64 t0, qint64 t1) const
    {
        // Of the spans starting at or before t1, the furthest reaching one decides.
        const auto end = std::upper_bound(m_spans.begin(), m_spans.end(),
                                          std::pair{t1, std::numeric_limits<qint64>::max()});
        const auto count = end - m_spans.begin();
        return count > 0 && m_reach[std::size_t(count - 1)] >= t0;
    }

private:
    std::vector<std::pair<qint64, qint64>> m_spans;
    std::vector<qint64> m_reach; // the furthest t1 of the spans up to each one
};

// The readings, unit by unit: what the store has of a unit is read once, then only what it lacks is
// inserted, in multi-row statements. Where the store has readings of a unit for a stretch of time
// already (an agent's, or an earlier import's, packed since or not), the desk's of that stretch
// are left out, so no moment is counted twice; the store's roll-up marks are kept too.
bool copyReadings(QSqlDatabase desk, QSqlDatabase store, HistoryImportCounts* counts, QSqlError* error)
{
    QSqlQuery read(desk);
    QSqlQuery write(store);
    const auto failed = [&](const QSqlQuery& query) {
        *error = query.lastError();
        return false;
    };
    read.setForwardOnly(true);
    if (!read.exec(qs("SELECT id, address, mac FROM units ORDER BY id")))
        return failed(read);
    QList<std::pair<qint64, qint64>> units; // desk id, store id
    while (read.next()) {
        const QString address = read.value(1).toString();
        const QString mac = read.value(2).toString();
        write.prepare(
            qs("INSERT INTO units (address, mac) VALUES (?, ?) ON CONFLICT DO NOTHING RETURNING id"));
        write.addBindValue(history::textValue(address));
        write.addBindValue(history::textValue(mac));
        if (!write.exec())
            return failed(write);
        if (write.next()) {
            ++counts->units.added;
            units.append({read.value(0).toLongLong(), write.value(0).toLongLong()});
            continue;
        }
        write.prepare(qs("SELECT id FROM units WHERE address = ? AND mac = ?"));
        write.addBindValue(history::textValue(address));
        write.addBindValue(history::textValue(mac));
        if (!write.exec() || !write.next())
            return failed(write);
        ++counts->units.present;
        units.append({read.value(0).toLongLong(), write.value(0).toLongLong()});
    }

    for (const auto& [deskUnit, storeUnit] : std::as_const(units)) {
        // What the store holds of this unit already: its blocks' spans per level, its samples.
        std::array<Spans, 3> stored;
        write.prepare(qs("SELECT level, t0, t1 FROM blocks WHERE unit = ?"));
        write.addBindValue(storeUnit);
        if (!write.exec())
            return failed(write);
        while (write.next()) {
            const qint64 level = write.value(0).toLongLong();
            if (level >= 0 && level < qint64(stored.size()))
                stored[std::size_t(level)].add(write.value(1).toLongLong(), write.value(2).toLongLong());
        }
        std::vector<qint64> storedSamples;
        write.prepare(qs("SELECT t FROM recent WHERE unit = ? ORDER BY t"));
        write.addBindValue(storeUnit);
        if (!write.exec())
            return failed(write);
        while (write.next())
            storedSamples.push_back(write.value(0).toLongLong());
        for (Spans& spans : stored)
            spans.sort();
        const auto sampleWithin = [&storedSamples](qint64 t0, qint64 t1) {
            const auto it = std::lower_bound(storedSamples.begin(), storedSamples.end(), t0);
            return it != storedSamples.end() && *it <= t1;
        };

        QVariantList values;
        const auto flushRows = [&](const QString& head, int columns, qsizetype atLeast) {
            if (values.size() < atLeast * columns)
                return true;
            const bool ok = history::db::insertRows(write, head, columns, values);
            values.clear();
            return ok;
        };

        read.prepare(qs("SELECT level, t0, t1, n, data FROM blocks WHERE unit = ? ORDER BY level, t0, id"));
        read.addBindValue(deskUnit);
        if (!read.exec())
            return failed(read);
        const QString blockHead = qs("INSERT INTO blocks (unit, level, t0, t1, n, data)");
        while (read.next()) {
            const qint64 level = read.value(0).toLongLong();
            const qint64 t0 = read.value(1).toLongLong();
            const qint64 t1 = read.value(2).toLongLong();
            const bool known =
                level >= 0 && level < qint64(stored.size()) &&
                (stored[std::size_t(level)].overlaps(t0, t1) || (level == 0 && sampleWithin(t0, t1)));
            if (known) {
                ++counts->blocks.present;
                continue;
            }
            ++counts->blocks.added;
            values << storeUnit << level << t0 << t1 << read.value(3).toLongLong()
                   << read.value(4).toByteArray();
            // A block holds up to a day of samples: a few at a time keep the statement small.
            if (!flushRows(blockHead, 6, 50))
                return failed(write);
        }
        if (!flushRows(blockHead, 6, 1))
            return failed(write);

        read.prepare(qs("SELECT t, rec FROM recent WHERE unit = ? ORDER BY t, id"));
        read.addBindValue(deskUnit);
        if (!read.exec())
            return failed(read);
        const QString recentHead = qs("INSERT INTO recent (unit, t, rec)");
        while (read.next()) {
            const qint64 t = read.value(0).toLongLong();
            if (sampleWithin(t, t) || stored[0].overlaps(t, t)) {
                ++counts->samples.present;
                continue;
            }
            ++counts->samples.added;
            values << storeUnit << t << read.value(1).toByteArray();
            if (!flushRows(recentHead, 3, 1000))
                return failed(write);
        }
        if (!flushRows(recentHead, 3, 1))
            return failed(write);

        read.prepare(qs("SELECT level, until_ms FROM rollups WHERE unit = ? ORDER BY level"));
        read.addBindValue(deskUnit);
        if (!read.exec())
            return failed(read);
        while (read.next()) {
            write.prepare(qs("INSERT INTO rollups (unit, level, until_ms) VALUES (?, ?, ?) "
                             "ON CONFLICT (unit, level) DO NOTHING RETURNING unit"));
            write.addBindValue(storeUnit);
            write.addBindValue(read.value(0).toLongLong());
            write.addBindValue(read.value(1).toLongLong());
            if (!write.exec())
                return failed(write);
            ++(write.next() ? counts->rollups.added : counts->rollups.present);
        }
    }

    // Link events, by station, moment, kind and detail.
    QSet<QString> addresses;
    if (!read.exec(qs("SELECT DISTINCT address FROM events")))
        return failed(read);
    while (read.next())
        addresses.insert(read.value(0).toString());
    for (const QString& address : std::as_const(addresses)) {
        std::set<std::tuple<qint64, qint64, QString>> have;
        write.prepare(qs("SELECT t, kind, detail FROM events WHERE address = ?"));
        write.addBindValue(history::textValue(address));
        if (!write.exec())
            return failed(write);
        while (write.next())
            have.insert(
                {write.value(0).toLongLong(), write.value(1).toLongLong(), write.value(2).toString()});
        read.prepare(qs("SELECT t, kind, detail FROM events WHERE address = ? ORDER BY t, id"));
        read.addBindValue(address);
        if (!read.exec())
            return failed(read);
        QVariantList values;
        while (read.next()) {
            const std::tuple<qint64, qint64, QString> key{
                read.value(0).toLongLong(), read.value(1).toLongLong(), read.value(2).toString()};
            if (have.count(key) > 0) {
                ++counts->events.present;
                continue;
            }
            have.insert(key);
            ++counts->events.added;
            values << history::textValue(address) << std::get<0>(key) << std::get<1>(key)
                   << history::textValue(std::get<2>(key));
        }
        if (!history::db::insertRows(write, qs("INSERT INTO events (address, t, kind, detail)"), 4, values))
            return failed(write);
    }
    return true;
}

QVariantList rowValues(const QSqlQuery& query, const QStringList& columns)
{
    QVariantList values;
    for (const QString& column : columns) {
        const QVariant value = query.value(QString(column).remove(u'"'));
        // A NULL stays NULL (an alarm's value); an empty text stays empty, which Qt would bind as NULL.
        if (value.isNull())
            values << QVariant();
        else
            values << (value.typeId() == QMetaType::QString ? history::textValue(value.toString()) : value);
    }
    return values;
}

} // namespace

HistoryImport importHistory(QSqlDatabase store, const QString& historyPath)
{
    HistoryImport result;
    history::HistoryConnection desk;
    if (!desk.open(historyPath)) {
        result.error = desk.error();
        return result;
    }
    // The desk's names are kept only by the owner's hand; anyone else's acknowledgements would be
    // renamed by the store's trigger, and their audit rows refused.
    QSqlQuery owner(store);
    if (!owner.exec(qs("SELECT pg_get_userbyid(relowner) = session_user FROM pg_class "
                       "WHERE oid = 'schema_version'::regclass")) ||
        !owner.next()) {
        result.error = owner.lastError().text().trimmed();
        return result;
    }
    if (!owner.value(0).toBool()) {
        result.denied = true;
        result.error =
            QCoreApplication::translate("kestavo::store::HistoryImport",
                                        "Copying a desk's alarms and audit log keeps the names in them, "
                                        "which only the store's owner (the "
                                        "login that ran store init) may write; run the import as the owner.");
        return result;
    }
    owner.finish();

    QSqlQuery read(desk.db());
    if (!store.transaction()) {
        result.error = store.lastError().text();
        return result;
    }
    Copier copier{store, QSqlError()};
    const auto fail = [&](const QSqlError& error) {
        store.rollback();
        result.denied = isPermissionDenied(error);
        result.error = error.text().trimmed();
        return result;
    };

    const QStringList ruleColumns = {qs("address"),  qs("kind"),     qs("channel"),   qs("limit_value"),
                                     qs("deadband"), qs("on_delay"), qs("off_delay"), qs("priority"),
                                     qs("text"),     qs("enabled")};
    QHash<qint64, qint64> rules; // desk id -> store id
    if (!read.exec(qs("SELECT id, %1 FROM alarm_rules ORDER BY id").arg(ruleColumns.join(qs(", ")))))
        return fail(read.lastError());
    while (read.next()) {
        const qint64 id =
            copier.copy(qs("alarm_rules"), ruleColumns, rowValues(read, ruleColumns), &result.counts.rules);
        if (id < 0)
            return fail(copier.error);
        rules.insert(read.value(0).toLongLong(), id);
    }

    // An alarm is one condition raised at one moment; rules the desk no longer has keep their
    // number, as on the desk (they match nothing in the store either).
    const QStringList alarmColumns = {qs("address"),  qs("rule"),         qs("priority"), qs("text"),
                                      qs("state"),    qs("value"),        qs("raised_t"), qs("changed_t"),
                                      qs("acked_by"), qs("shelved_until")};
    QHash<qint64, qint64> alarms;
    if (!read.exec(qs("SELECT id, %1 FROM alarms ORDER BY id").arg(alarmColumns.join(qs(", ")))))
        return fail(read.lastError());
    while (read.next()) {
        QVariantList values = rowValues(read, alarmColumns);
        values[1] = rules.value(values[1].toLongLong(), values[1].toLongLong());
        qint64 id = copier.find(qs("alarms"), {qs("address"), qs("rule"), qs("raised_t")},
                                {values[0], values[1], values[6]});
        if (id > 0) {
            ++result.counts.alarms.present;
        } else if (id == 0) {
            id = copier.insert(qs("alarms"), alarmColumns, values,
                               qs("ON CONFLICT (address, rule) WHERE state <> 0 DO NOTHING"));
            if (id > 0)
                ++result.counts.alarms.added;
            else if (id == 0)
                ++result.counts.openConflicts;
        }
        if (id < 0)
            return fail(copier.error);
        if (id > 0)
            alarms.insert(read.value(0).toLongLong(), id);
    }

    const QStringList eventColumns = {qs("t"),     qs("alarm"), qs("address"), qs("rule"),
                                      qs("value"), qs("state"), qs("who"),     qs("text")};
    if (!read.exec(qs("SELECT %1 FROM alarm_events ORDER BY id").arg(eventColumns.join(qs(", ")))))
        return fail(read.lastError());
    while (read.next()) {
        QVariantList values = rowValues(read, eventColumns);
        const auto alarm = alarms.constFind(values[1].toLongLong());
        if (alarm == alarms.cend())
            continue; // its alarm was not copied (see openConflicts)
        values[1] = *alarm;
        values[3] = rules.value(values[3].toLongLong(), values[3].toLongLong());
        if (copier.copy(qs("alarm_events"), eventColumns, values, &result.counts.alarmEvents) < 0)
            return fail(copier.error);
    }

    const QStringList auditColumns = {qs("t"),       qs("\"user\""), qs("host"),
                                      qs("program"), qs("address"),  qs("description"),
                                      qs("action"),  qs("outcome"),  qs("detail")};
    if (!read.exec(qs("SELECT %1 FROM audit ORDER BY id").arg(auditColumns.join(qs(", ")))))
        return fail(read.lastError());
    while (read.next()) {
        if (copier.copy(qs("audit"), auditColumns, rowValues(read, auditColumns), &result.counts.audit) < 0)
            return fail(copier.error);
    }
    read.finish();

    QSqlError readingsError;
    if (!copyReadings(desk.db(), store, &result.counts, &readingsError))
        return fail(readingsError);

    if (!store.commit()) {
        result.error = store.lastError().text();
        store.rollback();
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace kestavo::store
