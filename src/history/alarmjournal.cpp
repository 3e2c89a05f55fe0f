#include "history/alarmjournal.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QVariant>

#include "history/historydb.h"
#include "history/timetext.h"

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

namespace {

std::optional<AlarmRecord> readAlarmById(QSqlDatabase& db, qint64 id, bool* failed)
{
    QSqlQuery q(db);
    q.prepare(QString::fromLatin1(kAlarmColumns) + QStringLiteral("WHERE id = ?"));
    q.addBindValue(id);
    if (!q.exec()) {
        *failed = true;
        return std::nullopt;
    }
    if (q.next())
        return readAlarm(q);
    return std::nullopt;
}

bool logEvent(QSqlDatabase& db, const AlarmRecord& a, const QString& who, const QString& text)
{
    QSqlQuery e(db);
    e.prepare(QStringLiteral("INSERT INTO alarm_events (t, alarm, address, rule, value, state, who, text) "
                             "VALUES (?,?,?,?,?,?,?,?)"));
    for (const QVariant& v : {QVariant(a.changedMs), QVariant(a.id), textValue(a.address), QVariant(a.rule),
                              optionalValue(a.value), QVariant(int(a.state)), textValue(who),
                              textValue(text.isEmpty() ? a.text : text)})
        e.addBindValue(v);
    return e.exec();
}

// Closes every open alarm of one rule (all rules when `rule` is 0 and `orphansOnly`), inside the
// caller's transaction.
int closeAlarmsOf(QSqlDatabase& db, const QString& where, const QVariantList& binds, qint64 nowMs,
                  const QString& who, const QString& text)
{
    QList<AlarmRecord> open;
    {
        QSqlQuery q(db);
        q.prepare(QString::fromLatin1(kAlarmColumns) + QStringLiteral("WHERE state <> 0 AND ") + where);
        for (const QVariant& v : binds)
            q.addBindValue(v);
        if (!q.exec())
            return -1;
        while (q.next())
            open.append(readAlarm(q));
    }
    for (AlarmRecord a : open) {
        QSqlQuery u(db);
        u.prepare(QStringLiteral("UPDATE alarms SET state = 0, changed_t = ? WHERE id = ? AND state = ?"));
        u.addBindValue(nowMs);
        u.addBindValue(a.id);
        u.addBindValue(int(a.state));
        if (!u.exec())
            return -1;
        a.state = AlarmState::Normal;
        a.changedMs = nowMs;
        if (!logEvent(db, a, who, text))
            return -1;
    }
    return int(open.size());
}

qint64 nowOr(qint64 nowMs)
{
    return nowMs > 0 ? nowMs : QDateTime::currentMSecsSinceEpoch();
}

// Inside the caller's write transaction.
bool storeRule(QSqlDatabase& db, AlarmRule& rule, qint64 nowMs, const QString& who)
{
    bool closeOpen = false;
    if (rule.id != 0) {
        QSqlQuery old(db);
        old.prepare(QStringLiteral("SELECT address, kind, channel, enabled FROM alarm_rules WHERE id = ?"));
        old.addBindValue(rule.id);
        if (!old.exec())
            return false;
        if (old.next())
            closeOpen = !rule.enabled || old.value(0).toString() != rule.address ||
                        old.value(1).toInt() != int(rule.kind) || old.value(2).toInt() != rule.channel;
    }
    QSqlQuery q(db);
    // An id that is not stored yet (an imported rule) is kept, so a file imported twice is the same.
    q.prepare(QStringLiteral(
        "INSERT OR REPLACE INTO alarm_rules (id, address, kind, channel, limit_value, "
        "deadband, on_delay, off_delay, priority, text, enabled) VALUES (?,?,?,?,?,?,?,?,?,?,?)"));
    for (const QVariant& v :
         {rule.id == 0 ? QVariant(QMetaType::fromType<qint64>()) : QVariant(rule.id), textValue(rule.address),
          QVariant(int(rule.kind)), QVariant(rule.channel), QVariant(rule.limit), QVariant(rule.deadband),
          QVariant(rule.onDelayS), QVariant(rule.offDelayS), QVariant(int(rule.priority)),
          textValue(rule.text), QVariant(rule.enabled ? 1 : 0)})
        q.addBindValue(v);
    if (!q.exec())
        return false;
    const qint64 id = rule.id == 0 ? q.lastInsertId().toLongLong() : rule.id;
    if (closeOpen &&
        closeAlarmsOf(db, QStringLiteral("rule = ?"), {id}, nowOr(nowMs), who,
                      rule.enabled ? QStringLiteral("rule changed") : QStringLiteral("rule disabled")) < 0)
        return false;
    rule.id = id;
    return true;
}

} // namespace

