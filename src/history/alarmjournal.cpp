#include "history/alarmjournal.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "history/historydb.h"
#include "history/timetext.h"
#include "storelink/storeroles.h"

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

bool isTeam(const QSqlDatabase& connection)
{
    return db::isStore(connection);
}

// A failed statement leaves a store's transaction aborted, where the store refuses even to free the
// statements still prepared; rolling back at once lets them close cleanly. Every failure abandons
// the change anyway.
bool failed(db::WriteTransaction& transaction, const QSqlQuery& q, QSqlError* error)
{
    *error = q.lastError();
    transaction.rollback();
    return false;
}

bool run(db::WriteTransaction& transaction, QSqlQuery& q, QSqlError* error)
{
    return q.exec() || failed(transaction, q, error);
}

bool run(db::WriteTransaction& transaction, QSqlQuery& q, const QString& sql, QSqlError* error)
{
    return q.exec(sql) || failed(transaction, q, error);
}

// On a store the rows a change starts from stay locked until it commits, so a second program's
// change waits and then reads what the first one wrote; a file is locked whole already.
QString locking(const QSqlDatabase& db)
{
    return isTeam(db) ? QStringLiteral(" FOR UPDATE") : QString();
}

std::optional<AlarmRecord> readAlarmById(db::WriteTransaction& transaction, qint64 id, QSqlError* error,
                                         bool* failed)
{
    QSqlDatabase db = transaction.database();
    QSqlQuery q(db);
    q.prepare(QString::fromLatin1(kAlarmColumns) + QStringLiteral("WHERE id = ?") + locking(db));
    q.addBindValue(id);
    if (!run(transaction, q, error)) {
        *failed = true;
        return std::nullopt;
    }
    if (q.next())
        return readAlarm(q);
    return std::nullopt;
}

// On a store, "who" is the session's login, filled in by the database: no client may write it.
bool logEvent(db::WriteTransaction& transaction, const AlarmRecord& a, const QString& who,
              const QString& text, QSqlError* error)
{
    QSqlDatabase db = transaction.database();
    const bool onStore = isTeam(db);
    QSqlQuery e(db);
    e.prepare(onStore
                  ? QStringLiteral("INSERT INTO alarm_events (t, alarm, address, rule, value, state, text) "
                                   "VALUES (?,?,?,?,?,?,?)")
                  : QStringLiteral("INSERT INTO alarm_events (t, alarm, address, rule, value, state, who, "
                                   "text) VALUES (?,?,?,?,?,?,?,?)"));
    for (const QVariant& v : {QVariant(a.changedMs), QVariant(a.id), textValue(a.address), QVariant(a.rule),
                              optionalValue(a.value), QVariant(int(a.state))})
        e.addBindValue(v);
    if (!onStore)
        e.addBindValue(textValue(who));
    e.addBindValue(textValue(text.isEmpty() ? a.text : text));
    return run(transaction, e, error);
}

// Closes every open alarm of one rule (all rules when `rule` is 0 and `orphansOnly`), inside the
// caller's transaction.
int closeAlarmsOf(db::WriteTransaction& transaction, const QString& where, const QVariantList& binds,
                  qint64 nowMs, const QString& who, const QString& text, QSqlError* error)
{
    QSqlDatabase db = transaction.database();
    QList<AlarmRecord> open;
    {
        QSqlQuery q(db);
        q.prepare(QString::fromLatin1(kAlarmColumns) + QStringLiteral("WHERE state <> 0 AND ") + where +
                  locking(db));
        for (const QVariant& v : binds)
            q.addBindValue(v);
        if (!run(transaction, q, error))
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
        if (!run(transaction, u, error))
            return -1;
        a.state = AlarmState::Normal;
        a.changedMs = nowMs;
        if (!logEvent(transaction, a, who, text, error))
            return -1;
    }
    return int(open.size());
}

qint64 nowOr(qint64 nowMs)
{
    return nowMs > 0 ? nowMs : QDateTime::currentMSecsSinceEpoch();
}

