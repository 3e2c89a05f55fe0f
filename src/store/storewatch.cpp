#include "store/storewatch.h"

#include <QSqlError>
#include <QSqlQuery>

#include "store/storenotifier.h"
#include "storelink/storeconnection.h"

namespace kestavo::store {

StoreWatch::StoreWatch(const StoreUrl& url, const QString& program, QObject* parent)
    : QObject(parent), m_url(url), m_program(program)
{
}

StoreWatch::~StoreWatch()
{
    stop();
}

void StoreWatch::start()
{
    if (!m_timer) {
        m_timer = new QTimer(this);
        connect(m_timer, &QTimer::timeout, this, &StoreWatch::probe);
    }
    if (connectNow()) {
        m_timer->start(m_timing.probeMs);
    } else {
        m_timer->start(m_timing.retryMs);
    }
}

void StoreWatch::stop()
{
    if (m_timer)
        m_timer->stop();
    m_notifier.reset();
    m_connection.reset();
}

bool StoreWatch::connectNow()
{
    m_notifier.reset();
    m_connection = std::make_unique<StoreConnection>();
    if (!m_connection->open(m_url, m_program)) {
        lost(m_connection->error());
        return false;
    }
    m_notifier = std::make_unique<StoreNotifier>(m_connection->db());
    connect(m_notifier.get(), &StoreNotifier::changed, this,
            [this](const QString& channel, const QString&, bool) {
                if (channel == kStationsChannel)
                    Q_EMIT stationsChanged();
                else
                    Q_EMIT alarmsChanged();
            });
    if (!m_notifier->subscribe()) {
        lost(m_notifier->error());
        return false;
    }
    if (m_since.isValid()) {
        m_since = QDateTime();
        Q_EMIT reachable();
    }
    return true;
}

// A closed connection does not say so by itself: the socket only turns readable. Asking is the
// one sure sign, and it also drains any notice the socket held.
void StoreWatch::probe()
{
    if (m_notifier) {
        QSqlQuery query(m_connection->db());
        if (query.exec(QStringLiteral("SELECT 1")))
            return;
        const QString error = query.lastError().text().trimmed();
        lost(tr("The store %1 does not answer: %2").arg(m_url.toString(), error));
        m_timer->start(m_timing.retryMs);
        return;
    }
    if (connectNow())
        m_timer->start(m_timing.probeMs);
}

void StoreWatch::lost(const QString& error)
{
    // The dead connection goes at once: its socket would keep waking the event loop.
    m_notifier.reset();
    if (m_connection)
        m_connection->close();
    if (!m_since.isValid()) {
        m_since = m_clock();
        Q_EMIT unreachable(m_since, error);
    }
}

} // namespace kestavo::store
