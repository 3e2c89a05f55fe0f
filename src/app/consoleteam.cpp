#include "app/consoleteam.h"

#include <QCoreApplication>
#include <QLabel>
#include <QStatusBar>

#include "stations/stationstore.h"

#include "alarms/alarmengine.h"
#include "app/consolealarms.h"
#include "gui/main/mainform.h"
#include "store/teamstations.h"
#include "storelink/storeconnection.h"

namespace kestavo::app {

ConsoleTeam::ConsoleTeam(const store::StoreUrl& url, stations::StationStore& stations, core::MainForm& form,
                         QObject* parent)
    : QObject(parent), m_url(url), m_stations(stations), m_form(form)
{
    m_form.setWindowTitle(title(m_form.windowTitle(), m_url));
    m_banner = new QLabel(&m_form);
    m_banner->setObjectName(QStringLiteral("StoreBanner"));
    m_banner->setAccessibleName(QCoreApplication::translate("kestavo::app::ConsoleTeam", "Store connection"));
    m_banner->setStyleSheet(QStringLiteral("QLabel { background: #b3261e; color: white; padding: 0 6px; }"));
    m_banner->hide();
    m_form.statusBar()->addPermanentWidget(m_banner);
}

ConsoleTeam::~ConsoleTeam()
{
    if (m_watch) {
        // The watch's connection belongs to its thread: it is closed there, then the thread ends.
        QMetaObject::invokeMethod(m_watch, &store::StoreWatch::stop, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
        delete m_watch;
    }
}

QString ConsoleTeam::title(const QString& base, const store::StoreUrl& url)
{
    return QStringLiteral("%1 - %2").arg(base, url.toString());
}

QString ConsoleTeam::bannerText(const QDateTime& since, const QDateTime& now)
{
    const QString when = since.date() == now.date() ? since.toString(QStringLiteral("HH:mm:ss"))
                                                    : since.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return QCoreApplication::translate("kestavo::app::ConsoleTeam", "Store unreachable since %1").arg(when);
}

QString ConsoleTeam::openStations()
{
    store::StoreConnection connection;
    if (!connection.open(m_url, QStringLiteral("kestavo")))
        return connection.error();
    const stations::StationStore::OpenResult opened = store::openTeamStations(m_stations, connection);
    m_stationsOpen = opened.ok;
    return opened.error;
}

void ConsoleTeam::start()
{
    m_watch = new store::StoreWatch(m_url, QStringLiteral("kestavo"));
    m_watch->setTiming(m_timing);
    m_watch->setClock(m_clock);
    m_watch->moveToThread(&m_thread);
    connect(m_watch, &store::StoreWatch::stationsChanged, this, &ConsoleTeam::stationsChanged);
    connect(m_watch, &store::StoreWatch::alarmsChanged, this, &ConsoleTeam::alarmsChanged);
    connect(m_watch, &store::StoreWatch::unreachable, this, &ConsoleTeam::unreachable);
    connect(m_watch, &store::StoreWatch::reachable, this, &ConsoleTeam::reachable);
    m_thread.setObjectName(QStringLiteral("store watch"));
    m_thread.start();
    QMetaObject::invokeMethod(m_watch, &store::StoreWatch::start, Qt::QueuedConnection);
}

void ConsoleTeam::stationsChanged()
{
    if (!m_stationsOpen || !m_stations.reload())
        return;
    m_form.refreshStations();
    Q_EMIT stationsReloaded();
}

void ConsoleTeam::alarmsChanged()
{
    if (m_alarms)
        m_alarms->engine().syncFromJournal();
}

void ConsoleTeam::unreachable(const QDateTime& since, const QString& error)
{
    m_banner->setText(bannerText(since, m_clock()));
    m_banner->setToolTip(error);
    m_banner->show();
}

// Whatever changed while the store was away came with no notice: everything is read again, over
// new connections (the old ones died with the store's sessions).
void ConsoleTeam::reachable()
{
    m_banner->hide();
    m_banner->clear();
    if (!m_stationsOpen) {
        if (openStations().isEmpty())
            m_form.loadStations();
    } else {
        stationsChanged();
    }
    if (m_alarms)
        m_alarms->reconnect();
}

} // namespace kestavo::app
