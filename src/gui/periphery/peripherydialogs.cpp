#include "gui/periphery/peripherydialogs.h"

#include "gui/main/dialogregistry.h"
#include "gui/periphery/aboutdialog.h"

namespace kestavo::periphery {

void registerPeripheryDialogs(core::DialogRegistry& registry)
{
    registry.add(core::DialogId::About,
                 [](core::Context& context, int) -> QWidget* { return new AboutDialog(context); });
}

} // namespace kestavo::periphery
