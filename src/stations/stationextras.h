#pragma once

// What a station carries beyond its record in "ipnumbers": tags (to act on a group), where it is
// (free text) and, for schedules, its latitude, longitude and IANA time zone. They live in tables
// of their own in the station database, keyed by address, so programs that only know "ipnumbers"
// read and write the file as before.

#include <optional>

#include <QString>
#include <QStringList>

namespace kestavo::stations {

// The extras tables carry their own schema number (the file's user_version belongs to "ipnumbers",
// and raising it would make older programs refuse the whole directory).
inline constexpr int kExtrasSchemaVersion = 1;
inline constexpr qsizetype kMaxTagLength = 64;
inline constexpr qsizetype kMaxLocationLength = 200;

struct StationSite
{
    QString location;
    std::optional<double> latitude;
    std::optional<double> longitude;
    QString zone; // IANA id; empty: the zone of the machine that needs it

    bool isEmpty() const { return location.isEmpty() && !latitude && !longitude && zone.isEmpty(); }
    bool hasPosition() const { return latitude && longitude; }
    friend bool operator==(const StationSite&, const StationSite&) = default;
};

/// Why `tag` cannot be a tag (letters, digits, '-', '_' and '/' between non-empty parts), or empty.
QString tagProblem(const QString& tag);

/// True when any of `tags` is `wanted` or lies below it: "north" takes in "north/pumps".
bool tagMatches(const QStringList& tags, const QString& wanted);

/// The tags of a CSV field: separated by ';', spaces around each ignored, empty parts dropped.
QStringList splitTags(const QString& field);
QString joinTags(const QStringList& tags);

QString latitudeProblem(double latitude);
QString longitudeProblem(double longitude);
/// Empty for an empty zone (the machine's own) and for every zone QTimeZone knows.
QString zoneProblem(const QString& zone);
QString locationProblem(const QString& location);

} // namespace kestavo::stations
