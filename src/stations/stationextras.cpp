#include "stations/stationextras.h"

#include <cmath>

#include <QTimeZone>

#include "text/printable.h"

namespace kestavo::stations {

QString tagProblem(const QString& tag)
{
    // The tag is echoed to terminals and logs: never its control characters.
    const QString shown = text::printable(tag);
    if (tag.isEmpty())
        return QStringLiteral("a tag cannot be empty");
    if (tag.size() > kMaxTagLength)
        return QStringLiteral("tag '%1…' is longer than %2 characters")
            .arg(shown.left(20))
            .arg(kMaxTagLength);
    for (const QChar c : tag) {
        const bool ascii = c.unicode() < 0x80;
        if (!(ascii && (c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u'/')))
            return QStringLiteral("tag '%1' may hold only letters, digits, '-', '_' and '/'").arg(shown);
    }
    if (tag.startsWith(u'/') || tag.endsWith(u'/') || tag.contains(QStringLiteral("//")))
        return QStringLiteral("tag '%1' has an empty part between slashes").arg(tag);
    return QString();
}

bool tagMatches(const QStringList& tags, const QString& wanted)
{
    for (const QString& tag : tags) {
        if (tag == wanted || (tag.startsWith(wanted) && tag.at(wanted.size()) == u'/'))
            return true;
    }
    return false;
}

QStringList splitTags(const QString& field)
{
    QStringList tags;
    for (const QString& part : field.split(u';', Qt::SkipEmptyParts)) {
        const QString tag = part.trimmed();
        if (!tag.isEmpty() && !tags.contains(tag))
            tags.append(tag);
    }
    return tags;
}

QString joinTags(const QStringList& tags)
{
    return tags.join(u';');
}

QString latitudeProblem(double latitude)
{
    if (!std::isfinite(latitude) || latitude < -90.0 || latitude > 90.0)
        return QStringLiteral("latitude %1 is not between -90 and 90").arg(latitude);
    return QString();
}

QString longitudeProblem(double longitude)
{
    if (!std::isfinite(longitude) || longitude < -180.0 || longitude > 180.0)
        return QStringLiteral("longitude %1 is not between -180 and 180").arg(longitude);
    return QString();
}

QString zoneProblem(const QString& zone)
{
    if (zone.isEmpty() || QTimeZone::isTimeZoneIdAvailable(zone.toUtf8()))
        return QString();
    return QStringLiteral("time zone '%1' is not known on this machine (an IANA name such as "
                          "Europe/Berlin)")
        .arg(zone);
}

QString locationProblem(const QString& location)
{
    if (location.size() > kMaxLocationLength)
        return QStringLiteral("the location is longer than %1 characters").arg(kMaxLocationLength);
    for (const QChar c : location) {
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("the location holds a control character");
    }
    return QString();
}

} // namespace kestavo::stations
