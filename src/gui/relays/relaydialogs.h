#pragma once

class QObject;

namespace kestavo::core {
class ConsoleState;
class DialogRegistry;
} // namespace kestavo::core

namespace kestavo::relays {

class NotificationPopup;

/// Serves DialogId::Relay (argument 1 … 3: `Switch1` … `Switch3`).
void registerRelayDialogs(core::DialogRegistry& registry);

/// Shows the notification pop-up whenever `state` raises a notification, for as long as `owner`
/// lives. Call once.
NotificationPopup* attachNotifications(core::ConsoleState& state, QObject* owner);

} // namespace kestavo::relays
