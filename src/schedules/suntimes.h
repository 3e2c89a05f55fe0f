#pragma once

// Sunrise, sunset and civil twilight by the solar-position equations national almanac services
// publish (the NOAA solar calculator's series for the sun's longitude, obliquity and equation of
// time), iterated at the event's own time so high latitudes stay within a minute of the tables.
// Sunrise and sunset are the upper limb on the horizon with standard refraction (the centre
// 0.833° below); civil dawn and dusk the centre 6° below.

#include <optional>

#include <QDate>
#include <QDateTime>
#include <QTimeZone>

namespace kestavo::schedules {

enum class SunEvent { Dawn, Sunrise, Sunset, Dusk };

struct SunTime
{
    enum class Missing { No, SunStaysAbove, SunStaysBelow };
    QDateTime utc; // invalid when the event does not happen on that date
    Missing missing = Missing::No;

    bool happens() const { return utc.isValid(); }
};

/// The event on `localDate` as the zone's clocks count dates. Latitude north and longitude east
/// positive, in degrees.
SunTime sunTime(SunEvent event, const QDate& localDate, double latitude, double longitude,
                const QTimeZone& zone);

/// What to print instead of a time: "polar day", "polar night", "white night", "no twilight".
QString missingText(SunEvent event, SunTime::Missing missing);

} // namespace kestavo::schedules
