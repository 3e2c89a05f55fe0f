#include "app/dialogs.h"

#include "gui/admin/admindialogs.h"
#include "gui/automation/automationdialogs.h"
#include "gui/boards/boarddialogs.h"
#include "gui/main/dialogregistry.h"
#include "gui/options/optionsdialogs.h"
#include "gui/periphery/peripherydialogs.h"
#include "gui/relays/relaydialogs.h"

namespace kestavo::app {

void registerDialogs(core::DialogRegistry& registry)
{
    (void)registry;
    relays::registerRelayDialogs(registry);
    automation::registerAutomationDialogs(registry);
    daughterboards::registerBoardDialogs(registry);
    admin::registerAdminDialogs(registry);
    options::registerOptionsDialogs(registry);
    periphery::registerPeripheryDialogs(registry);
}

} // namespace kestavo::app
