#pragma once

// How the console judges the link to one unit from the age of its last report.

#include <optional>

#include <QString>
#include <QtGlobal>

namespace kestavo::fleet {

enum class LinkState {
    Online,      // a report younger than three poll intervals
    Stale,       // the last report is younger than the stale limit
    Offline,     // older than that, or no report yet
    BadPassword, // the unit's last answer rejected the password
    Invalid,     // the station entry cannot be polled at all
};

/// "online", "stale", "offline", "bad-password", "invalid": the words the window, the CLI and
/// the agent show.
QString linkStateText(LinkState state);

/// Operators look at what is broken first: offline, bad-password, stale, invalid, online.
int problemRank(LinkState state);

struct LinkLimits
{
    qint64 intervalMs = 5000;
    qint64 staleMs = 60000;
};

/// The state for a unit whose last report (if any) arrived at lastReportMs, seen at nowMs.
LinkState evaluateLink(std::optional<qint64> lastReportMs, bool passwordRejected, qint64 nowMs,
                       const LinkLimits& limits);

} // namespace kestavo::fleet
