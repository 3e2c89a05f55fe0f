#include "platform/systemtrayicon.h"

#include <QSystemTrayIcon>

namespace kestavo::platform {

SystemTrayIcon::SystemTrayIcon(std::function<QIcon()> makeIcon, const QString& toolTip)
    : m_icon(std::make_unique<QSystemTrayIcon>()), m_makeIcon(std::move(makeIcon))
{
    m_icon->setToolTip(toolTip);
    QObject::connect(m_icon.get(), &QSystemTrayIcon::activated, m_icon.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         // A right click opens the context menu of some trays; it is not a request
                         // to bring the window back.
                         if (reason == QSystemTrayIcon::Context)
                             return;
                         if (m_onActivated)
                             m_onActivated();
                     });
}

SystemTrayIcon::~SystemTrayIcon() = default;

bool SystemTrayIcon::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTrayIcon::show()
{
    if (!isAvailable())
        return;
    if (m_icon->icon().isNull() && m_makeIcon)
        m_icon->setIcon(m_makeIcon());
    m_icon->show();
}

void SystemTrayIcon::remove()
{
    m_icon->hide();
}

bool SystemTrayIcon::isShown() const
{
    return m_icon->isVisible();
}

void SystemTrayIcon::setActivationHandler(std::function<void()> handler)
{
    m_onActivated = std::move(handler);
}

void SystemTrayIcon::setContextMenu(QMenu* menu)
{
    m_icon->setContextMenu(menu);
}

void SystemTrayIcon::showMessage(const QString& title, const QString& text)
{
    // A balloon needs a visible icon; where there is no tray there is nowhere to show it.
    if (m_icon->isVisible())
        m_icon->showMessage(title, text, QSystemTrayIcon::Warning);
}

} // namespace kestavo::platform
