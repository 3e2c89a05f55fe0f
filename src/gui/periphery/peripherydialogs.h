#pragma once

namespace kestavo::core {
class DialogRegistry;
}

namespace kestavo::periphery {

/// Serves DialogId::About; the About box opens the web browser itself.
void registerPeripheryDialogs(core::DialogRegistry& registry);

} // namespace kestavo::periphery
