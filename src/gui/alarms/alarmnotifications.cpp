#include "gui/alarms/alarmnotifications.h"

#include "alarms/alarmengine.h"
#include "platform/desktopnotifier.h"

namespace kestavo::alarmwindows {

AlarmNotifications::AlarmNotifications(alarms::AlarmEngine& engine, platform::DesktopNotifier& notifier,
                                       QObject* parent)
    : QObject(parent), m_notifier(notifier)
{
    connect(&engine, &alarms::AlarmEngine::alarmChanged, this, &AlarmNotifications::onChanged);
}

void AlarmNotifications::onChanged(const history::AlarmRecord& alarm, history::AlarmState)
{
    if (alarm.priority != history::AlarmPriority::High ||
        alarm.state != history::AlarmState::ActiveUnacknowledged)
        return;
    if (!m_notified.insert(alarm.id).second)
        return;
    m_notifier.notify(tr("Kestavo alarm at %1").arg(alarm.address), alarm.text);
}

} // namespace kestavo::alarmwindows
