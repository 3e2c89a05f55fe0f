#include "store/storenotifier.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QVariant>

namespace kestavo::store {

StoreNotifier::StoreNotifier(QSqlDatabase db, QObject* parent) : QObject(parent), m_db(std::move(db)) {}

StoreNotifier::~StoreNotifier()
{
    if (QSqlDriver* driver = m_db.driver(); driver && m_db.isOpen()) {
        for (const QString& channel : std::as_const(m_channels))
            driver->unsubscribeFromNotification(channel);
    }
}

bool StoreNotifier::subscribe(const QStringList& channels)
{
    QSqlDriver* driver = m_db.driver();
    if (!m_db.isOpen() || !driver || !driver->hasFeature(QSqlDriver::EventNotifications)) {
        m_error = QCoreApplication::translate("kestavo::store::StoreNotifier",
                                              "The store's connection cannot listen for changes.");
        return false;
    }
    if (m_channels.isEmpty()) {
        connect(driver, &QSqlDriver::notification, this,
                [this](const QString& name, QSqlDriver::NotificationSource source, const QVariant& payload) {
                    if (m_channels.contains(name))
                        Q_EMIT changed(name, payload.toString(), source == QSqlDriver::SelfSource);
                });
    }
    for (const QString& channel : channels) {
        if (m_channels.contains(channel))
            continue;
        if (!driver->subscribeToNotification(channel)) {
            m_error = QCoreApplication::translate("kestavo::store::StoreNotifier",
                                                  "The store refused to report changes on %1: %2")
                          .arg(channel, driver->lastError().text());
            return false;
        }
        m_channels << channel;
    }
    return true;
}

} // namespace kestavo::store
