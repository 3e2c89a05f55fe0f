#include "relays/relaydialogs.h"

#include "core/dialogregistry.h"

#include "relays/notificationpopup.h"
#include "relays/relaydialog.h"

namespace kestavo::relays {

void registerRelayDialogs(core::DialogRegistry& registry)
{
    registry.add(core::DialogId::Relay, [](core::Context& context, int relay) -> QWidget* {
        if (relay < 1 || relay > 3)
            return nullptr;
        return new RelayDialog(context, relay);
    });
}

NotificationPopup* attachNotifications(core::ConsoleState& state, QObject* owner)
{
    return new NotificationPopup(state, owner);
}

} // namespace kestavo::relays
