#include "notify/notifystore.h"

#include <QSqlQuery>
#include <QVariant>

#include "history/auditlog.h"

namespace kestavo::notify {

namespace {

using history::textValue;

const char* const kRouteColumns =
    "SELECT id, kind, target, preset, header_file, smtp, mail_from, smtp_user, password_file, priorities, "
    "station, tag, cooldown_s, max_per_hour, repeat_min, send_cleared, send_acknowledged, enabled "
    "FROM notify_routes ";

Route readRoute(const QSqlQuery& q)
{
    Route r;
    r.id = q.value(0).toLongLong();
    r.kind = kindFromText(q.value(1).toString()).value_or(RouteKind::Webhook);
    r.target = q.value(2).toString();
    r.preset = presetFromText(q.value(3).toString()).value_or(WebhookPreset::Json);
    r.headerFile = q.value(4).toString();
    r.smtp = q.value(5).toString();
    r.from = q.value(6).toString();
    r.smtpUser = q.value(7).toString();
    r.passwordFile = q.value(8).toString();
    r.priorities = prioritiesFromText(q.value(9).toString()).value_or(QSet<history::AlarmPriority>());
    r.station = q.value(10).toString();
    r.tag = q.value(11).toString();
    r.cooldownS = q.value(12).toInt();
    r.maxPerHour = q.value(13).toInt();
    r.repeatMin = q.value(14).toInt();
    r.sendCleared = q.value(15).toBool();
    r.sendAcknowledged = q.value(16).toBool();
    r.enabled = q.value(17).toBool();
    return r;
}

const char* const kWindowColumns =
    "SELECT id, address, tag, reason, start_t, end_t, ended_t, who FROM maintenance ";

MaintenanceWindow readWindow(const QSqlQuery& q)
{
    MaintenanceWindow w;
    w.id = q.value(0).toLongLong();
    w.address = q.value(1).toString();
    w.tag = q.value(2).toString();
    w.reason = q.value(3).toString();
    w.startMs = q.value(4).toLongLong();
    w.endMs = q.value(5).toLongLong();
    if (!q.value(6).isNull())
        w.endedMs = q.value(6).toLongLong();
    w.who = q.value(7).toString();
    return w;
}

QString subject(const MaintenanceWindow& w)
{
    return w.address.isEmpty() ? QStringLiteral("tag %1").arg(w.tag) : w.address;
}

} // namespace

QList<Route> NotifyStore::routes() const
{
    QList<Route> result;
    QSqlQuery q(m_connection.db());
    if (q.exec(QString::fromLatin1(kRouteColumns) + QStringLiteral("ORDER BY id")))
        while (q.next())
            result.append(readRoute(q));
    return result;
}

std::optional<Route> NotifyStore::route(qint64 id) const
{
    QSqlQuery q(m_connection.db());
    q.prepare(QString::fromLatin1(kRouteColumns) + QStringLiteral("WHERE id = ?"));
    q.addBindValue(id);
    if (q.exec() && q.next())
        return readRoute(q);
    return std::nullopt;
}

bool NotifyStore::saveRoute(Route& r)
{
    QSqlQuery q(m_connection.db());
    q.prepare(
        r.id == 0
            ? QStringLiteral("INSERT INTO notify_routes (kind, target, preset, header_file, smtp, mail_from, "
                             "smtp_user, password_file, priorities, station, tag, cooldown_s, max_per_hour, "
                             "repeat_min, send_cleared, send_acknowledged, enabled) "
                             "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)")
            : QStringLiteral("UPDATE notify_routes SET kind = ?, target = ?, preset = ?, header_file = ?, "
                             "smtp = ?, mail_from = ?, smtp_user = ?, password_file = ?, priorities = ?, "
                             "station = ?, tag = ?, cooldown_s = ?, max_per_hour = ?, repeat_min = ?, "
                             "send_cleared = ?, send_acknowledged = ?, enabled = ? WHERE id = ?"));
    for (const QVariant& v :
         {textValue(kindText(r.kind)), textValue(r.target), textValue(presetText(r.preset)),
          textValue(r.headerFile), textValue(r.smtp), textValue(r.from), textValue(r.smtpUser),
          textValue(r.passwordFile), textValue(prioritiesText(r.priorities)), textValue(r.station),
          textValue(r.tag), QVariant(r.cooldownS), QVariant(r.maxPerHour), QVariant(r.repeatMin),
          QVariant(r.sendCleared ? 1 : 0), QVariant(r.sendAcknowledged ? 1 : 0), QVariant(r.enabled ? 1 : 0)})
        q.addBindValue(v);
    if (r.id != 0)
        q.addBindValue(r.id);
    if (!q.exec() || (r.id != 0 && q.numRowsAffected() != 1))
        return false;
    if (r.id == 0)
        r.id = q.lastInsertId().toLongLong();
    return true;
}

bool NotifyStore::removeRoute(qint64 id)
{
    QSqlQuery q(m_connection.db());
    q.prepare(QStringLiteral("DELETE FROM notify_routes WHERE id = ?"));
    q.addBindValue(id);
    return q.exec() && q.numRowsAffected() == 1;
}

bool NotifyStore::record(Delivery& d)
{
    QSqlQuery q(m_connection.db());
    q.prepare(
        QStringLiteral("INSERT INTO notify_deliveries (t, route, alarm, address, kind, outcome, attempt, "
                       "detail) VALUES (?,?,?,?,?,?,?,?)"));
    for (const QVariant& v :
         {QVariant(d.timeMs), QVariant(d.route), QVariant(d.alarm), textValue(d.address), textValue(d.kind),
          textValue(d.outcome), QVariant(d.attempt), textValue(d.detail)})
        q.addBindValue(v);
    if (!q.exec())
        return false;
    d.id = q.lastInsertId().toLongLong();
    return true;
}

QList<Delivery> NotifyStore::deliveries(qint64 fromMs, int limit) const
{
    QList<Delivery> result;
    QSqlQuery q(m_connection.db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT id, t, route, alarm, address, kind, outcome, attempt, detail FROM "
                             "notify_deliveries WHERE t >= ? ORDER BY t DESC, id DESC LIMIT ?"));
    q.addBindValue(fromMs);
    q.addBindValue(limit);
    if (q.exec())
        while (q.next())
            result.append(Delivery{q.value(0).toLongLong(), q.value(1).toLongLong(), q.value(2).toLongLong(),
                                   q.value(3).toLongLong(), q.value(4).toString(), q.value(5).toString(),
                                   q.value(6).toString(), q.value(7).toInt(), q.value(8).toString()});
    return result;
}

