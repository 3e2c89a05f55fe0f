#include "gui/relays/relaydialogs.h"

#include "gui/main/dialogregistry.h"
#include "gui/relays/notificationpopup.h"
#include "gui/relays/relaydialog.h"

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
