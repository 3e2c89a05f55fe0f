#pragma once

// Keeps a program in touch with its team's store: listens for the store's change notices (alarms
// and rules, the station directory) and notices when the store cannot be reached, trying again
// until it can. Meant to live on a worker thread of its own (moveToThread, then start()): a store
// behind a dead network can hold a query for as long as TCP waits, and that wait must not be the
// window's. Signals reach the receivers' threads queued.

#include <functional>
#include <memory>

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include "storelink/storeurl.h"

namespace kestavo::store {

class StoreConnection;
class StoreNotifier;

class StoreWatch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StoreWatch)

public:
    struct Timing
    {
        int probeMs = 1000; // how often a reachable store is asked whether it is still there
        int retryMs = 2000; // how often an unreachable one is tried again
    };

    StoreWatch(const StoreUrl& url, const QString& program, QObject* parent = nullptr);
    ~StoreWatch() override;

    void setTiming(const Timing& timing) { m_timing = timing; }
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    /// Connects and listens; when the store cannot be reached, says so and keeps trying.
    void start();
    /// Closes the connection (on the watch's own thread, before that thread ends).
    void stop();

Q_SIGNALS:
    void alarmsChanged();
    void stationsChanged();
    /// `since` is when the store was first found unreachable (invalid while it is reachable);
    /// `error` is the store's or libpq's sentence.
    void unreachable(const QDateTime& since, const QString& error);
    /// The store answers again: everything missed meanwhile should be read again.
    void reachable();

private:
    void probe();
    bool connectNow();
    void lost(const QString& error);

    StoreUrl m_url;
    QString m_program;
    Timing m_timing;
    std::function<QDateTime()> m_clock = [] {
        return QDateTime::currentDateTime();
    };
    std::unique_ptr<StoreConnection> m_connection;
    std::unique_ptr<StoreNotifier> m_notifier;
    QTimer* m_timer = nullptr; // created on the watch's thread
    QDateTime m_since;         // valid while the store is unreachable
};

} // namespace kestavo::store
