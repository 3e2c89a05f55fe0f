#pragma once

namespace kestavo::core {
class DialogRegistry;
}

namespace kestavo::app {

/// Registers every dialog library's windows with the main window's registry.
void registerDialogs(core::DialogRegistry& registry);

} // namespace kestavo::app
