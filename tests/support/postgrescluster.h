#pragma once

// A real PostgreSQL server for the store's tests: a cluster of its own in a temporary folder,
// listening on a free loopback port and on a socket in that folder, stopped (fast) when the object
// goes. Run as root, the server runs as the "postgres" user, as PostgreSQL insists. Logins get
// random passwords, which reach every client of this process through a PGPASSFILE (mode 0600),
// exactly as a team's users would give theirs.

#include <memory>

#include <QString>
#include <QTemporaryDir>

namespace kestavo::testsupport {

class PostgresCluster final
{
    Q_DISABLE_COPY_MOVE(PostgresCluster)

public:
    PostgresCluster();
    ~PostgresCluster();

    /// Non-empty when this machine has no PostgreSQL server programs: the reason to skip.
    static QString missingReason();

    /// initdb, then pg_ctl start; false with error() when either fails.
    bool start();
    QString error() const { return m_error; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    int port() const { return m_port; }

    /// The server goes down (fast: open sessions are cut) and comes back on the same port with
    /// the same data, as a store restarted by its administrator.
    bool stop();
    bool resume();

    /// Runs `sql` as the superuser on `database`; false with error() naming the statement.
    bool exec(const QString& sql, const QString& database = QStringLiteral("postgres"));
    /// CREATE ROLE name LOGIN (plus `attributes`, e.g. "CREATEROLE") with a random password, which
    /// goes into the PGPASSFILE.
    bool addLogin(const QString& name, const QString& attributes = QString());
    /// postgresql://USER@127.0.0.1:PORT/DATABASE
    QString url(const QString& user, const QString& database) const;

private:
    bool run(const QString& program, const QStringList& arguments, int timeoutMs);
    bool addPassword(const QString& user, const QString& password);

    std::unique_ptr<QTemporaryDir> m_serverDir; // owned by the server's user
    std::unique_ptr<QTemporaryDir> m_clientDir; // the PGPASSFILE, owned by this process's user
    QString m_bin;
    QString m_error;
    int m_port = 0;
    bool m_asPostgres = false;
    bool m_running = false;
};

} // namespace kestavo::testsupport