bool NotifyStore::audit(const QString& program, const QString& address, const QString& description,
                        const QString& action, const QString& detail, qint64 t)
{
    QSqlQuery q(m_connection.db());
    q.prepare(
        QStringLiteral("INSERT INTO audit (t, user, host, program, address, description, action, outcome, "
                       "detail) VALUES (?,?,?,?,?,?,?,?,?)"));
    for (const QVariant& v :
         {QVariant(t), textValue(history::AuditLog::localUser()), textValue(history::AuditLog::localHost()),
          textValue(program), textValue(address), textValue(description), textValue(action),
          QVariant(QStringLiteral("done")), textValue(detail)})
        q.addBindValue(v);
    return q.exec();
}

bool NotifyStore::startMaintenance(MaintenanceWindow& w, const QString& program, const QString& description)
{
    QSqlDatabase db = m_connection.db();
    if (!db.transaction())
        return false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO maintenance (address, tag, reason, start_t, end_t, who) VALUES (?,?,?,?,?,?)"));
    for (const QVariant& v : {textValue(w.address), textValue(w.tag), textValue(w.reason),
                              QVariant(w.startMs), QVariant(w.endMs), textValue(w.who)})
        q.addBindValue(v);
    bool ok = q.exec();
    if (ok)
        w.id = q.lastInsertId().toLongLong();
    ok = ok &&
         audit(program, w.address.isEmpty() ? subject(w) : w.address, description,
               QStringLiteral("maintenance until %1").arg(history::isoUtc(w.endMs)), w.reason, w.startMs);
    if (!ok || !db.commit()) {
        db.rollback();
        return false;
    }
    return true;
}

bool NotifyStore::endMaintenance(qint64 id, qint64 nowMs, const QString& program, const QString& why)
{
    QSqlDatabase db = m_connection.db();
    if (!db.transaction())
        return false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("UPDATE maintenance SET ended_t = ? WHERE id = ? AND ended_t IS NULL"));
    q.addBindValue(nowMs);
    q.addBindValue(id);
    bool ended = q.exec() && q.numRowsAffected() == 1;
    if (ended) {
        q.prepare(QString::fromLatin1(kWindowColumns) + QStringLiteral("WHERE id = ?"));
        q.addBindValue(id);
        ended = q.exec() && q.next();
        if (ended) {
            const MaintenanceWindow w = readWindow(q);
            q.finish();
            ended = audit(program, w.address.isEmpty() ? subject(w) : w.address, {},
                          QStringLiteral("maintenance ended"), why, nowMs);
        }
    }
    if (!ended || !db.commit()) {
        db.rollback();
        return false;
    }
    return true;
}

QList<MaintenanceWindow> NotifyStore::expireMaintenance(qint64 nowMs, const QString& program)
{
    QList<MaintenanceWindow> ended;
    for (const MaintenanceWindow& w : maintenance(true)) {
        if (w.endMs > nowMs)
            continue;
        // Another program may end it first; only the one whose UPDATE matched writes the audit.
        if (endMaintenance(w.id, w.endMs, program, QStringLiteral("time up"))) {
            MaintenanceWindow done = w;
            done.endedMs = w.endMs;
            ended.append(done);
        }
    }
    return ended;
}

QList<MaintenanceWindow> NotifyStore::maintenance(bool currentOnly, qint64 fromMs) const
{
    QList<MaintenanceWindow> result;
    QSqlQuery q(m_connection.db());
    q.setForwardOnly(true);
    if (currentOnly) {
        q.prepare(QString::fromLatin1(kWindowColumns) +
                  QStringLiteral("WHERE ended_t IS NULL ORDER BY start_t"));
    } else {
        q.prepare(QString::fromLatin1(kWindowColumns) +
                  QStringLiteral("WHERE end_t >= ? ORDER BY start_t DESC, id DESC"));
        q.addBindValue(fromMs);
    }
    if (q.exec())
        while (q.next())
            result.append(readWindow(q));
    return result;
}

} // namespace kestavo::notify
