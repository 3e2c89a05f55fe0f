#pragma once

namespace kestavo::core {
class DialogRegistry;
}

namespace kestavo::automation {

/// Adds the relay-script, relay-timer, I/O-box and temperature dialogs to the main window's registry.
void registerAutomationDialogs(core::DialogRegistry& registry);

} // namespace kestavo::automation
