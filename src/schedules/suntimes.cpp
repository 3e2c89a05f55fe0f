#include "schedules/suntimes.h"

#include <cmath>
#include <numbers>

namespace kestavo::schedules {

namespace {

constexpr double kDeg = std::numbers::pi / 180.0;
constexpr qint64 kDayMs = 86'400'000;

double wrap360(double degrees)
{
    const double r = std::fmod(degrees, 360.0);
    return r < 0 ? r + 360.0 : r;
}

struct SunPosition
{
    double declination;    // degrees
    double equationOfTime; // minutes
};

// The sun's apparent declination and the equation of time at `ms` (milliseconds since the epoch).
SunPosition position(double ms)
{
    const double julianDay = ms / double(kDayMs) + 2440587.5;
    const double t = (julianDay - 2451545.0) / 36525.0;
    const double l0 = wrap360(280.46646 + t * (36000.76983 + t * 0.0003032));
    const double m = 357.52911 + t * (35999.05029 - 0.0001537 * t);
    const double e = 0.016708634 - t * (0.000042037 + 0.0000001267 * t);
    const double c = std::sin(m * kDeg) * (1.914602 - t * (0.004817 + 0.000014 * t)) +
                     std::sin(2 * m * kDeg) * (0.019993 - 0.000101 * t) + std::sin(3 * m * kDeg) * 0.000289;
    const double omega = 125.04 - 1934.136 * t;
    const double lambda = l0 + c - 0.00569 - 0.00478 * std::sin(omega * kDeg);
    const double seconds = 21.448 - t * (46.815 + t * (0.00059 - t * 0.001813));
    const double epsilon = 23.0 + (26.0 + seconds / 60.0) / 60.0 + 0.00256 * std::cos(omega * kDeg);
    const double declination = std::asin(std::sin(epsilon * kDeg) * std::sin(lambda * kDeg)) / kDeg;
    const double y = std::pow(std::tan(epsilon * kDeg / 2), 2);
    const double eot = y * std::sin(2 * l0 * kDeg) - 2 * e * std::sin(m * kDeg) +
                       4 * e * y * std::sin(m * kDeg) * std::cos(2 * l0 * kDeg) -
                       0.5 * y * y * std::sin(4 * l0 * kDeg) - 1.25 * e * e * std::sin(2 * m * kDeg);
    return {declination, 4.0 * eot / kDeg};
}

double zenithOf(SunEvent event)
{
    return event == SunEvent::Dawn || event == SunEvent::Dusk ? 96.0 : 90.833;
}

bool rising(SunEvent event)
{
    return event == SunEvent::Dawn || event == SunEvent::Sunrise;
}

struct Found
{
    std::optional<double> ms;
    SunTime::Missing missing = SunTime::Missing::No;
};

// The event around local solar noon of the UTC day starting at `dayMs`. Each pass evaluates the
// sun at the previous estimate: near the polar circles the declination moves enough in half a day
// to shift the answer by minutes.
Found eventOnUtcDay(SunEvent event, qint64 dayMs, double latitude, double longitude)
{
    double estimate = double(dayMs) + kDayMs / 2.0 - longitude * 4.0 * 60'000.0;
    const double cosZenith = std::cos(zenithOf(event) * kDeg);
    for (int pass = 0; pass < 5; ++pass) {
        const SunPosition sun = position(estimate);
        const double cosHourAngle =
            cosZenith / (std::cos(latitude * kDeg) * std::cos(sun.declination * kDeg)) -
            std::tan(latitude * kDeg) * std::tan(sun.declination * kDeg);
        if (cosHourAngle > 1.0)
            return {std::nullopt, SunTime::Missing::SunStaysBelow};
        if (cosHourAngle < -1.0)
            return {std::nullopt, SunTime::Missing::SunStaysAbove};
        const double hourAngle = std::acos(cosHourAngle) / kDeg;
        const double noonMinutes = 720.0 - 4.0 * longitude - sun.equationOfTime;
        const double minutes = noonMinutes + (rising(event) ? -4.0 : 4.0) * hourAngle;
        estimate = double(dayMs) + minutes * 60'000.0;
    }
    return {estimate, SunTime::Missing::No};
}

} // namespace

SunTime sunTime(SunEvent event, const QDate& localDate, double latitude, double longitude,
                const QTimeZone& zone)
{
    SunTime result;
    if (!localDate.isValid())
        return result;
    const qint64 utcDay = QDateTime(localDate, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
    // The zone's date and the UTC date of an event differ by up to a day either way, so the
    // neighbouring UTC days are asked too and the one falling on the local date is kept.
    for (const qint64 day : {utcDay, utcDay - kDayMs, utcDay + kDayMs}) {
        const Found found = eventOnUtcDay(event, day, latitude, longitude);
        if (!found.ms) {
            if (day == utcDay)
                result.missing = found.missing;
            continue;
        }
        const QDateTime utc = QDateTime::fromMSecsSinceEpoch(qint64(std::llround(*found.ms)), Qt::UTC);
        if (utc.toTimeZone(zone).date() == localDate) {
            result.utc = utc;
            result.missing = SunTime::Missing::No;
            return result;
        }
    }
    if (result.missing == SunTime::Missing::No) {
        // The event skips this date (it crosses midnight); say what the sun does at local noon.
        const Found noon = eventOnUtcDay(event, utcDay, latitude, longitude);
        result.missing =
            noon.missing == SunTime::Missing::No ? SunTime::Missing::SunStaysAbove : noon.missing;
    }
    return result;
}

QString missingText(SunEvent event, SunTime::Missing missing)
{
    const bool twilight = event == SunEvent::Dawn || event == SunEvent::Dusk;
    if (missing == SunTime::Missing::SunStaysAbove)
        return twilight ? QStringLiteral("white night") : QStringLiteral("polar day");
    if (missing == SunTime::Missing::SunStaysBelow)
        return twilight ? QStringLiteral("no twilight") : QStringLiteral("polar night");
    return QString();
}

} // namespace kestavo::schedules
