#include "storelink/storeroles.h"

#include <QCoreApplication>

namespace kestavo::store {

namespace {

QString qs(const char* text)
{
    return QString::fromLatin1(text);
}

} // namespace

QString roleName(Role role)
{
    return qs("kestavo_") + roleWord(role);
}

QString roleWord(Role role)
{
    switch (role) {
    case Role::Viewer:
        return qs("viewer");
    case Role::Operator:
        return qs("operator");
    case Role::Admin:
        return qs("admin");
    }
    return QString();
}

std::optional<Role> roleFromWord(const QString& word)
{
    for (const Role role : kRoles) {
        if (word.compare(roleWord(role), Qt::CaseInsensitive) == 0)
            return role;
    }
    return std::nullopt;
}

QString roleSummary(Role role)
{
    switch (role) {
    case Role::Viewer:
        return QCoreApplication::translate(
            "kestavo::store::TeamSchema",
            "reads stations, readings, alarms and the audit log, but not the units' passwords");
    case Role::Operator:
        return QCoreApplication::translate(
            "kestavo::store::TeamSchema",
            "a viewer who also reads the units' passwords (so commands units), acknowledges and "
            "shelves alarms, and writes readings and the audit log");
    case Role::Admin:
        return QCoreApplication::translate(
            "kestavo::store::TeamSchema",
            "an operator who also edits stations, alarm rules, notification routes and schedules, "
            "and gives logins the viewer or operator role");
    }
    return QString();
}

bool isPermissionDenied(const QSqlError& error)
{
    return error.nativeErrorCode() == u"42501";
}

QString refusal(const QString& action, Role needed)
{
    return QCoreApplication::translate(
               "kestavo::store::TeamSchema",
               "The database refused: %1 needs the %2 role (%3); ask the store's administrator "
               "(kestavo-cli store grant LOGIN %2).")
        .arg(action, roleWord(needed), roleName(needed));
}

} // namespace kestavo::store