bool AlarmJournal::saveRule(AlarmRule& rule, qint64 nowMs, const QString& who)
{
    QSqlDatabase db = m_connection.db();
    db::WriteTransaction transaction(db);
    AlarmRule stored = rule;
    if (!transaction.isActive() || !storeRule(db, stored, nowMs, who) || !transaction.commit())
        return false;
    rule = stored;
    return true;
}

bool AlarmJournal::saveRules(QList<AlarmRule>& rules, bool replace, qint64 nowMs, const QString& who)
{
    QSqlDatabase db = m_connection.db();
    db::WriteTransaction transaction(db);
    if (!transaction.isActive())
        return false;
    QList<AlarmRule> stored = rules;
    for (AlarmRule& rule : stored)
        if (!storeRule(db, rule, nowMs, who))
            return false;
    if (replace) {
        QStringList keep;
        for (const AlarmRule& rule : stored)
            keep.append(QString::number(rule.id));
        const QString others =
            keep.isEmpty() ? QStringLiteral("1") : QStringLiteral("id NOT IN (%1)").arg(keep.join(u','));
        QSqlQuery removed(db);
        if (!removed.exec(QStringLiteral("DELETE FROM alarm_rules WHERE ") + others))
            return false;
        const QString orphans = keep.isEmpty()
                                    ? QStringLiteral("rule >= 0")
                                    : QStringLiteral("rule >= 0 AND rule NOT IN (%1)").arg(keep.join(u','));
        if (closeAlarmsOf(db, orphans, {}, nowOr(nowMs), who, QStringLiteral("rule removed")) < 0)
            return false;
    }
    if (!transaction.commit())
        return false;
    rules = stored;
    return true;
}

bool AlarmJournal::removeRule(qint64 id, qint64 nowMs, const QString& who)
{
    QSqlDatabase db = m_connection.db();
    db::WriteTransaction transaction(db);
    if (!transaction.isActive())
        return false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("DELETE FROM alarm_rules WHERE id = ?"));
    q.addBindValue(id);
    return q.exec() &&
           closeAlarmsOf(db, QStringLiteral("rule = ?"), {id}, nowOr(nowMs), who,
                         QStringLiteral("rule removed")) >= 0 &&
           transaction.commit();
}

int AlarmJournal::closeOrphans(qint64 nowMs)
{
    QSqlDatabase db = m_connection.db();
    db::WriteTransaction transaction(db);
    if (!transaction.isActive())
        return -1;
    const int closed = closeAlarmsOf(
        db, QStringLiteral("rule >= 0 AND rule NOT IN (SELECT id FROM alarm_rules WHERE enabled <> 0)"), {},
        nowOr(nowMs), {}, QStringLiteral("rule removed or disabled"));
    if (closed < 0 || !transaction.commit())
        return -1;
    return closed;
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

AlarmChange AlarmJournal::raise(const AlarmRecord& fresh, const QString& who, const QString& text)
{
    AlarmChange result;
    QSqlDatabase db = m_connection.db();
    db::WriteTransaction transaction(db);
    if (!transaction.isActive())
        return result;
    {
        QSqlQuery open(db);
        open.prepare(QString::fromLatin1(kAlarmColumns) +
                     QStringLiteral("WHERE address = ? AND rule = ? AND state <> 0"));
        open.addBindValue(textValue(fresh.address));
        open.addBindValue(fresh.rule);
        if (!open.exec())
            return result;
        if (open.next()) {
            result.stored = readAlarm(open);
            result.previous = result.stored->state;
            result.outcome = AlarmChange::Outcome::Adopted;
            return result;
        }
    }
    AlarmRecord a = fresh;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO alarms (address, rule, priority, text, state, value, raised_t, "
                             "changed_t, acked_by, shelved_until) VALUES (?,?,?,?,?,?,?,?,?,?)"));
    for (const QVariant& v :
         {textValue(a.address), QVariant(a.rule), QVariant(int(a.priority)), textValue(a.text),
          QVariant(int(a.state)), optionalValue(a.value), QVariant(a.raisedMs), QVariant(a.changedMs),
          textValue(a.ackedBy), QVariant(a.shelvedUntilMs)})
        q.addBindValue(v);
    if (!q.exec())
        return result;
    a.id = q.lastInsertId().toLongLong();
    if (!logEvent(db, a, who, text) || !transaction.commit())
        return result;
    result.outcome = AlarmChange::Outcome::Applied;
    result.previous = AlarmState::Normal;
    result.stored = a;
    return result;
}