// Inside the caller's write transaction.
bool storeRule(db::WriteTransaction& transaction, AlarmRule& rule, qint64 nowMs, const QString& who,
               QSqlError* error)
{
    QSqlDatabase db = transaction.database();
    const bool onStore = isTeam(db);
    bool closeOpen = false;
    bool stored = false;
    if (rule.id != 0) {
        QSqlQuery old(db);
        old.prepare(QStringLiteral("SELECT address, kind, channel, enabled FROM alarm_rules WHERE id = ?") +
                    locking(db));
        old.addBindValue(rule.id);
        if (!run(transaction, old, error))
            return false;
        stored = old.next();
        if (stored)
            closeOpen = !rule.enabled || old.value(0).toString() != rule.address ||
                        old.value(1).toInt() != int(rule.kind) || old.value(2).toInt() != rule.channel;
    }
    const QVariantList values{textValue(rule.address),  QVariant(int(rule.kind)),
                              QVariant(rule.channel),   QVariant(rule.limit),
                              QVariant(rule.deadband),  QVariant(rule.onDelayS),
                              QVariant(rule.offDelayS), QVariant(int(rule.priority)),
                              textValue(rule.text),     QVariant(rule.enabled ? 1 : 0)};
    const QString columns = QStringLiteral(
        "address, kind, channel, limit_value, deadband, on_delay, off_delay, priority, text, enabled");
    QSqlQuery q(db);
    if (rule.id == 0) {
        // A new rule takes the next number; the store says which through RETURNING (its driver has
        // no last insert id).
        q.prepare(QStringLiteral("INSERT INTO alarm_rules (%1) VALUES (?,?,?,?,?,?,?,?,?,?)").arg(columns) +
                  (onStore ? QStringLiteral(" RETURNING id") : QString()));
    } else if (!onStore) {
        // An id that is not stored yet (an imported rule) is kept, so a file imported twice is the same.
        q.prepare(QStringLiteral("INSERT OR REPLACE INTO alarm_rules (id, %1) VALUES (?,?,?,?,?,?,?,?,?,?,?)")
                      .arg(columns));
        q.addBindValue(rule.id);
    } else if (stored) {
        q.prepare(
            QStringLiteral("UPDATE alarm_rules SET address = ?, kind = ?, channel = ?, limit_value = ?, "
                           "deadband = ?, on_delay = ?, off_delay = ?, priority = ?, text = ?, "
                           "enabled = ? WHERE id = ?"));
    } else {
        q.prepare(
            QStringLiteral("INSERT INTO alarm_rules (id, %1) VALUES (?,?,?,?,?,?,?,?,?,?,?)").arg(columns));
        q.addBindValue(rule.id);
    }
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (onStore && stored)
        q.addBindValue(rule.id);
    if (!run(transaction, q, error))
        return false;
    qint64 id = rule.id;
    if (id == 0) {
        id = onStore ? (q.next() ? q.value(0).toLongLong() : 0) : q.lastInsertId().toLongLong();
        if (id == 0)
            return false; // no number came back: nothing may claim a rule that does not exist
    } else if (onStore && !stored) {
        // The identity column numbers new rules from its own sequence, which knows nothing of a number
        // given here: it is moved past it, or the next new rule would collide with this one.
        QSqlQuery next(db);
        if (!run(transaction, next,
                 QStringLiteral("SELECT setval(pg_get_serial_sequence('alarm_rules', 'id'), "
                                "GREATEST((SELECT max(id) FROM alarm_rules), "
                                "nextval(pg_get_serial_sequence('alarm_rules', 'id'))))"),
                 error))
            return false;
    }
    if (closeOpen &&
        closeAlarmsOf(transaction, QStringLiteral("rule = ?"), {id}, nowOr(nowMs), who,
                      rule.enabled ? QStringLiteral("rule changed") : QStringLiteral("rule disabled"),
                      error) < 0)
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
    QSqlError error = transaction.error();
    if (!transaction.isActive() || !storeRule(transaction, stored, nowMs, who, &error) ||
        !transaction.commit(&error))
        return fail(error,
                    QCoreApplication::translate("kestavo::history::AlarmJournal", "Changing an alarm rule"),
                    store::Role::Admin);
    rule = stored;
    return true;
}

