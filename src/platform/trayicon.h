#pragma once

#include <functional>

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
};

} // namespace kestavo::platform
