#include "alarmwindows/alarmwindows.h"

#include "core/dialogregistry.h"

#include "alarmwindows/alarmswindow.h"
#include "alarmwindows/auditwindow.h"

namespace kestavo::alarms {

void registerAlarmWindows(core::DialogRegistry& registry, AlarmServices& services)
{
    registry.add(core::DialogId::Alarms, [&services](core::Context& context, int) -> QWidget* {
        return new AlarmsWindow(context, services);
    });
    registry.add(core::DialogId::Audit, [&services](core::Context& context, int) -> QWidget* {
        return new AuditWindow(context, services);
    });
}

} // namespace kestavo::alarms