bool AlarmJournal::saveRules(QList<AlarmRule>& rules, bool replace, qint64 nowMs, const QString& who)
{
    QSqlDatabase db = m_connection.db();
    db::WriteTransaction transaction(db);
    QSqlError error = transaction.error();
    const auto failed = [&] {
        return fail(error,
                    QCoreApplication::translate("kestavo::history::AlarmJournal", "Changing the alarm rules"),
                    store::Role::Admin);
    };
    if (!transaction.isActive())
        return failed();
    QList<AlarmRule> stored = rules;
    for (AlarmRule& rule : stored)
        if (!storeRule(transaction, rule, nowMs, who, &error))
            return failed();
    if (replace) {
        QStringList keep;
        for (const AlarmRule& rule : stored)
            keep.append(QString::number(rule.id));
        const QString others =
            keep.isEmpty() ? QStringLiteral("1 = 1") : QStringLiteral("id NOT IN (%1)").arg(keep.join(u','));
        QSqlQuery removed(db);
        if (!run(transaction, removed, QStringLiteral("DELETE FROM alarm_rules WHERE ") + others, &error))
            return failed();
        const QString orphans = keep.isEmpty()
                                    ? QStringLiteral("rule >= 0")
                                    : QStringLiteral("rule >= 0 AND rule NOT IN (%1)").arg(keep.join(u','));
        if (closeAlarmsOf(transaction, orphans, {}, nowOr(nowMs), who, QStringLiteral("rule removed"),
                          &error) < 0)
            return failed();
    }
    if (!transaction.commit(&error))
        return failed();
    rules = stored;
    return true;
}

bool AlarmJournal::removeRule(qint64 id, qint64 nowMs, const QString& who)
{
    QSqlDatabase db = m_connection.db();
    db::WriteTransaction transaction(db);
    QSqlError error = transaction.error();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("DELETE FROM alarm_rules WHERE id = ?"));
    q.addBindValue(id);
    if (!transaction.isActive() || !run(transaction, q, &error) ||
        closeAlarmsOf(transaction, QStringLiteral("rule = ?"), {id}, nowOr(nowMs), who,
                      QStringLiteral("rule removed"), &error) < 0 ||
        !transaction.commit(&error))
        return fail(error,
                    QCoreApplication::translate("kestavo::history::AlarmJournal", "Removing an alarm rule"),
                    store::Role::Admin);
    return true;
}

int AlarmJournal::closeOrphans(qint64 nowMs)
{
    QSqlDatabase db = m_connection.db();
    db::WriteTransaction transaction(db);
    QSqlError error = transaction.error();
    const int closed =
        transaction.isActive()
            ? closeAlarmsOf(
                  transaction,
                  QStringLiteral("rule >= 0 AND rule NOT IN (SELECT id FROM alarm_rules WHERE enabled <> 0)"),
                  {}, nowOr(nowMs), {}, QStringLiteral("rule removed or disabled"), &error)
            : -1;
    if (closed < 0 || !transaction.commit(&error)) {
        fail(error,
             QCoreApplication::translate("kestavo::history::AlarmJournal",
                                         "Closing the alarms of removed rules"),
             store::Role::Operator);
        return -1;
    }
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
    const bool onStore = isTeam(db);
    db::WriteTransaction transaction(db);
    QSqlError error = transaction.error();
    const auto failed = [&] {
        result = AlarmChange{};
        result.error =
            failure(error, QCoreApplication::translate("kestavo::history::AlarmJournal", "Raising an alarm"),
                    store::Role::Operator);
        return result;
    };
    const auto adoptOpen = [&](bool* found) {
        QSqlQuery open(db);
        open.prepare(QString::fromLatin1(kAlarmColumns) +
                     QStringLiteral("WHERE address = ? AND rule = ? AND state <> 0"));
        open.addBindValue(textValue(fresh.address));
        open.addBindValue(fresh.rule);
        if (!run(transaction, open, &error))
            return false;
        *found = open.next();
        if (*found) {
            result.stored = readAlarm(open);
            result.previous = result.stored->state;
            result.outcome = AlarmChange::Outcome::Adopted;
        }
        return true;
    };
    bool found = false;
    if (!transaction.isActive() || !adoptOpen(&found))
        return failed();
    if (found)
        return result;
    AlarmRecord a = fresh;
    QSqlQuery q(db);
    // On a store another program may raise the same condition at this moment: the index of open
    // alarms lets one insert through, and the other adopts what it wrote.
    q.prepare(QStringLiteral("INSERT INTO alarms (address, rule, priority, text, state, value, raised_t, "
                             "changed_t, acked_by, shelved_until) VALUES (?,?,?,?,?,?,?,?,?,?)") +
              (onStore ? QStringLiteral(" ON CONFLICT (address, rule) WHERE state <> 0 DO NOTHING "
                                        "RETURNING id, acked_by")
                       : QString()));
    for (const QVariant& v :
         {textValue(a.address), QVariant(a.rule), QVariant(int(a.priority)), textValue(a.text),
          QVariant(int(a.state)), optionalValue(a.value), QVariant(a.raisedMs), QVariant(a.changedMs),
          textValue(a.ackedBy), QVariant(a.shelvedUntilMs)})
        q.addBindValue(v);
    if (!run(transaction, q, &error))
        return failed();
    if (onStore) {
        if (!q.next()) {
            if (!adoptOpen(&found) || !found)
                return failed();
            return result;
        }
        a.id = q.value(0).toLongLong();
        a.ackedBy = q.value(1).toString();
    } else {
        a.id = q.lastInsertId().toLongLong();
    }
    if (!logEvent(transaction, a, who, text, &error) || !transaction.commit(&error))
        return failed();
    result.outcome = AlarmChange::Outcome::Applied;
    result.previous = AlarmState::Normal;
    result.stored = a;
    return result;
}

