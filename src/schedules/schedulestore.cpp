#include "schedules/schedulestore.h"

#include <QSqlQuery>
#include <QVariant>

#include "history/historydb.h"

namespace kestavo::schedules {

namespace {

using history::textValue;

const QString kColumns = QStringLiteral("id, station, tag, action, relay, seconds, slot, anchor, minute, "
                                        "offset_min, days, from_date, until_date, "
                                        "except_dates, enabled");

QString dateText(const QDate& date)
{
    return date.isValid() ? date.toString(Qt::ISODate) : QStringLiteral("");
}

ScheduleEntry fromRow(const QSqlQuery& q)
{
    ScheduleEntry e;
    e.id = q.value(0).toLongLong();
    e.station = q.value(1).toString();
    e.tag = q.value(2).toString();
    // A word this version does not know (written by a newer one) leaves an entry problem() refuses.
    e.action = actionFromWord(q.value(3).toString()).value_or(Action::On);
    e.relay = q.value(4).toInt();
    e.pulseSeconds = q.value(5).toInt();
    e.scriptSlot = q.value(6).toInt();
    const std::optional<Anchor> anchor = anchorFromWord(q.value(7).toString());
    e.anchor = anchor.value_or(Anchor::Clock);
    e.minuteOfDay = anchor ? q.value(8).toInt() : -1;
    e.offsetMinutes = q.value(9).toInt();
    e.weekdays = quint8(q.value(10).toInt() & kEveryDay);
    e.from = QDate::fromString(q.value(11).toString(), Qt::ISODate);
    e.until = QDate::fromString(q.value(12).toString(), Qt::ISODate);
    for (const QString& d : q.value(13).toString().split(u',', Qt::SkipEmptyParts))
        if (const QDate date = QDate::fromString(d, Qt::ISODate); date.isValid())
            e.except.append(date);
    e.enabled = q.value(14).toInt() != 0;
    return e;
}

} // namespace

QList<ScheduleEntry> ScheduleStore::entries() const
{
    QList<ScheduleEntry> list;
    QSqlQuery q(m_connection.db());
    if (q.exec(QStringLiteral("SELECT %1 FROM schedules ORDER BY id").arg(kColumns)))
        while (q.next())
            list.append(fromRow(q));
    return list;
}

std::optional<ScheduleEntry> ScheduleStore::entry(qint64 id) const
{
    QSqlQuery q(m_connection.db());
    q.prepare(QStringLiteral("SELECT %1 FROM schedules WHERE id = ?").arg(kColumns));
    q.addBindValue(id);
    if (q.exec() && q.next())
        return fromRow(q);
    return std::nullopt;
}

qint64 ScheduleStore::add(const ScheduleEntry& e, qint64 nowMs)
{
    QStringList except;
    for (const QDate& d : e.except)
        except << d.toString(Qt::ISODate);
    QSqlQuery q(m_connection.db());
    q.prepare(QStringLiteral(
        "INSERT INTO schedules (station, tag, action, relay, seconds, slot, anchor, minute, offset_min, "
        "days, "
        "from_date, until_date, except_dates, enabled, created_t) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    for (const QVariant& v :
         {textValue(e.station), textValue(e.tag), textValue(actionWord(e.action)), QVariant(e.relay),
          QVariant(e.pulseSeconds), QVariant(e.scriptSlot), textValue(anchorWord(e.anchor)),
          QVariant(e.minuteOfDay), QVariant(e.offsetMinutes), QVariant(int(e.weekdays)),
          textValue(dateText(e.from)), textValue(dateText(e.until)), textValue(except.join(u',')),
          QVariant(e.enabled ? 1 : 0), QVariant(nowMs)})
        q.addBindValue(v);
    if (!q.exec())
        return 0;
    return q.lastInsertId().toLongLong();
}

bool ScheduleStore::remove(qint64 id)
{
    QSqlQuery q(m_connection.db());
    q.prepare(QStringLiteral("DELETE FROM schedules WHERE id = ?"));
    q.addBindValue(id);
    return q.exec() && q.numRowsAffected() > 0;
}

bool ScheduleStore::setEnabled(qint64 id, bool enabled)
{
    QSqlQuery q(m_connection.db());
    q.prepare(QStringLiteral("UPDATE schedules SET enabled = ? WHERE id = ?"));
    q.addBindValue(enabled ? 1 : 0);
    q.addBindValue(id);
    if (!q.exec())
        return false;
    if (q.numRowsAffected() > 0)
        return true;
    return entry(id).has_value(); // already in that state
}

bool ScheduleStore::log(const LogRecord& r)
{
    QSqlQuery q(m_connection.db());
    q.prepare(QStringLiteral(
        "INSERT INTO schedule_log (t, schedule, address, due_t, outcome, detail) VALUES (?,?,?,?,?,?)"));
    for (const QVariant& v : {QVariant(r.timeMs), QVariant(r.schedule), textValue(r.address),
                              QVariant(r.dueMs), textValue(r.outcome), textValue(r.detail)})
        q.addBindValue(v);
    return q.exec();
}

ScheduleStore::Claim ScheduleStore::claim(const LogRecord& r)
{
    history::db::WriteTransaction transaction(m_connection.db());
    if (!transaction.isActive())
        return Claim::Failed;
    QSqlQuery q(m_connection.db());
    q.prepare(QStringLiteral("SELECT 1 FROM schedule_log WHERE schedule = ? AND address = ? AND due_t = ? "
                             "AND outcome IN ('sent', 'recovered') LIMIT 1"));
    for (const QVariant& v : {QVariant(r.schedule), textValue(r.address), QVariant(r.dueMs)})
        q.addBindValue(v);
    if (!q.exec())
        return Claim::Failed;
    if (q.next())
        return Claim::Taken;
    return log(r) && transaction.commit() ? Claim::Ours : Claim::Failed;
}

bool ScheduleStore::logged(qint64 schedule, const QString& address, qint64 dueMs,
                           const QString& outcome) const
{
    QSqlQuery q(m_connection.db());
    q.prepare(QStringLiteral("SELECT 1 FROM schedule_log WHERE schedule = ? AND address = ? AND due_t = ? "
                             "AND outcome = ? LIMIT 1"));
    for (const QVariant& v : {QVariant(schedule), textValue(address), QVariant(dueMs), textValue(outcome)})
        q.addBindValue(v);
    return q.exec() && q.next();
}

QList<LogRecord> ScheduleStore::logSince(qint64 fromMs) const
{
    QList<LogRecord> list;
    QSqlQuery q(m_connection.db());
    q.prepare(QStringLiteral(
        "SELECT t, schedule, address, due_t, outcome, detail FROM schedule_log WHERE t >= ? ORDER BY id"));
    q.addBindValue(fromMs);
    if (q.exec())
        while (q.next())
            list.append({q.value(0).toLongLong(), q.value(1).toLongLong(), q.value(2).toString(),
                         q.value(3).toLongLong(), q.value(4).toString(), q.value(5).toString()});
    return list;
}

} // namespace kestavo::schedules
