#pragma once

#include "platform/trayicon.h"

namespace kestavo::testsupport {

/// A tray icon whose availability the test chooses (available by default). Like the real one,
/// show() does nothing where no tray is available; every show() and remove() call is counted.
class FakeTrayIcon final : public platform::TrayIcon
{
public:
    bool isAvailable() const override { return m_available; }
    void show() override;
    void remove() override;
    bool isShown() const override { return m_shown; }
    void setActivationHandler(std::function<void()> handler) override { m_onActivated = std::move(handler); }

    void setAvailable(bool available) { m_available = available; }
    /// What the user does by clicking the icon; only a shown icon can be clicked.
    void activate();

    int showCalls() const { return m_showCalls; }
    int removeCalls() const { return m_removeCalls; }

private:
    bool m_available = true;
    bool m_shown = false;
    int m_showCalls = 0;
    int m_removeCalls = 0;
    std::function<void()> m_onActivated;
};

} // namespace kestavo::testsupport
