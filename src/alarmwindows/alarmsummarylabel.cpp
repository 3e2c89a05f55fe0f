#include "alarmwindows/alarmsummarylabel.h"

#include <QCoreApplication>

#include "alarms/alarmengine.h"

namespace kestavo::alarms {

AlarmSummaryLabel::AlarmSummaryLabel(AlarmEngine& engine, QWidget* parent) : QLabel(parent), m_engine(engine)
{
    setObjectName(QStringLiteral("AlarmSummary"));
    setAccessibleName(QCoreApplication::translate("kestavo::alarms", "Alarms per station"));
    connect(&engine, &AlarmEngine::alarmChanged, this, &AlarmSummaryLabel::refresh);
    refresh();
}

void AlarmSummaryLabel::refresh()
{
    QStringList parts;
    bool high = false;
    for (const QString& address : m_engine.stations()) {
        const AlarmEngine::Summary s = m_engine.summary(address);
        if (s.count == 0)
            continue;
        parts.append(
            QStringLiteral("%1: %2 (%3)").arg(address).arg(s.count).arg(history::priorityText(*s.highest)));
        high = high || *s.highest == AlarmPriority::High;
    }
    setText(parts.isEmpty() ? tr("Alarms: none") : tr("Alarms: ") + parts.join(QStringLiteral("; ")));
    setStyleSheet(high ? QStringLiteral("color: #FF0000; font-weight: bold") : QString());
}

} // namespace kestavo::alarms