AlarmChange AlarmJournal::update(qint64 id, const Step& step, const QString& who, const QString& text)
{
    AlarmChange result;
    QSqlDatabase db = m_connection.db();
    db::WriteTransaction transaction(db);
    if (!transaction.isActive())
        return result;
    bool failed = false;
    const std::optional<AlarmRecord> stored = readAlarmById(db, id, &failed);
    if (failed)
        return result;
    result.stored = stored;
    result.previous = stored ? stored->state : AlarmState::Normal;
    const std::optional<AlarmRecord> next = stored ? step(*stored) : std::nullopt;
    if (!next) {
        result.outcome = AlarmChange::Outcome::Adopted;
        return result;
    }
    QSqlQuery q(db);
    q.prepare(QStringLiteral("UPDATE alarms SET state = ?, value = ?, changed_t = ?, acked_by = ?, "
                             "shelved_until = ? WHERE id = ? AND state = ?"));
    for (const QVariant& v : {QVariant(int(next->state)), optionalValue(next->value),
                              QVariant(next->changedMs), textValue(next->ackedBy),
                              QVariant(next->shelvedUntilMs), QVariant(id), QVariant(int(stored->state))})
        q.addBindValue(v);
    if (!q.exec() || q.numRowsAffected() != 1 || !logEvent(db, *next, who, text) || !transaction.commit()) {
        result.stored.reset();
        return result;
    }
    result.outcome = AlarmChange::Outcome::Applied;
    result.stored = next;
    return result;
}

AlarmChange AlarmJournal::change(qint64 id, AlarmState from, const AlarmRecord& next, const QString& who,
                                 const QString& text)
{
    return update(
        id,
        [&](const AlarmRecord& stored) -> std::optional<AlarmRecord> {
            if (stored.state != from)
                return std::nullopt;
            AlarmRecord a = stored;
            a.state = next.state;
            a.value = next.value;
            a.changedMs = next.changedMs;
            a.ackedBy = next.ackedBy;
            a.shelvedUntilMs = next.shelvedUntilMs;
            return a;
        },
        who, text);
}

AlarmChange AlarmJournal::acknowledge(qint64 id, const QString& who, qint64 nowMs)
{
    return update(id,
                  [&](const AlarmRecord& stored) -> std::optional<AlarmRecord> {
                      const AlarmState next = history::acknowledged(stored.state);
                      if (next == stored.state)
                          return std::nullopt;
                      AlarmRecord a = stored;
                      a.state = next;
                      a.changedMs = nowMs;
                      a.ackedBy = who;
                      return a;
                  },
                  who, {});
}

AlarmChange AlarmJournal::shelve(qint64 id, qint64 untilMs, const QString& who, qint64 nowMs,
                                 const QString& text)
{
    return update(
        id,
        [&](const AlarmRecord& stored) -> std::optional<AlarmRecord> {
            if (!isOpenState(stored.state))
                return std::nullopt;
            AlarmRecord a = stored;
            a.state = AlarmState::Shelved;
            a.changedMs = nowMs;
            a.shelvedUntilMs = untilMs;
            return a;
        },
        who, text.isEmpty() ? QStringLiteral("shelved until %1").arg(isoUtc(untilMs)) : text);
}

AlarmChange AlarmJournal::unshelve(qint64 id, AlarmState to, const QString& who, qint64 nowMs,
                                   const QString& text)
{
    return update(
        id,
        [&](const AlarmRecord& stored) -> std::optional<AlarmRecord> {
            if (stored.state != AlarmState::Shelved)
                return std::nullopt;
            AlarmRecord a = stored;
            a.state = to;
            a.changedMs = nowMs;
            a.shelvedUntilMs = 0;
            if (!who.isEmpty()) // by hand: that person acknowledged it; by time-out nobody did
                a.ackedBy = who;
            return a;
        },
        who, text.isEmpty() ? QStringLiteral("shelving ended") : text);
}

qint64 AlarmJournal::changeCounter() const
{
    QSqlQuery q(m_connection.db());
    if (q.exec(QStringLiteral("SELECT counter FROM changes WHERE name = 'alarms'")) && q.next())
        return q.value(0).toLongLong();
    return -1;
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

std::optional<QString> AlarmJournal::setting(const QString& name) const
{
    QSqlQuery q(m_connection.db());
    q.prepare(QStringLiteral("SELECT value FROM settings WHERE name = ?"));
    q.addBindValue(name);
    if (q.exec() && q.next())
        return q.value(0).toString();
    return std::nullopt;
}

bool AlarmJournal::setSetting(const QString& name, const QString& value)
{
    QSqlQuery q(m_connection.db());
    q.prepare(QStringLiteral("INSERT INTO settings (name, value) VALUES (?, ?) "
                             "ON CONFLICT (name) DO UPDATE SET value = excluded.value"));
    q.addBindValue(name);
    q.addBindValue(value);
    return q.exec();
}

} // namespace kestavo::history
