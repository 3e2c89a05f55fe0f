#include "gui/alarms/exitcheck.h"

#include <QCoreApplication>

#include "alarms/alarmengine.h"
#include "platform/prompter.h"

namespace kestavo::alarmwindows {

bool mayExitWithAlarms(const alarms::AlarmEngine& engine, platform::Prompter& prompter)
{
    int unacknowledged = 0;
    for (const history::AlarmRecord& alarm : engine.openAlarms()) {
        if (alarm.state == history::AlarmState::ActiveUnacknowledged ||
            alarm.state == history::AlarmState::ClearedUnacknowledged)
            ++unacknowledged;
    }
    if (unacknowledged == 0)
        return true;
    const QString text =
        unacknowledged == 1
            ? QCoreApplication::translate("kestavo::alarms", "1 alarm is not acknowledged. Exit anyway?")
            : QCoreApplication::translate("kestavo::alarms", "%1 alarms are not acknowledged. Exit anyway?")
                  .arg(unacknowledged);
    return prompter.confirmYesNo(text, QCoreApplication::translate("kestavo::alarms", "Kestavo"));
}

} // namespace kestavo::alarmwindows
