#include "store/historyimport.h"

#include <QCoreApplication>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

#include "history/historyconnection.h"
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

    if (!store.commit()) {
        result.error = store.lastError().text();
        store.rollback();
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace kestavo::store
