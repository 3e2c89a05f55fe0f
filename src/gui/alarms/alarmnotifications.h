#pragma once

#include <functional>
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
/// same alarm, however often it clears and comes back before it is acknowledged. An alarm of a
/// station in maintenance is announced only if it still waits when the maintenance ends.
class AlarmNotifications final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlarmNotifications)

public:
    AlarmNotifications(alarms::AlarmEngine& engine, platform::DesktopNotifier& notifier,
                       QObject* parent = nullptr);

    void setSuppressed(std::function<bool(const QString& address)> suppressed)
    {
        m_suppressed = std::move(suppressed);
    }
    /// Announces the waiting high-priority alarms not announced yet (a maintenance ended).
    void announceWaiting();

private:
    void onChanged(const history::AlarmRecord& alarm, history::AlarmState previous);

    alarms::AlarmEngine& m_engine;
    platform::DesktopNotifier& m_notifier;
    std::function<bool(const QString& address)> m_suppressed;
    std::set<qint64> m_notified;
    std::set<qint64> m_held; // new while their station was in maintenance
};

} // namespace kestavo::alarmwindows
