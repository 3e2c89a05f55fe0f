#include "alarms/shelving.h"

#include "history/alarmjournal.h"
#include "history/timetext.h"

namespace kestavo::alarms {

QString durationWords(qint64 ms)
{
    const qint64 minutes = ms / 60000;
    const qint64 hours = minutes / 60;
    if (hours == 0)
        return QStringLiteral("%1 min").arg(minutes);
    if (minutes % 60 == 0)
        return QStringLiteral("%1 h").arg(hours);
    return QStringLiteral("%1 h %2 min").arg(hours).arg(minutes % 60);
}

QString shelveProblem(qint64 durationMs, const QString& reason, qint64 maxMs)
{
    if (durationMs <= 0)
        return QStringLiteral("Shelve for: give a time of at least one minute.");
    if (durationMs > maxMs)
        return QStringLiteral("Shelve for: %1 is longer than the longest shelving, %2.")
            .arg(durationWords(durationMs), durationWords(maxMs));
    if (reason.trimmed().isEmpty())
        return QStringLiteral("Reason: say why the alarm is shelved (it is kept in the event log).");
    return {};
}

QString shelveText(qint64 untilMs, const QString& reason)
{
    const QString until = QStringLiteral("shelved until %1").arg(history::isoUtc(untilMs));
    return reason.trimmed().isEmpty() ? until : until + QStringLiteral(": ") + reason.trimmed();
}

QString maxShelveProblem(qint64 ms)
{
    if (ms < kMaxShelveFloorMs || ms > kMaxShelveCeilingMs || ms % 60000 != 0)
        return QStringLiteral("The longest shelving is a whole number of minutes from %1 to %2.")
            .arg(durationWords(kMaxShelveFloorMs), durationWords(kMaxShelveCeilingMs));
    return {};
}

qint64 maxShelveMs(const history::AlarmJournal& journal, qint64 fallback)
{
    if (!journal.isOpen())
        return fallback;
    const std::optional<QString> stored = journal.setting(kMaxShelveSetting);
    bool ok = false;
    const qint64 ms = stored ? stored->toLongLong(&ok) * 60000 : 0;
    return ok && maxShelveProblem(ms).isEmpty() ? ms : fallback;
}

bool setMaxShelveMs(history::AlarmJournal& journal, qint64 ms)
{
    return maxShelveProblem(ms).isEmpty() &&
           journal.setSetting(kMaxShelveSetting, QString::number(ms / 60000));
}

} // namespace kestavo::alarms
