#pragma once

#include "platform/desktopnotifier.h"

namespace kestavo::platform {

class TrayIcon;

/// Desktop notifications over the freedesktop notification service on the session bus where
/// Qt D-Bus and the service are there, otherwise as the tray icon's balloon message.
class SystemNotifier final : public DesktopNotifier
{
public:
    explicit SystemNotifier(TrayIcon* tray);

    void notify(const QString& title, const QString& text) override;

private:
    TrayIcon* m_tray;
};

} // namespace kestavo::platform
