#pragma once

namespace kestavo::core {
class DialogRegistry;
}

namespace kestavo::admin {

/// Security settings, IP and MAC address change, station name and uptime.
void registerAdminDialogs(core::DialogRegistry& registry);

} // namespace kestavo::admin
