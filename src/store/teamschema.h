#pragma once

// The team store's tables and its three group roles. The tables mirror the station database
// ("ipnumbers" and its extras) and the history file, with the history file's schema number, so one
// numbering of forward migrations serves both back ends. The database enforces who may do what:
//
//   viewer    reads everything except the units' passwords (a column privilege)
//   operator  also reads the passwords, writes readings, alarms, acknowledgements, shelving,
//             leases and the audit log (it is also the agent's role)
//   admin     also edits stations, alarm rules, notification routes, schedules and settings, and
//             grants the viewer and operator roles to logins
//
// Who did it is the database's word: audit rows, alarm events and maintenance windows take the
// session's login from a column default no client may write, and an acknowledgement's name is
// replaced by the session's login by a trigger. Only the store's owner (who ran `store init`) is
// exempt, so that an import keeps a desk's names.

#include <optional>

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>

#include "storelink/storeroles.h"

namespace kestavo::store {

/// The store's schema number: the history file's, which the store's tables mirror.
int storeSchemaVersion();

struct InitResult
{
    bool ok = false;
    bool created = false; // false: the schema was there already and only the grants were renewed
    int version = 0;
    bool denied = false; // the session's login may not do it
    QString error;       // one sentence
};

/// Creates the tables, the group roles and their grants in one transaction; on a store set up
/// already, only renews the roles and grants (running it again is harmless). Refuses a store whose
/// schema is newer than this program's. Needs the database's owner with CREATEROLE.
InitResult initialize(QSqlDatabase db);

struct RoleChange
{
    bool ok = false;
    QStringList before;  // the group roles the login held, as words ("operator")
    bool denied = false; // the session's login may not do it
    QString error;       // one sentence
};

/// Makes `role` the only group role of `login`.
RoleChange grantRole(QSqlDatabase db, const QString& login, Role role);
/// Takes every group role from `login`.
RoleChange revokeRoles(QSqlDatabase db, const QString& login);

struct StoreStatus
{
    bool ok = false;
    QString error;            // one sentence
    QString login;            // the session's login
    std::optional<Role> role; // the highest group role it holds, directly or through another
    bool owner = false;       // it owns the store's tables
    int schemaVersion = 0;    // 0: store init has not run
    qint64 stations = 0;
    qint64 openAlarms = 0;
    qint64 auditRecords = 0;
};

/// Who this session is on the store, and what the store holds (reading only what a viewer may).
StoreStatus storeStatus(QSqlDatabase db);

} // namespace kestavo::store
