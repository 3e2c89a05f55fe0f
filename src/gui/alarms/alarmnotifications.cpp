#include "gui/alarms/alarmnotifications.h"

#include "alarms/alarmengine.h"
#include "platform/desktopnotifier.h"

namespace kestavo::alarmwindows {

AlarmNotifications::AlarmNotifications(alarms::AlarmEngine& engine, platform::DesktopNotifier& notifier,
                                       QObject* parent)
    : QObject(parent), m_engine(engine), m_notifier(notifier)
{
    connect(&engine, &alarms::AlarmEngine::alarmChanged, this, &AlarmNotifications::onChanged);
}

void AlarmNotifications::onChanged(const history::AlarmRecord& alarm, history::AlarmState)
{
    if (alarm.priority != history::AlarmPriority::High ||
        alarm.state != history::AlarmState::ActiveUnacknowledged) {
        m_held.erase(alarm.id);
        return;
    }
    if (m_suppressed && m_suppressed(alarm.address)) {
        m_held.insert(alarm.id);
        return;
    }
    m_held.erase(alarm.id);
    if (!m_notified.insert(alarm.id).second)
        return;
    m_notifier.notify(tr("Kestavo alarm at %1").arg(alarm.address), alarm.text);
}

void AlarmNotifications::announceWaiting()
{
    if (m_held.empty())
        return;
    for (const history::AlarmRecord& alarm : m_engine.openAlarms())
        if (m_held.count(alarm.id))
            onChanged(alarm, alarm.state);
}

} // namespace kestavo::alarmwindows
