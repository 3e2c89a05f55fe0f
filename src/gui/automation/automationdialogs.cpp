#include "gui/automation/automationdialogs.h"

#include "session/consolestate.h"

#include "gui/automation/ioboxdialog.h"
#include "gui/automation/relayscriptingdialog.h"
#include "gui/automation/temperaturedialog.h"
#include "gui/automation/timerdialog.h"
#include "gui/main/dialogregistry.h"

namespace kestavo::automation {

void registerAutomationDialogs(core::DialogRegistry& registry)
{
    using core::Context;
    using core::DialogId;
    registry.add(DialogId::RelayScripting,
                 [](Context& context, int) { return new RelayScriptingDialog(context); });
    registry.add(DialogId::Timer, [](Context& context, int) { return new TimerDialog(context); });
    // The main window sets the box index in the console state before it asks for the dialog.
    registry.add(DialogId::IoBox,
                 [](Context& context, int) { return new IoBoxDialog(context, context.state.ioBoxIndex()); });
    registry.add(DialogId::Temperature, [](Context& context, int) { return new TemperatureDialog(context); });
}

} // namespace kestavo::automation
