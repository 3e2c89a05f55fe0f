#pragma once

// The team store's three group roles, by name, and the sentence a refusal by privilege becomes.
// The database enforces who may do what; a program only says which role an action needs.
//
//   viewer    reads everything except the units' passwords (a column privilege)
//   operator  also reads the passwords, writes readings, alarms, acknowledgements, shelving,
//             leases and the audit log (it is also the agent's role)
//   admin     also edits stations, alarm rules, notification routes, schedules and settings, and
//             grants the viewer and operator roles to logins

#include <array>
#include <optional>

#include <QSqlError>
#include <QString>

namespace kestavo::store {

enum class Role { Viewer, Operator, Admin };

inline constexpr std::array<Role, 3> kRoles = {Role::Viewer, Role::Operator, Role::Admin};

/// "kestavo_viewer", … : cluster-wide group roles, shared by every team store of one server.
QString roleName(Role role);
/// "viewer", "operator", "admin" as typed on the command line.
QString roleWord(Role role);
std::optional<Role> roleFromWord(const QString& word);
/// What a member of the role may do, in a few words.
QString roleSummary(Role role);

/// True when the database refused for want of a privilege (SQLSTATE 42501).
bool isPermissionDenied(const QSqlError& error);
/// "… needs the operator role (kestavo_operator) …" for a refusal of `action`.
QString refusal(const QString& action, Role needed);

} // namespace kestavo::store
