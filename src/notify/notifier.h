#pragma once

// Turns alarm transitions into messages on the routes that want them. Runs where the station's
// alarms are evaluated (the lease holder); everything it decides — filters, maintenance,
// chattering, cooldown, the hourly cap, flood summaries, repeats — uses the injected clock, and
// the sending itself happens on one worker thread per route.

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include "history/alarmjournal.h"
#include "notify/message.h"
#include "notify/notifystore.h"
#include "notify/route.h"

namespace kestavo::notify {

class RouteWorker;
class Transport;

/// What a message says about a station beside its address.
struct StationInfo
{
    QString description;
    QStringList tags;
};

class Notifier final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Notifier)

public:
    struct Options
    {
        std::function<qint64()> clock; // UTC ms; the system clock when empty
        /// True while this program holds the station's evaluation lease; only then it notifies.
        std::function<bool(const QString& address)> ownsStation;
        /// Looked up at each decision, so a station whose tags changed is matched by its current ones.
        std::function<StationInfo(const QString& address)> station;
        /// Called at each refresh from the store: re-read what `station` answers from (the station
        /// database's tags may have been changed by another program); true when anything changed.
        std::function<bool()> refreshStations;
        QString program = QStringLiteral("agent"); // in the audit of a maintenance window's end
        QString historyPath;                       // the delivery log of the workers
        int tickMs = 1000;
        qint64 refreshMs = 2000; // routes and maintenance windows re-read from the store
        int floodCount = 10;     // more than this many messages in the window is a flood
        qint64 floodWindowMs = 10 * 60'000;
        qint64 summaryDelayMs = 60'000;         // the first summary, after the flood began
        qint64 summaryIntervalMs = 10 * 60'000; // then one per interval while it lasts
        int chatterCount = 3;
        qint64 chatterWindowMs = 60'000;
        int queueCapacity = 100;
        std::vector<qint64> retryDelaysMs{5000, 30000, 120000, 600000, 1800000};
    };

    /// `store` (may be null) supplies routes and maintenance windows and must outlive the notifier.
    Notifier(NotifyStore* store, std::shared_ptr<Transport> transport, Options options,
             QObject* parent = nullptr);
    ~Notifier() override;

    /// Re-reads routes and maintenance windows from the store.
    void reload();
    /// Routes without a store (tests, a program without a history file).
    void setRoutes(const QList<Route>& routes);
    void setMaintenance(const QList<MaintenanceWindow>& windows);

    /// Connect the alarm engine's alarmChanged here.
    void alarmChanged(const history::AlarmRecord& alarm, history::AlarmState previous);
    /// Repeats, flood summaries, maintenance expiry up to `nowMs` (the timer calls it).
    void tick(qint64 nowMs);

    std::optional<MaintenanceWindow> maintenanceOf(const QString& address) const;
    /// At least floodCount alarms raised within the flood window (the operator's flood).
    bool flooding() const;
    QList<qint64> routesInFlood() const;
    quint64 raisedTotal(history::AlarmPriority priority) const;
    bool isChattering(const QString& address, qint64 rule) const;
    /// No message queued or being sent on any route.
    bool idle() const;
    qint64 now() const;

Q_SIGNALS:
    /// Every delivery row (sent, retrying, failed, and each suppression), on the notifier's thread.
    void delivered(const kestavo::notify::Delivery& delivery);
    void floodChanged(bool flooding);
    void maintenanceEnded(const kestavo::notify::MaintenanceWindow& window);
    /// Which stations are in maintenance may have changed: a window started, ended or expired, or
    /// the stations' tags changed. The console's sounds and desktop notifications listen.
    void maintenanceChanged();

private:
    using AlarmKey = std::pair<QString, qint64>; // station, rule
    struct RouteState
    {
        Route route;
        std::unique_ptr<RouteWorker> worker;
        std::deque<qint64> sent; // when each message of the last hour left
        std::map<AlarmKey, qint64> lastAlarmMessage;
        std::map<qint64, qint64> lastRepeat; // alarm id -> time
        bool flood = false;
        qint64 nextSummaryMs = 0;
        QList<Message> held;
    };

    Message messageFor(const history::AlarmRecord& alarm, MessageKind kind) const;
    bool wants(const Route& route, const Message& message) const;
    void offer(RouteState& state, const Message& message, qint64 now);
    void suppress(RouteState& state, const Message& message, const QString& outcome, qint64 now);
    void enqueue(RouteState& state, const Message& message, qint64 now);
    void sendSummary(RouteState& state, qint64 now);
    void dispatch(const Message& message, qint64 now);
    bool chattering(const AlarmKey& key, qint64 now);
    void updateFlood(qint64 now);
    void releaseMaintenance(qint64 now);
    StationInfo stationInfo(const QString& address) const;

    NotifyStore* m_store;
    std::shared_ptr<Transport> m_transport;
    Options m_options;
    std::map<qint64, RouteState> m_routes;
    QList<MaintenanceWindow> m_maintenance;
    std::map<qint64, history::AlarmRecord> m_open; // open alarms of owned stations, for repeats
    std::set<qint64> m_quiet;                      // open alarms held back by maintenance
    std::map<AlarmKey, std::deque<qint64>> m_raises;
    std::map<AlarmKey, qint64> m_chattering; // key -> last raise while chattering
    std::deque<qint64> m_recentRaises;
    std::map<history::AlarmPriority, quint64> m_raisedTotal;
    bool m_flooding = false;
    qint64 m_lastRefresh = 0;
    QTimer m_timer;
};

} // namespace kestavo::notify

Q_DECLARE_METATYPE(kestavo::notify::Delivery)
Q_DECLARE_METATYPE(kestavo::notify::MaintenanceWindow)
