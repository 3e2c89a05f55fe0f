#pragma once

// A team store on a real PostgreSQL server, set up as a team would: a database owned by a login
// with CREATEROLE, `store init` run by it, and one login per role (anna the viewer, otto the
// operator, ada the admin).

#include <memory>

#include <QString>

#include "support/postgrescluster.h"

namespace kestavo::testsupport {

class TeamStore final
{
    Q_DISABLE_COPY_MOVE(TeamStore)

public:
    TeamStore();
    ~TeamStore();

    static inline const QString kOwner = QStringLiteral("owner");
    static inline const QString kViewer = QStringLiteral("anna");
    static inline const QString kOperator = QStringLiteral("otto");
    static inline const QString kAdmin = QStringLiteral("ada");

    /// False with error() when the server, the schema or a grant could not be set up.
    bool start();
    QString error() const { return m_error; }
    /// postgresql://LOGIN@127.0.0.1:PORT/team
    QString url(const QString& login) const;
    /// Runs `sql` on the store as `login`; false with error() naming the statement.
    bool exec(const QString& login, const QString& sql);
    PostgresCluster& cluster() { return *m_cluster; }

private:
    std::unique_ptr<PostgresCluster> m_cluster;
    QString m_error;
};

} // namespace kestavo::testsupport
