#include "app/dialogs.h"

#include "core/dialogregistry.h"

#include "relays/relaydialogs.h"

namespace kestavo::app {

void registerDialogs(core::DialogRegistry& registry)
{
    (void)registry;
    relays::registerRelayDialogs(registry);
}

} // namespace kestavo::app
