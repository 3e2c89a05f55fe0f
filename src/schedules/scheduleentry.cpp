#include "schedules/scheduleentry.h"

#include <optional>

#include <QRegularExpression>

#include "stations/stationextras.h"
#include "stations/stationformat.h"

namespace kestavo::schedules {

namespace {

const QStringList kDayWords = {QStringLiteral("mon"), QStringLiteral("tue"), QStringLiteral("wed"),
                               QStringLiteral("thu"), QStringLiteral("fri"), QStringLiteral("sat"),
                               QStringLiteral("sun")};

} // namespace

bool ScheduleEntry::runsOn(const QDate& date) const
{
    if (!date.isValid() || (weekdays & (1u << (date.dayOfWeek() - 1))) == 0)
        return false;
    if (from.isValid() && date < from)
        return false;
    if (until.isValid() && date > until)
        return false;
    return !except.contains(date);
}

QString ScheduleEntry::problem() const
{
    if (station.isEmpty() == tag.isEmpty())
        return QStringLiteral("station: name one station or one tag");
    if (!station.isEmpty()) {
        if (const QString why = stations::addressProblem(station); !why.isEmpty())
            return QStringLiteral("station: %1").arg(why);
    } else if (const QString why = stations::tagProblem(tag); !why.isEmpty()) {
        return QStringLiteral("tag: %1").arg(why);
    }
    if (action == Action::Script) {
        if (scriptSlot < 1 || scriptSlot > kScriptSlots)
            return QStringLiteral("script: the slot must be 1 to %1").arg(kScriptSlots);
    } else if (relay < 1 || relay > kRelays) {
        return QStringLiteral("relay: must be 1 to %1").arg(kRelays);
    }
    if (action == Action::Pulse && (pulseSeconds < 1 || pulseSeconds > kMaxPulseSeconds))
        return QStringLiteral("pulse: must last 1 to %1 seconds").arg(kMaxPulseSeconds);
    if (anchor == Anchor::Clock && (minuteOfDay < 0 || minuteOfDay >= 24 * 60))
        return QStringLiteral("time: must be 00:00 to 23:59");
    if (anchor != Anchor::Clock &&
        (offsetMinutes < -kMaxSunOffsetMinutes || offsetMinutes > kMaxSunOffsetMinutes))
        return QStringLiteral("offset: must be within %1 minutes of the sun event").arg(kMaxSunOffsetMinutes);
    if ((weekdays & kEveryDay) == 0)
        return QStringLiteral("days: choose at least one weekday");
    if (from.isValid() && until.isValid() && until < from)
        return QStringLiteral("until: %1 is before the first date %2")
            .arg(until.toString(Qt::ISODate), from.toString(Qt::ISODate));
    return QString();
}

QString ScheduleEntry::targetText() const
{
    return station.isEmpty() ? QStringLiteral("tag %1").arg(tag) : station;
}

QString ScheduleEntry::actionText() const
{
    switch (action) {
    case Action::On:
        return QStringLiteral("relay %1 on").arg(relay);
    case Action::Off:
        return QStringLiteral("relay %1 off").arg(relay);
    case Action::Pulse:
        return QStringLiteral("relay %1 pulse %2 s").arg(relay).arg(pulseSeconds);
    case Action::Script:
        return QStringLiteral("script %1").arg(scriptSlot);
    }
    return QString();
}

QString ScheduleEntry::whenText() const
{
    if (anchor == Anchor::Clock)
        return clockText(minuteOfDay);
    QString text = anchorWord(anchor);
    if (offsetMinutes != 0)
        text += (offsetMinutes > 0 ? QStringLiteral("+") : QStringLiteral("-")) +
                QString::number(std::abs(offsetMinutes));
    return text;
}

QString ScheduleEntry::daysText() const
{
    return schedules::daysText(weekdays);
}

QString actionWord(Action action)
{
    switch (action) {
    case Action::On:
        return QStringLiteral("on");
    case Action::Off:
        return QStringLiteral("off");
    case Action::Pulse:
        return QStringLiteral("pulse");
    case Action::Script:
        return QStringLiteral("script");
    }
    return QString();
}

std::optional<Action> actionFromWord(const QString& word)
{
    for (Action a : {Action::On, Action::Off, Action::Pulse, Action::Script})
        if (actionWord(a) == word)
            return a;
    return std::nullopt;
}

QString anchorWord(Anchor anchor)
{
    switch (anchor) {
    case Anchor::Clock:
        return QStringLiteral("at");
    case Anchor::Sunrise:
        return QStringLiteral("sunrise");
    case Anchor::Sunset:
        return QStringLiteral("sunset");
    case Anchor::Dawn:
        return QStringLiteral("dawn");
    case Anchor::Dusk:
        return QStringLiteral("dusk");
    }
    return QString();
}

std::optional<Anchor> anchorFromWord(const QString& word)
{
    for (Anchor a : {Anchor::Clock, Anchor::Sunrise, Anchor::Sunset, Anchor::Dawn, Anchor::Dusk})
        if (anchorWord(a) == word)
            return a;
    return std::nullopt;
}

std::optional<quint8> parseDays(const QString& text, QString* problem)
{
    const QString lower = text.trimmed().toLower();
    if (lower == QStringLiteral("every day") || lower == QStringLiteral("daily") ||
        lower == QStringLiteral("all"))
        return kEveryDay;
    if (lower == QStringLiteral("weekdays"))
        return quint8(0x1f);
    if (lower == QStringLiteral("weekend"))
        return quint8(0x60);
    quint8 mask = 0;
    for (const QString& part : lower.split(u',', Qt::SkipEmptyParts)) {
        const qsizetype day = kDayWords.indexOf(part.trimmed().left(3));
        if (day < 0 || part.trimmed().size() < 3) {
            if (problem)
                *problem = QStringLiteral("'%1' is no weekday (mon, tue, wed, thu, fri, sat, sun)")
                               .arg(part.trimmed());
            return std::nullopt;
        }
        mask |= quint8(1u << day);
    }
    if (mask == 0) {
        if (problem)
            *problem = QStringLiteral("no weekday given");
        return std::nullopt;
    }
    return mask;
}

QString daysText(quint8 mask)
{
    if ((mask & kEveryDay) == kEveryDay)
        return QStringLiteral("every day");
    QStringList days;
    for (int d = 0; d < 7; ++d)
        if (mask & (1u << d))
            days << kDayWords.at(d);
    return days.join(u',');
}

std::optional<int> parseClock(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^([01]?\\d|2[0-3]):([0-5]\\d)$"));
    const auto m = pattern.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toInt() * 60 + m.captured(2).toInt();
}

QString clockText(int minuteOfDay)
{
    return QStringLiteral("%1:%2")
        .arg(minuteOfDay / 60, 2, 10, QLatin1Char('0'))
        .arg(minuteOfDay % 60, 2, 10, QLatin1Char('0'));
}

std::optional<QDate> parseDate(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (!pattern.match(text.trimmed()).hasMatch())
        return std::nullopt;
    const QDate date = QDate::fromString(text.trimmed(), Qt::ISODate);
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

} // namespace kestavo::schedules
