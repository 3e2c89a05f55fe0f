#include "fleet/linkstate.h"

namespace kestavo::fleet {

QString linkStateText(LinkState state)
{
    switch (state) {
    case LinkState::Online:
        return QStringLiteral("online");
    case LinkState::Stale:
        return QStringLiteral("stale");
    case LinkState::Offline:
        return QStringLiteral("offline");
    case LinkState::BadPassword:
        return QStringLiteral("bad-password");
    case LinkState::Invalid:
        return QStringLiteral("invalid");
    }
    return QString();
}

int problemRank(LinkState state)
{
    switch (state) {
    case LinkState::Offline:
        return 0;
    case LinkState::BadPassword:
        return 1;
    case LinkState::Stale:
        return 2;
    case LinkState::Invalid:
        return 3;
    case LinkState::Online:
        return 4;
    }
    return 5;
}

LinkState evaluateLink(std::optional<qint64> lastReportMs, bool passwordRejected, qint64 nowMs,
                       const LinkLimits& limits)
{
    if (passwordRejected)
        return LinkState::BadPassword;
    if (!lastReportMs)
        return LinkState::Offline;
    // A clock stepped backwards makes the report look younger than it is; it still counts as fresh.
    const qint64 age = nowMs - *lastReportMs;
    if (age < 3 * limits.intervalMs)
        return LinkState::Online;
    if (age < limits.staleMs)
        return LinkState::Stale;
    return LinkState::Offline;
}

} // namespace kestavo::fleet
