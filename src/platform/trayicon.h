#pragma once

#include <functional>

#include <QString>

class QMenu;

namespace kestavo::platform {

/// The console's system-tray icon.
class TrayIcon
{
public:
    virtual ~TrayIcon() = default;
    virtual bool isAvailable() const = 0;
    virtual void show() = 0;
    virtual void remove() = 0;
    virtual bool isShown() const = 0;
    /// Called when the user activates the icon.
    virtual void setActivationHandler(std::function<void()> handler) = 0;
    /// The menu a right click on the icon opens (the main window's `E1`, `A1`, `U1`).
    virtual void setContextMenu(QMenu* menu) { (void)menu; }
    /// A balloon message from the icon, where the desktop shows one.
    virtual void showMessage(const QString& title, const QString& text)
    {
        (void)title;
        (void)text;
    }
};

} // namespace kestavo::platform
