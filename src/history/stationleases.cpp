#include "history/stationleases.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QUuid>
#include <QVariant>

#include "history/historydb.h"
#include "storelink/storeroles.h"

namespace kestavo::history {

int StationLeases::precedenceOf(const QString& program)
{
    if (program == u"agent")
        return 2;
    if (program == u"console")
        return 1;
    return 0;
}

QString StationLeases::newHolder()
{
    return QStringLiteral("%1:%2:%3")
        .arg(QSysInfo::machineHostName())
        .arg(QCoreApplication::applicationPid())
        .arg(QUuid::createUuid().toString(QUuid::Id128).left(8));
}

std::optional<QSet<QString>> StationLeases::acquire(const QStringList& addresses, const QString& holder,
                                                    const QString& program, qint64 nowMs, qint64 ttlMs)
{
    QSqlDatabase db = m_connection.db();
    db::WriteTransaction transaction(db);
    QSqlError error = transaction.error();
    if (!transaction.isActive()) {
        fail(error);
        return std::nullopt;
    }
    const int precedence = precedenceOf(program);
    QSet<QString> held;
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO leases (address, holder, program, precedence, expires_t) VALUES (?,?,?,?,?) "
        "ON CONFLICT (address) DO UPDATE SET holder = excluded.holder, program = excluded.program, "
        "precedence = excluded.precedence, expires_t = excluded.expires_t "
        "WHERE leases.holder = excluded.holder OR leases.expires_t <= ? OR leases.precedence < "
        "excluded.precedence"));
    for (const QString& address : addresses) {
        for (const QVariant& v : {QVariant(address), QVariant(holder), QVariant(program),
                                  QVariant(precedence), QVariant(nowMs + ttlMs), QVariant(nowMs)})
            q.addBindValue(v);
        if (!q.exec()) {
            fail(q.lastError());
            // Before the statement is freed: a store refuses even that in an aborted transaction.
            transaction.rollback();
            return std::nullopt;
        }
        if (q.numRowsAffected() == 1)
            held.insert(address);
    }
    if (!transaction.commit(&error)) {
        fail(error);
        return std::nullopt;
    }
    return held;
}

bool StationLeases::release(const QString& holder)
{
    QSqlQuery q(m_connection.db());
    q.prepare(QStringLiteral("DELETE FROM leases WHERE holder = ?"));
    q.addBindValue(holder);
    return q.exec() || fail(q.lastError());
}

bool StationLeases::fail(const QSqlError& error)
{
    m_lastError = store::isPermissionDenied(error)
                      ? store::refusal(QCoreApplication::translate("kestavo::history::StationLeases",
                                                                   "Holding the lease of a station"),
                                       store::Role::Operator)
                      : QCoreApplication::translate("kestavo::history::StationLeases",
                                                    "The leases of the stations cannot be written to %1: %2.")
                            .arg(m_connection.describe(), error.text().trimmed());
    return false;
}

QList<StationLease> StationLeases::leases(qint64 nowMs) const
{
    QList<StationLease> result;
    QSqlQuery q(m_connection.db());
    q.prepare(QStringLiteral("SELECT address, holder, program, precedence, expires_t FROM leases WHERE "
                             "expires_t > ? ORDER BY address"));
    q.addBindValue(nowMs);
    if (!q.exec())
        return result;
    while (q.next())
        result.append(StationLease{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                                   q.value(3).toInt(), q.value(4).toLongLong()});
    return result;
}

} // namespace kestavo::history
