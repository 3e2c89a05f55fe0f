#include "gui/alarms/alarmwindows.h"

#include "gui/alarms/alarmswindow.h"
#include "gui/alarms/auditwindow.h"
#include "gui/main/dialogregistry.h"

namespace kestavo::alarmwindows {

void registerAlarmWindows(core::DialogRegistry& registry, AlarmServices& services)
{
    registry.add(core::DialogId::Alarms, [&services](core::Context& context, int) -> QWidget* {
        return new AlarmsWindow(context, services);
    });
    registry.add(core::DialogId::Audit, [&services](core::Context& context, int) -> QWidget* {
        return new AuditWindow(context, services);
    });
}

} // namespace kestavo::alarmwindows
