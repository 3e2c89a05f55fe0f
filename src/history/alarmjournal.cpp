#include "history/alarmjournal.h"

#include <QSqlQuery>
#include <QVariant>

namespace kestavo::history {

namespace {

QVariant optionalValue(const std::optional<double>& value)
{
    return value ? QVariant(*value) : QVariant(QMetaType::fromType<double>());
}

std::optional<double> readOptional(const QVariant& value)
{
    return value.isNull() ? std::nullopt : std::optional<double>(value.toDouble());
}

AlarmRecord readAlarm(const QSqlQuery& q)
{
    return AlarmRecord{q.value(0).toLongLong(),  q.value(1).toString(),
                       q.value(2).toLongLong(),  AlarmPriority(q.value(3).toInt()),
                       q.value(4).toString(),    AlarmState(q.value(5).toInt()),
                       readOptional(q.value(6)), q.value(7).toLongLong(),
                       q.value(8).toLongLong(),  q.value(9).toString(),
                       q.value(10).toLongLong()};
}

const char* const kAlarmColumns =
    "SELECT id, address, rule, priority, text, state, value, raised_t, changed_t, acked_by, shelved_until "
    "FROM alarms ";

} // namespace

QString stateText(AlarmState state)
{
    switch (state) {
    case AlarmState::Normal:
        return QStringLiteral("normal");
    case AlarmState::ActiveUnacknowledged:
        return QStringLiteral("active, unacknowledged");
    case AlarmState::ActiveAcknowledged:
        return QStringLiteral("active, acknowledged");
    case AlarmState::ClearedUnacknowledged:
        return QStringLiteral("cleared, unacknowledged");
    case AlarmState::Shelved:
        return QStringLiteral("shelved");
    }
    return {};
}

QString priorityText(AlarmPriority priority)
{
    switch (priority) {
    case AlarmPriority::High:
        return QStringLiteral("high");
    case AlarmPriority::Medium:
        return QStringLiteral("medium");
    case AlarmPriority::Low:
        return QStringLiteral("low");
    }
    return {};
}

std::optional<AlarmPriority> priorityFromText(const QString& text)
{
    for (AlarmPriority p : {AlarmPriority::High, AlarmPriority::Medium, AlarmPriority::Low})
        if (text.compare(priorityText(p), Qt::CaseInsensitive) == 0)
            return p;
    return std::nullopt;
}

AlarmState acknowledged(AlarmState state)
{
    switch (state) {
    case AlarmState::ActiveUnacknowledged:
        return AlarmState::ActiveAcknowledged;
    case AlarmState::ClearedUnacknowledged:
        return AlarmState::Normal;
    default:
        return state;
    }
}

bool isOpenState(AlarmState state)
{
    return state != AlarmState::Normal;
}

QList<AlarmRule> AlarmJournal::rules() const
{
    QList<AlarmRule> result;
    QSqlQuery q(m_connection.db());
    if (!q.exec(
            QStringLiteral("SELECT id, address, kind, channel, limit_value, deadband, on_delay, off_delay, "
                           "priority, text, enabled FROM alarm_rules ORDER BY id")))
        return result;
    while (q.next())
        result.append(AlarmRule{q.value(0).toLongLong(), q.value(1).toString(),
                                AlarmRuleKind(q.value(2).toInt()), q.value(3).toInt(), q.value(4).toDouble(),
                                q.value(5).toDouble(), q.value(6).toInt(), q.value(7).toInt(),
                                AlarmPriority(q.value(8).toInt()), q.value(9).toString(),
                                q.value(10).toBool()});
    return result;
}

bool AlarmJournal::saveRule(AlarmRule& rule)
{
    QSqlQuery q(m_connection.db());
    q.prepare(
        rule.id == 0
            ? QStringLiteral("INSERT INTO alarm_rules (address, kind, channel, limit_value, deadband, "
                             "on_delay, off_delay, priority, text, enabled) VALUES (?,?,?,?,?,?,?,?,?,?)")
            : QStringLiteral("UPDATE alarm_rules SET address = ?, kind = ?, channel = ?, limit_value = "
                             "?, deadband = ?, on_delay = ?, off_delay = ?, priority = ?, text = ?, "
                             "enabled = ? WHERE id = ?"));
    for (const QVariant& v :
         {textValue(rule.address), QVariant(int(rule.kind)), QVariant(rule.channel), QVariant(rule.limit),
          QVariant(rule.deadband), QVariant(rule.onDelayS), QVariant(rule.offDelayS),
          QVariant(int(rule.priority)), textValue(rule.text), QVariant(rule.enabled ? 1 : 0)})
        q.addBindValue(v);
    if (rule.id != 0)
        q.addBindValue(rule.id);
    if (!q.exec())
        return false;
    if (rule.id == 0)
        rule.id = q.lastInsertId().toLongLong();
    return true;
}

bool AlarmJournal::removeRule(qint64 id)
{
    QSqlQuery q(m_connection.db());
    q.prepare(QStringLiteral("DELETE FROM alarm_rules WHERE id = ?"));
    q.addBindValue(id);
    return q.exec();
}

QList<AlarmRecord> AlarmJournal::alarms(bool openOnly) const
{
    QList<AlarmRecord> result;
    QSqlQuery q(m_connection.db());
    q.setForwardOnly(true);
    if (!q.exec(QString::fromLatin1(kAlarmColumns) +
                (openOnly ? QStringLiteral("WHERE state <> 0 ") : QString()) +
                QStringLiteral("ORDER BY raised_t DESC, id DESC")))
        return result;
    while (q.next())
        result.append(readAlarm(q));
    return result;
}

std::optional<AlarmRecord> AlarmJournal::alarm(qint64 id) const
{
    QSqlQuery q(m_connection.db());
    q.prepare(QString::fromLatin1(kAlarmColumns) + QStringLiteral("WHERE id = ?"));
    q.addBindValue(id);
    if (q.exec() && q.next())
        return readAlarm(q);
    return std::nullopt;
}

bool AlarmJournal::saveAlarm(AlarmRecord& a, const QString& who, const QString& eventText)
{
    QSqlDatabase db = m_connection.db();
    if (!db.transaction())
        return false;
    QSqlQuery q(db);
    q.prepare(
        a.id == 0
            ? QStringLiteral("INSERT INTO alarms (address, rule, priority, text, state, value, raised_t, "
                             "changed_t, acked_by, shelved_until) VALUES (?,?,?,?,?,?,?,?,?,?)")
            : QStringLiteral("UPDATE alarms SET address = ?, rule = ?, priority = ?, text = ?, state = ?, "
                             "value = ?, raised_t = ?, changed_t = ?, acked_by = ?, shelved_until = ? "
                             "WHERE id = ?"));
    for (const QVariant& v :
         {textValue(a.address), QVariant(a.rule), QVariant(int(a.priority)), textValue(a.text),
          QVariant(int(a.state)), optionalValue(a.value), QVariant(a.raisedMs), QVariant(a.changedMs),
          textValue(a.ackedBy), QVariant(a.shelvedUntilMs)})
        q.addBindValue(v);
    if (a.id != 0)
        q.addBindValue(a.id);
    bool ok = q.exec();
    if (ok && a.id == 0)
        a.id = q.lastInsertId().toLongLong();
    if (ok) {
        QSqlQuery e(db);
        e.prepare(QStringLiteral("INSERT INTO alarm_events (t, alarm, address, rule, value, state, who, "
                                 "text) VALUES (?,?,?,?,?,?,?,?)"));
        for (const QVariant& v : {QVariant(a.changedMs), QVariant(a.id), textValue(a.address),
                                  QVariant(a.rule), optionalValue(a.value), QVariant(int(a.state)),
                                  textValue(who), textValue(eventText.isEmpty() ? a.text : eventText)})
            e.addBindValue(v);
        ok = e.exec();
    }
    if (!ok || !db.commit()) {
        db.rollback();
        return false;
    }
    return true;
}

QList<AlarmEvent> AlarmJournal::events(qint64 fromMs, qint64 toMs) const
{
    QList<AlarmEvent> result;
    QSqlQuery q(m_connection.db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT id, t, alarm, address, rule, value, state, who, text FROM alarm_events "
                             "WHERE t >= ? AND t <= ? ORDER BY t, id"));
    q.addBindValue(fromMs);
    q.addBindValue(toMs);
    if (!q.exec())
        return result;
    while (q.next())
        result.append(AlarmEvent{q.value(0).toLongLong(), q.value(1).toLongLong(), q.value(2).toLongLong(),
                                 q.value(3).toString(), q.value(4).toLongLong(), readOptional(q.value(5)),
                                 AlarmState(q.value(6).toInt()), q.value(7).toString(),
                                 q.value(8).toString()});
    return result;
}

} // namespace kestavo::history
