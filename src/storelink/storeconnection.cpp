#include "storelink/storeconnection.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace kestavo::store {

StoreConnection::StoreConnection()
    : m_name(QStringLiteral("kestavo-store-") + QUuid::createUuid().toString(QUuid::Id128))
{
}

StoreConnection::~StoreConnection()
{
    close();
}

QSqlDatabase StoreConnection::db() const
{
    return QSqlDatabase::database(m_name, false);
}

bool StoreConnection::open(const StoreUrl& url, const QString& program)
{
    close();
    m_url = url;
    m_error.clear();
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        m_error = QCoreApplication::translate("kestavo::store::StoreConnection",
                                              "The PostgreSQL driver of Qt SQL is not installed, so the "
                                              "store %1 cannot be reached; install "
                                              "the package libqt6sql6-psql.")
                      .arg(url.toString());
        return false;
    }
    {
        QSqlDatabase conn = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        conn.setHostName(url.host);
        conn.setPort(url.port);
        conn.setDatabaseName(url.database);
        conn.setUserName(url.user);
        conn.setConnectOptions(connectOptions(url, program));
        if (!conn.open()) {
            // libpq's own words say whether the login, the password, TLS or the network failed.
            m_error = QCoreApplication::translate("kestavo::store::StoreConnection",
                                                  "The store %1 cannot be opened: %2")
                          .arg(url.toString(), conn.lastError().text().trimmed());
        }
    }
    if (!m_error.isEmpty()) {
        close();
        return false;
    }
    m_open = true;
    m_error.clear();
    return true;
}

QString StoreConnection::sessionUser() const
{
    QSqlQuery query(db());
    return query.exec(QStringLiteral("SELECT session_user")) && query.next() ? query.value(0).toString()
                                                                             : QString();
}

void StoreConnection::close()
{
    m_open = false;
    if (QSqlDatabase::contains(m_name)) {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
}

} // namespace kestavo::store
