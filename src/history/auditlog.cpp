#include "history/auditlog.h"

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QVariant>

#include "storelink/storeroles.h"
#include "text/csv.h"

namespace kestavo::history {

bool AuditLog::append(AuditRecord& record)
{
    QSqlDatabase db = m_connection.db();
    const bool onStore = m_connection.isTeamStore();
    QSqlQuery query(db);
    // On a store the user is the session's login, filled in by the database: no client may write it.
    query.prepare(
        onStore ? QStringLiteral("INSERT INTO audit (t, host, program, address, description, action, "
                                 "outcome, detail) VALUES (?, ?, ?, ?, ?, ?, ?, ?) RETURNING id, \"user\"")
                : QStringLiteral("INSERT INTO audit (t, \"user\", host, program, address, description, "
                                 "action, outcome, detail) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    query.addBindValue(record.utcMs);
    if (!onStore)
        query.addBindValue(textValue(record.user));
    for (const QVariant& v : {textValue(record.host), textValue(record.program), textValue(record.address),
                              textValue(record.description), textValue(record.action),
                              textValue(record.outcome), textValue(record.detail)})
        query.addBindValue(v);
    if (!query.exec() || (onStore && !query.next())) {
        const QSqlError error = query.lastError();
        QString message;
        if (!onStore) {
            m_lastError = QCoreApplication::translate(
                              "kestavo::history::AuditLog",
                              "Audit records cannot be written to the history file \"%1\": %2. "
                              "Commands are still sent; the audit log resumes when the file can "
                              "be written again.")
                              .arg(QDir::toNativeSeparators(m_connection.path()), error.text().trimmed());
            message = m_lastError;
        } else {
            m_lastError =
                store::isPermissionDenied(error)
                    ? store::refusal(
                          QCoreApplication::translate("kestavo::history::AuditLog", "Writing the audit log"),
                          store::Role::Operator)
                    : QCoreApplication::translate("kestavo::history::AuditLog",
                                                  "Audit records cannot be written to the store %1: %2.")
                          .arg(m_connection.path(), error.text().trimmed());
            message = m_lastError + u' ' +
                      QCoreApplication::translate("kestavo::history::AuditLog",
                                                  "Commands are still sent; the audit log resumes "
                                                  "when the store can be written again.");
        }
        if (m_writing) {
            m_writing = false;
            qWarning("%s", qPrintable(message));
            if (m_statusHandler)
                m_statusHandler(false, message);
        }
        return false;
    }
    if (onStore) {
        record.id = query.value(0).toLongLong();
        record.user = query.value(1).toString();
    } else {
        record.id = query.lastInsertId().toLongLong();
    }
    if (!m_writing) {
        m_writing = true;
        qInfo("Audit records are written again.");
        if (m_statusHandler)
            m_statusHandler(true, QString());
    }
    return true;
}

QList<AuditRecord> AuditLog::records(const AuditFilter& filter) const
{
    QList<AuditRecord> result;
    QSqlQuery query(m_connection.db());
    query.setForwardOnly(true);
    QString sql =
        QStringLiteral("SELECT id, t, \"user\", host, program, address, description, action, outcome, detail "
                       "FROM audit WHERE t >= ? AND t <= ?");
    if (!filter.address.isEmpty())
        sql += QStringLiteral(" AND address = ?");
    query.prepare(sql + QStringLiteral(" ORDER BY t, id"));
    query.addBindValue(filter.fromMs);
    query.addBindValue(filter.toMs);
    if (!filter.address.isEmpty())
        query.addBindValue(filter.address);
    if (!query.exec())
        return result;
    while (query.next()) {
        AuditRecord r{query.value(0).toLongLong(), query.value(1).toLongLong(), query.value(2).toString(),
                      query.value(3).toString(),   query.value(4).toString(),   query.value(5).toString(),
                      query.value(6).toString(),   query.value(7).toString(),   query.value(8).toString(),
                      query.value(9).toString()};
        if (!filter.text.isEmpty()) {
            const QString all =
                QStringList{r.action, r.outcome, r.detail, r.description, r.user, r.program}.join(u'\n');
            if (!all.contains(filter.text, Qt::CaseInsensitive))
                continue;
        }
        result.append(r);
    }
    return result;
}

QString AuditLog::localUser()
{
    for (const char* name : {"USER", "USERNAME", "LOGNAME"}) {
        const QString user = qEnvironmentVariable(name);
        if (!user.isEmpty())
            return user;
    }
#ifdef Q_OS_UNIX
    if (const passwd* account = ::getpwuid(::geteuid()); account && account->pw_name)
        return QString::fromLocal8Bit(account->pw_name);
#endif
    return QStringLiteral("unknown");
}

QString AuditLog::localHost()
{
    return QSysInfo::machineHostName();
}

QStringList AuditLog::csvHeader()
{
    return {QStringLiteral("time"),    QStringLiteral("user"),    QStringLiteral("host"),
            QStringLiteral("program"), QStringLiteral("station"), QStringLiteral("description"),
            QStringLiteral("action"),  QStringLiteral("outcome"), QStringLiteral("detail")};
}

QStringList AuditLog::csvFields(const AuditRecord& r)
{
    return {isoUtc(r.utcMs), r.user,   r.host,    r.program, r.address,
            r.description,   r.action, r.outcome, r.detail};
}

QString csvLine(const QStringList& fields)
{
    return text::csvRecord(fields);
}

} // namespace kestavo::history
