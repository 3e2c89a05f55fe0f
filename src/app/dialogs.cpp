#include "app/dialogs.h"

#include "core/dialogregistry.h"

namespace kestavo::app {

void registerDialogs(core::DialogRegistry& registry)
{
    (void)registry;
}

} // namespace kestavo::app
