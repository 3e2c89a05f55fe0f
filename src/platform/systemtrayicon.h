#pragma once

#include <functional>
#include <memory>

#include <QIcon>

#include "platform/trayicon.h"

class QSystemTrayIcon;

namespace kestavo::platform {

/// The console's tray icon over QSystemTrayIcon. Where the desktop has no tray (and under the
/// offscreen platform) show() does nothing, so the window is never hidden with no way back.
class SystemTrayIcon final : public TrayIcon
{
public:
    /// The icon is made when the tray icon is first shown: most sessions never show it.
    SystemTrayIcon(std::function<QIcon()> makeIcon, const QString& toolTip);
    ~SystemTrayIcon() override;
    SystemTrayIcon(const SystemTrayIcon&) = delete;
    SystemTrayIcon& operator=(const SystemTrayIcon&) = delete;

    bool isAvailable() const override;
    void show() override;
    void remove() override;
    bool isShown() const override;
    void setActivationHandler(std::function<void()> handler) override;
    void setContextMenu(QMenu* menu) override;
    void showMessage(const QString& title, const QString& text) override;

private:
    std::unique_ptr<QSystemTrayIcon> m_icon;
    std::function<void()> m_onActivated;
    std::function<QIcon()> m_makeIcon;
};

} // namespace kestavo::platform
