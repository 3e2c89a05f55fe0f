#include "support/postgrescluster.h"

#include <algorithm>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QUuid>

namespace kestavo::testsupport {

namespace {

QString binDir()
{
    const QString wanted = qEnvironmentVariable("KESTAVO_PG_BINDIR");
    if (!wanted.isEmpty())
        return wanted;
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(found.begin(), found.end(),
              [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
    for (const QString& version : found) {
        const QString bin = versions.filePath(version + QStringLiteral("/bin"));
        if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable())
            return bin;
    }
    return QString();
}

QString randomSecret()
{
    return QUuid::createUuid().toString(QUuid::Id128);
}

int freeLoopbackPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

void closeOwnConnections()
{
    for (const QString& name : QSqlDatabase::connectionNames()) {
        if (name.startsWith(QStringLiteral("test-cluster-"))) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }
}

} // namespace

PostgresCluster::PostgresCluster() = default;

PostgresCluster::~PostgresCluster()
{
    closeOwnConnections();
    if (m_running)
        run(m_bin + QStringLiteral("/pg_ctl"),
            {QStringLiteral("-D"), m_serverDir->filePath(QStringLiteral("data")), QStringLiteral("-m"),
             QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")},
            60000);
}

QString PostgresCluster::missingReason()
{
    if (binDir().isEmpty())
        return QStringLiteral(
            "the PostgreSQL server programs (initdb, pg_ctl under /usr/lib/postgresql/*/bin) "
            "are not installed; scripts/setup.sh installs postgresql-15");
    return QString();
}

bool PostgresCluster::run(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    if (m_asPostgres) {
        process.setProgram(QStringLiteral("runuser"));
        process.setArguments(
            QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program} +
            arguments);
    } else {
        process.setProgram(program);
        process.setArguments(arguments);
    }
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start();
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        m_error = QStringLiteral("%1 failed: %2 %3")
                      .arg(QFileInfo(program).fileName(), process.errorString(),
                           QString::fromLocal8Bit(process.readAll()).trimmed());
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
    return true;
}

bool PostgresCluster::start()
{
    m_bin = binDir();
    if (m_bin.isEmpty()) {
        m_error = missingReason();
        return false;
    }
    m_serverDir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kestavo-pg-XXXXXX"));
    m_clientDir = std::make_unique<QTemporaryDir>();
    if (!m_serverDir->isValid() || !m_clientDir->isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    const QString superPassword = randomSecret();
    const QString passwordFile = m_serverDir->filePath(QStringLiteral("pw"));
    {
        QFile file(passwordFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(superPassword.toUtf8() + '\n') < 0) {
            m_error = file.errorString();
            return false;
        }
    }
    // PostgreSQL refuses to run as root: the cluster belongs to "postgres", which must own the folder.
    m_asPostgres = geteuid() == 0;
    if (m_asPostgres) {
        const passwd* user = getpwnam("postgres");
        if (!user) {
            m_error = QStringLiteral("running as root, but there is no \"postgres\" user to run the server");
            return false;
        }
        for (const QString& path : {m_serverDir->path(), passwordFile}) {
            if (chown(QFile::encodeName(path).constData(), user->pw_uid, user->pw_gid) != 0) {
                m_error = QStringLiteral("cannot give %1 to postgres").arg(path);
                return false;
            }
        }
    }
    const QString data = m_serverDir->filePath(QStringLiteral("data"));
    if (!run(m_bin + QStringLiteral("/initdb"),
             {QStringLiteral("-D"), data, QStringLiteral("-U"), QStringLiteral("postgres"),
              QStringLiteral("--auth=scram-sha-256"), QStringLiteral("--pwfile=") + passwordFile,
              QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C"),
              QStringLiteral("--no-sync")},
             120000))
        return false;
    // A port found free may be taken before the server binds it; then another is tried.
    for (int attempt = 0; attempt < 3 && !m_running; ++attempt) {
        m_port = freeLoopbackPort();
        resume();
    }
    if (!m_running)
        return false;
    qputenv("PGPASSFILE", QFile::encodeName(m_clientDir->filePath(QStringLiteral("pgpass"))));
    qunsetenv("PGPASSWORD");
    return addPassword(QStringLiteral("postgres"), superPassword);
}

bool PostgresCluster::stop()
{
    if (!m_running)
        return true;
    closeOwnConnections();
    m_running =
        !run(m_bin + QStringLiteral("/pg_ctl"),
             {QStringLiteral("-D"), m_serverDir->filePath(QStringLiteral("data")), QStringLiteral("-m"),
              QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")},
             60000);
    return !m_running;
}

bool PostgresCluster::resume()
{
    if (m_running)
        return true;
    m_running = run(m_bin + QStringLiteral("/pg_ctl"),
                    {QStringLiteral("-D"), m_serverDir->filePath(QStringLiteral("data")),
                     QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-l"),
                     m_serverDir->filePath(QStringLiteral("server.log")), QStringLiteral("-o"),
                     QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                         .arg(m_port)
                         .arg(m_serverDir->path()),
                     QStringLiteral("start")},
                    90000);
    return m_running;
}

bool PostgresCluster::addPassword(const QString& user, const QString& password)
{
    QFile file(m_clientDir->filePath(QStringLiteral("pgpass")));
    // libpq ignores a password file that others may read.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        m_error = file.errorString();
        return false;
    }
    file.write(QStringLiteral("%1:%2:*:%3:%4\n").arg(host()).arg(m_port).arg(user, password).toUtf8());
    return true;
}

bool PostgresCluster::exec(const QString& sql, const QString& database)
{
    const QString name = QStringLiteral("test-cluster-") + database;
    QSqlDatabase db = QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false)
                                                   : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    if (!db.isOpen()) {
        db.setHostName(host());
        db.setPort(m_port);
        db.setDatabaseName(database);
        db.setUserName(QStringLiteral("postgres"));
        if (!db.open()) {
            m_error = db.lastError().text();
            return false;
        }
    }
    QSqlQuery query(db);
    if (!query.exec(sql)) {
        m_error = QStringLiteral("%1: %2").arg(sql, query.lastError().text());
        return false;
    }
    return true;
}

bool PostgresCluster::addLogin(const QString& name, const QString& attributes)
{
    const QString password = randomSecret();
    return exec(
               QStringLiteral("CREATE ROLE \"%1\" LOGIN %2 PASSWORD '%3'").arg(name, attributes, password)) &&
           addPassword(name, password);
}

QString PostgresCluster::url(const QString& user, const QString& database) const
{
    return QStringLiteral("postgresql://%1@%2:%3/%4").arg(user, host()).arg(m_port).arg(database);
}

} // namespace kestavo::testsupport
