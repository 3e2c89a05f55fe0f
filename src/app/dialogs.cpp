#include "app/dialogs.h"

#include "core/dialogregistry.h"

#include "admin/admindialogs.h"
#include "automation/automationdialogs.h"
#include "daughterboards/boarddialogs.h"
#include "options/optionsdialogs.h"
#include "periphery/peripherydialogs.h"
#include "relays/relaydialogs.h"

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