AlarmChange AlarmJournal::update(qint64 id, const Step& step, const QString& who, const QString& text,
                                 const QString& action)
{
    AlarmChange result;
    QSqlDatabase db = m_connection.db();
    const bool onStore = isTeam(db);
    db::WriteTransaction transaction(db);
    QSqlError error = transaction.error();
    const auto failed = [&] {
        result = AlarmChange{};
        result.error = failure(error, action, store::Role::Operator);
        return result;
    };
    bool readFailed = !transaction.isActive();
    const std::optional<AlarmRecord> stored =
        readFailed ? std::nullopt : readAlarmById(transaction, id, &error, &readFailed);
    if (readFailed)
        return failed();
    result.stored = stored;
    result.previous = stored ? stored->state : AlarmState::Normal;
    std::optional<AlarmRecord> next = stored ? step(*stored) : std::nullopt;
    if (!next) {
        result.outcome = AlarmChange::Outcome::Adopted;
        return result;
    }
    QSqlQuery q(db);
    // The store replaces an acknowledger's name by the session's login: what it kept is returned.
    q.prepare(QStringLiteral("UPDATE alarms SET state = ?, value = ?, changed_t = ?, acked_by = ?, "
                             "shelved_until = ? WHERE id = ? AND state = ?") +
              (onStore ? QStringLiteral(" RETURNING acked_by") : QString()));
    for (const QVariant& v : {QVariant(int(next->state)), optionalValue(next->value),
                              QVariant(next->changedMs), textValue(next->ackedBy),
                              QVariant(next->shelvedUntilMs), QVariant(id), QVariant(int(stored->state))})
        q.addBindValue(v);
    if (!run(transaction, q, &error) || q.numRowsAffected() != 1)
        return failed();
    if (onStore && q.next())
        next->ackedBy = q.value(0).toString();
    if (!logEvent(transaction, *next, who, text, &error) || !transaction.commit(&error))
        return failed();
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
        who, text, QCoreApplication::translate("kestavo::history::AlarmJournal", "Changing an alarm"));
}

AlarmChange AlarmJournal::acknowledge(qint64 id, const QString& who, qint64 nowMs)
{
    return update(
        id,
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
        who, {}, QCoreApplication::translate("kestavo::history::AlarmJournal", "Acknowledging an alarm"));
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
        who, text.isEmpty() ? QStringLiteral("shelved until %1").arg(isoUtc(untilMs)) : text,
        QCoreApplication::translate("kestavo::history::AlarmJournal", "Shelving an alarm"));
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
        who, text.isEmpty() ? QStringLiteral("shelving ended") : text,
        QCoreApplication::translate("kestavo::history::AlarmJournal", "Ending the shelving of an alarm"));
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
    return q.exec() ||
           fail(q.lastError(),
                QCoreApplication::translate("kestavo::history::AlarmJournal", "Changing a shared setting"),
                store::Role::Admin);
}

QString AlarmJournal::failure(const QSqlError& error, const QString& action, store::Role needed) const
{
    if (store::isPermissionDenied(error))
        return store::refusal(action, needed);
    const QString text = error.text().trimmed();
    return QCoreApplication::translate("kestavo::history::AlarmJournal", "%1 failed on %2: %3.")
        .arg(action, m_connection.describe(),
             text.isEmpty() ? QCoreApplication::translate("kestavo::history::AlarmJournal",
                                                          "the database did not say why")
                            : text);
}

bool AlarmJournal::fail(const QSqlError& error, const QString& action, store::Role needed)
{
    m_lastError = failure(error, action, needed);
    return false;
}

} // namespace kestavo::history
