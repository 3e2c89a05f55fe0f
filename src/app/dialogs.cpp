#include "app/dialogs.h"

#include "core/dialogregistry.h"

#include "automation/automationdialogs.h"
#include "relays/relaydialogs.h"

namespace kestavo::app {

void registerDialogs(core::DialogRegistry& registry)
{
    (void)registry;
    relays::registerRelayDialogs(registry);
    automation::registerAutomationDialogs(registry);
}

} // namespace kestavo::app
