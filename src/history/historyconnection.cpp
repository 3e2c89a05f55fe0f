#include "history/historyconnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QUuid>

#include "history/historydb.h"
#include "history/historystore.h"

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
    return QSqlDatabase::database(m_name, false);
}

bool HistoryConnection::open(const QString& path)
{
    close();
    m_path = path;
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
        close();
        return false;
    }
    m_open = true;
    m_error.clear();
    return true;
}

void HistoryConnection::close()
{
    m_open = false;
    if (QSqlDatabase::contains(m_name)) {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
}

} // namespace kestavo::history
