#pragma once

// Which stations this agent polls when agents share one history (a file, or a team's store): those
// whose lease it holds, so no unit is polled twice. An agent takes the stations of its own shard
// (--shard K/N); another shard's only while nobody holds that shard (its agent stopped) and once
// the station's lease has lapsed, and gives them back when that shard's agent is back. Each
// running agent also holds a lease named after its shard ("#shard K/N"), which is how the others
// see that it is alive.

#include <functional>

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace kestavo::history {
class StationLeases;
}

namespace kestavo::agent {

class PollLeases final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PollLeases)

public:
    struct Options
    {
        qint64 leaseMs = 30'000;       // renewed every third of it
        std::function<qint64()> clock; // UTC ms; the system clock when empty
    };

    /// `leases` must outlive this object; `holder` is the agent's name in the lease table, which
    /// its alarm engine shares.
    PollLeases(history::StationLeases& leases, const QString& holder, int shard, int shards,
               const Options& options, QObject* parent = nullptr);

    /// The lease naming a shard; no station address looks like it.
    static QString shardKey(int shard, int shards);

    void setStations(const QStringList& addresses);
    /// Takes and renews leases now (the timer does it every third of a lease period).
    void renew();
    void start();
    void stop();
    /// The stations this agent polls.
    const QSet<QString>& held() const { return m_held; }

Q_SIGNALS:
    void heldChanged();

private:
    qint64 now() const;

    history::StationLeases& m_leases;
    QString m_holder;
    int m_shard;
    int m_shards;
    Options m_options;
    QStringList m_stations;
    QSet<QString> m_held;
    qint64 m_heldUntilMs = 0;
    QTimer m_timer;
};

} // namespace kestavo::agent
