#include "app/dialogs.h"

#include "core/dialogregistry.h"

#include "admin/admindialogs.h"
#include "automation/automationdialogs.h"
#include "daughterboards/boarddialogs.h"
#include "relays/relaydialogs.h"

namespace kestavo::app {

void registerDialogs(core::DialogRegistry& registry)
{
    (void)registry;
    relays::registerRelayDialogs(registry);
    automation::registerAutomationDialogs(registry);
    daughterboards::registerBoardDialogs(registry);
    admin::registerAdminDialogs(registry);
}

} // namespace kestavo::app
