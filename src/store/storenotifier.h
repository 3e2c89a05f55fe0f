#pragma once

// Live news from a team's store: the store's triggers NOTIFY a channel on every change to alarms
// and rules (kestavo_alarms) or to the station directory (kestavo_stations), with the table's
// name as payload; this LISTENs on a connection of its own and says so, without polling a table.
// The notices arrive through the connection's socket on the event loop of the thread that
// subscribed.

#include <QObject>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QString>
#include <QStringList>

namespace kestavo::store {

inline const QString kAlarmsChannel = QStringLiteral("kestavo_alarms");
inline const QString kStationsChannel = QStringLiteral("kestavo_stations");

class StoreNotifier final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StoreNotifier)

public:
    /// `db` is an open QPSQL connection used for nothing else while this listens on it (the store
    /// delivers notices between transactions of the listening session).
    explicit StoreNotifier(QSqlDatabase db, QObject* parent = nullptr);
    ~StoreNotifier() override;

    /// False with error() when the driver cannot listen (not PostgreSQL, or the connection is closed).
    bool subscribe(const QStringList& channels = {kAlarmsChannel, kStationsChannel});
    QString error() const { return m_error; }

Q_SIGNALS:
    /// `table` is the table that changed; `ownChange` is true for a change made on the listening
    /// connection itself.
    void changed(const QString& channel, const QString& table, bool ownChange);

private:
    QSqlDatabase m_db;
    QStringList m_channels;
    QString m_error;
};

} // namespace kestavo::store
