#include "gui/relays/notificationpopup.h"

#include "session/consolestate.h"

namespace kestavo::relays {

NotificationPopup::NotificationPopup(core::ConsoleState& state, QObject* parent) : QObject(parent)
{
    connect(&state, &core::ConsoleState::notificationRaised, this, &NotificationPopup::notify);
}

NotificationPopup::~NotificationPopup()
{
    delete m_popup;
}

void NotificationPopup::notify(int kind)
{
    if (m_popup) {
        // Already on screen: bring it forward, keeping its text and its closing time.
        m_popup->raise();
        return;
    }
    m_popup = new RelaySuccess(kind, m_closeMs);
    m_popup->show();
}

} // namespace kestavo::relays
