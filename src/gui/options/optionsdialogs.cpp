#include "gui/options/optionsdialogs.h"

#include "session/consolestate.h"

#include "gui/main/dialogregistry.h"
#include "gui/main/mainform.h"
#include "gui/options/optionsdialog.h"

namespace kestavo::options {

void registerOptionsDialogs(core::DialogRegistry& registry)
{
    registry.add(core::DialogId::Options, [](core::Context& context, int argument) -> QWidget* {
        // The chosen input is console state; the request's argument only stands in when nothing
        // has set it.
        int input = context.state.optionsInput();
        if (input < 1 || input > 8)
            input = argument;
        if (input < 1 || input > 8)
            return nullptr;
        return new OptionsDialog(context, input, qobject_cast<core::MainForm*>(context.mainWindow));
    });
}

} // namespace kestavo::options
