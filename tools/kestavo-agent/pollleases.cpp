#include "pollleases.h"

#include <QDateTime>
#include <QHash>

#include "agentoptions.h"
#include "history/stationleases.h"

namespace kestavo::agent {

PollLeases::PollLeases(history::StationLeases& leases, const QString& holder, int shard, int shards,
                       const Options& options, QObject* parent)
    : QObject(parent), m_leases(leases), m_holder(holder), m_shard(shard), m_shards(shards),
      m_options(options)
{
    m_timer.setInterval(int(std::max<qint64>(1, options.leaseMs / 3)));
    connect(&m_timer, &QTimer::timeout, this, &PollLeases::renew);
}

QString PollLeases::shardKey(int shard, int shards)
{
    return QStringLiteral("#shard %1/%2").arg(shard).arg(shards);
}

qint64 PollLeases::now() const
{
    return m_options.clock ? m_options.clock() : QDateTime::currentMSecsSinceEpoch();
}

void PollLeases::setStations(const QStringList& addresses)
{
    m_stations = addresses;
    renew();
}

void PollLeases::start()
{
    m_timer.start();
}

void PollLeases::stop()
{
    m_timer.stop();
}

void PollLeases::renew()
{
    const qint64 t = now();
    QHash<QString, QString> holders; // address -> holder, of the leases in force
    QSet<int> liveShards;            // shards whose agent runs (other than this one)
    for (const history::StationLease& lease : m_leases.leases(t)) {
        holders.insert(lease.address, lease.holder);
        if (lease.address.startsWith(u'#') && lease.holder != m_holder) {
            for (int k = 1; k <= m_shards; ++k)
                if (lease.address == shardKey(k, m_shards))
                    liveShards.insert(k);
        }
    }
    QStringList wanted{shardKey(m_shard, m_shards)};
    for (const QString& address : std::as_const(m_stations)) {
        const int shard = shardOf(address, m_shards);
        if (shard == m_shard) {
            wanted.append(address);
            continue;
        }
        // Another shard's station: not while its agent runs (one we hold lapses and goes back to
        // it), otherwise once its lease is free.
        if (liveShards.contains(shard))
            continue;
        const auto holder = holders.constFind(address);
        if (holder == holders.cend() || *holder == m_holder)
            wanted.append(address);
    }
    QSet<QString> held;
    if (const auto acquired =
            m_leases.acquire(wanted, m_holder, QStringLiteral("agent"), t, m_options.leaseMs)) {
        held = *acquired;
        held.remove(shardKey(m_shard, m_shards));
        m_heldUntilMs = t + m_options.leaseMs;
    } else if (t < m_heldUntilMs) {
        return; // not renewed this time; what we hold stays ours until it would lapse
    }
    if (held == m_held)
        return;
    m_held = held;
    Q_EMIT heldChanged();
}

} // namespace kestavo::agent
