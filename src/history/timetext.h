#pragma once

// Times as text, one way for every program: the ISO 8601 form exports and commands print, and the
// forms a person types for a point in time (--from, --since, the agent's queries).

#include <optional>

#include <QString>
#include <QtGlobal>

namespace kestavo::history {

/// "2026-12-08T00:10:07.123Z": UTC with milliseconds, the form of every export and command output.
QString isoUtc(qint64 utcMs);
/// "2026-12-08T00:10:07Z": UTC to the second, the form of notifications and alarm reports.
QString isoUtcSeconds(qint64 utcMs);

/// A point in time as typed, or empty when the text is none of these:
///  - ISO 8601 date-time ("2026-12-08T06:00:00Z", "…+01:00"; UTC when no zone is given) or date
///    (midnight UTC);
///  - "now";
///  - a span back from now, with or without a leading '-': units in the order w, d, h, m, s,
///    each at most once ("-90m", "24h", "200d", "1h30m", "-2w"), or plain seconds ("90").
std::optional<qint64> parseTimeText(const QString& text, qint64 nowMs);

} // namespace kestavo::history
