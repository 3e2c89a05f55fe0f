#pragma once

// The notification tables of the history file: routes, the delivery log, and maintenance windows.
// Every change is one statement or one transaction that states what it starts from, so programs
// sharing the file never undo each other's changes.

#include <limits>
#include <optional>

#include <QList>
#include <QString>

#include "history/historyconnection.h"
#include "notify/route.h"

namespace kestavo::notify {

struct Delivery
{
    qint64 id = 0;
    qint64 timeMs = 0;
    qint64 route = 0;
    qint64 alarm = 0;
    QString address;
    QString kind;    // messageKindText()
    QString outcome; // "sent", "retrying", "failed", "cooldown", "rate cap", "queue full"
    int attempt = 1;
    QString detail;
};

/// A station (address) or every station with a tag, out of service until `endMs`.
struct MaintenanceWindow
{
    qint64 id = 0;
    QString address;
    QString tag;
    QString reason;
    qint64 startMs = 0;
    qint64 endMs = 0;
    std::optional<qint64> endedMs; // set when it ended (by time or by hand)
    QString who;

    bool operator==(const MaintenanceWindow&) const = default;
};

class NotifyStore final
{
    Q_DISABLE_COPY_MOVE(NotifyStore)

public:
    NotifyStore() = default;

    bool open(const QString& path) { return m_connection.open(path); }
    bool isOpen() const { return m_connection.isOpen(); }
    QString error() const { return m_connection.error(); }
    QString path() const { return m_connection.path(); }

    QList<Route> routes() const;
    std::optional<Route> route(qint64 id) const;
    /// Inserts (id 0, which is then set) or replaces the route's settings.
    bool saveRoute(Route& route);
    bool removeRoute(qint64 id);

    bool record(Delivery& delivery);
    QList<Delivery> deliveries(qint64 fromMs = 0, int limit = 1000) const;

    /// Starts a window and audits it in the same transaction (program: "console", "CLI", "agent").
    bool startMaintenance(MaintenanceWindow& window, const QString& program, const QString& description);
    /// Ends one window now unless it already ended; true when this call ended it (and audited it).
    bool endMaintenance(qint64 id, qint64 nowMs, const QString& program, const QString& why);
    /// Ends every window whose time is up; returns those this call ended, each audited once.
    QList<MaintenanceWindow> expireMaintenance(qint64 nowMs, const QString& program);
    /// Windows not ended yet (active or lapsed but not expired), or every window since `fromMs`.
    QList<MaintenanceWindow> maintenance(bool currentOnly = true, qint64 fromMs = 0) const;

private:
    bool audit(const QString& program, const QString& address, const QString& description,
               const QString& action, const QString& detail, qint64 t);

    history::HistoryConnection m_connection;
};

} // namespace kestavo::notify
