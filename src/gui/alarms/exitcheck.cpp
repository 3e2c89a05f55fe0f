#include "alarmwindows/exitcheck.h"

#include <QCoreApplication>

#include "alarms/alarmengine.h"
#include "platform/prompter.h"

namespace kestavo::alarms {

bool mayExitWithAlarms(const AlarmEngine& engine, platform::Prompter& prompter)
{
    int unacknowledged = 0;
    for (const AlarmRecord& alarm : engine.openAlarms()) {
        if (alarm.state == AlarmState::ActiveUnacknowledged ||
            alarm.state == AlarmState::ClearedUnacknowledged)
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

} // namespace kestavo::alarms
