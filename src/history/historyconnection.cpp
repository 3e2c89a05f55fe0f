#include "history/historyconnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include "history/historydb.h"
#include "history/historystore.h"
#include "storelink/storeconnection.h"
#include "storelink/storeurl.h"

namespace kestavo::history {

QString defaultHistoryPath(const QString& stationDatabasePath)
{
    return QFileInfo(stationDatabasePath).absoluteDir().filePath(QStringLiteral("history.db"));
}

HistoryConnection::HistoryConnection()
    : m_name(QStringLiteral("kestavo-history-") + QUuid::createUuid().toString(QUuid::Id128))
{
}

HistoryConnection::~HistoryConnection()
{
    close();
}

QSqlDatabase HistoryConnection::db() const
{
    return m_store ? m_store->db() : QSqlDatabase::database(m_name, false);
}

QString HistoryConnection::describe() const
{
    return m_store || store::isStoreAddress(m_path)
               ? QCoreApplication::translate("kestavo::history::HistoryConnection", "the store %1")
                     .arg(m_path)
               : QCoreApplication::translate("kestavo::history::HistoryConnection", "the history file \"%1\"")
                     .arg(db::nativePath(m_path));
}

bool HistoryConnection::open(const QString& location, const QString& program)
{
    close();
    m_path = location;
    const bool ok = store::isStoreAddress(location) ? openStore(location, program) : openFile(location);
    if (!ok) {
        close();
        return false;
    }
    m_open = true;
    m_error.clear();
    return true;
}

bool HistoryConnection::openFile(const QString& path)
{
    const QString file = db::nativePath(path);
    const QFileInfo info(path);
    if (!info.exists()) {
        QFile create(path);
        if (!info.dir().exists() || !create.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                                                 QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            m_error = QStringLiteral(
                          "The history file \"%1\" cannot be created (%2); check that its folder exists.")
                          .arg(file, create.errorString());
            return false;
        }
    } else if (const QString problem = db::checkExistingFile(path, HistoryStore::kSchemaVersion);
               !problem.isEmpty()) {
        m_error = problem;
        return false;
    }
    QSqlDatabase conn = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    conn.setDatabaseName(path);
    // Another program may be inside a write; a command waits a moment for it rather than fail.
    conn.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    QString error;
    if (!conn.open()) {
        error = db::sqlError(conn);
    } else {
        QSqlQuery(conn).exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        db::migrate(conn, HistoryStore::kSchemaVersion, &error);
    }
    if (!error.isEmpty()) {
        m_error = QCoreApplication::translate("kestavo::history::HistoryConnection",
                                              "The history file \"%1\" cannot be opened: %2.")
                      .arg(file, error);
        return false;
    }
    return true;
}

bool HistoryConnection::openStore(const QString& address, const QString& program)
{
    const store::StoreUrlParse parsed = store::parseStoreUrl(address);
    if (!parsed.ok()) {
        m_error = parsed.error;
        return false;
    }
    // The address as the store's sentences write it (no password can be in it: parsing refuses one).
    m_path = parsed.url.toString();
    m_store = std::make_unique<store::StoreConnection>();
    if (!m_store->open(parsed.url, program.isEmpty() ? QCoreApplication::applicationName() : program)) {
        m_error = m_store->error();
        return false;
    }
    QSqlDatabase db = m_store->db();
    m_error = db::checkStore(db, HistoryStore::kSchemaVersion);
    if (!m_error.isEmpty())
        return false;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT session_user")) || !query.next()) {
        m_error = QCoreApplication::translate("kestavo::history::db", "The store %1 cannot be read: %2.")
                      .arg(m_path, query.lastError().text().trimmed());
        return false;
    }
    m_sessionUser = query.value(0).toString();
    return true;
}

void HistoryConnection::close()
{
    m_open = false;
    m_sessionUser.clear();
    m_store.reset();
    if (QSqlDatabase::contains(m_name)) {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
}

} // namespace kestavo::history
