#pragma once

namespace kestavo::core {
class DialogRegistry;
}

namespace kestavo::options {

/// Serves DialogId::Options for the input the main window chose (console state, 1 … 8).
void registerOptionsDialogs(core::DialogRegistry& registry);

} // namespace kestavo::options
