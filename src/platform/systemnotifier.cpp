#include "platform/systemnotifier.h"

#ifdef KESTAVO_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>
#endif

#include "platform/trayicon.h"

namespace kestavo::platform {

SystemNotifier::SystemNotifier(TrayIcon* tray) : m_tray(tray) {}

void SystemNotifier::notify(const QString& title, const QString& text)
{
#ifdef KESTAVO_HAVE_DBUS
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(service)) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            service, QStringLiteral("/org/freedesktop/Notifications"), service, QStringLiteral("Notify"));
        // app name, replaces id, icon, summary, body, actions, hints, timeout (-1: the server's)
        call << QStringLiteral("Kestavo") << 0u << QString() << title << text << QStringList()
             << QVariantMap() << -1;
        bus.call(call, QDBus::NoBlock);
        return;
    }
#endif
    if (m_tray)
        m_tray->showMessage(title, text);
}

} // namespace kestavo::platform
