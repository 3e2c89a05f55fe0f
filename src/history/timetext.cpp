#include "history/timetext.h"

#include <array>

#include <QDateTime>
#include <QRegularExpression>

namespace kestavo::history {

QString isoUtc(qint64 utcMs)
{
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::UTC).toString(Qt::ISODateWithMs);
}

QString isoUtcSeconds(qint64 utcMs)
{
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::UTC).toString(Qt::ISODate);
}

std::optional<qint64> parseTimeText(const QString& text, qint64 nowMs)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    if (t.compare(QStringLiteral("now"), Qt::CaseInsensitive) == 0)
        return nowMs;
    static const QRegularExpression seconds(QStringLiteral("^-?(\\d{1,9})$"));
    if (const QRegularExpressionMatch m = seconds.match(t); m.hasMatch())
        return nowMs - m.captured(1).toLongLong() * 1000;
    static const QRegularExpression span(QStringLiteral("^-?(?:(\\d{1,9})w)?(?:(\\d{1,9})d)?(?:(\\d{1,9})h)?"
                                                        "(?:(\\d{1,9})m)?(?:(\\d{1,9})s)?$"),
                                         QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch m = span.match(t); m.hasMatch()) {
        constexpr std::array<qint64, 5> kMsPer{7 * 86'400'000LL, 86'400'000LL, 3'600'000LL, 60'000LL, 1000LL};
        qint64 back = 0;
        bool any = false;
        for (int group = 1; group <= 5; ++group) {
            if (m.capturedLength(group) == 0)
                continue;
            any = true;
            back += m.captured(group).toLongLong() * kMsPer[std::size_t(group - 1)];
        }
        if (any) // "-" alone matches with no unit
            return nowMs - back;
    }
    QDateTime when = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (!when.isValid())
        when = QDateTime::fromString(t, Qt::ISODate);
    if (!when.isValid())
        when = QDateTime(QDate::fromString(t, Qt::ISODate), QTime(0, 0));
    if (!when.isValid())
        return std::nullopt;
    if (when.timeSpec() == Qt::LocalTime)
        when.setTimeSpec(Qt::UTC); // a time without a zone is UTC, like every time we print
    return when.toMSecsSinceEpoch();
}

} // namespace kestavo::history
