#pragma once

#include <set>

#include <QObject>

#include "history/alarmjournal.h"

namespace kestavo::platform {
class DesktopNotifier;
}

namespace kestavo::alarms {
class AlarmEngine;
}

namespace kestavo::alarmwindows {

/// One desktop notification for each new high-priority alarm, and never a second one for the
/// same alarm, however often it clears and comes back before it is acknowledged.
class AlarmNotifications final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlarmNotifications)

public:
    AlarmNotifications(alarms::AlarmEngine& engine, platform::DesktopNotifier& notifier,
                       QObject* parent = nullptr);

private:
    void onChanged(const history::AlarmRecord& alarm, history::AlarmState previous);

    platform::DesktopNotifier& m_notifier;
    std::set<qint64> m_notified;
};

} // namespace kestavo::alarmwindows
