#pragma once

// Who does a station's active work (polling it, evaluating its alarm rules, sending its
// notifications, running its schedules): the one program holding its lease in the store. A lease
// is renewed while its holder polls and lapses when it stops; a program of higher precedence (the
// agent over a console) takes it over at once. Everyone else reads what the holder wrote.

#include <optional>

#include <QList>
#include <QSet>
#include <QSqlError>
#include <QString>
#include <QStringList>

#include "history/historyconnection.h"

namespace kestavo::history {

struct StationLease
{
    QString address;
    QString holder;  // one running program: "host:pid:random"
    QString program; // "agent", "console", …
    int precedence = 0;
    qint64 expiresMs = 0;
};

class StationLeases final
{
    Q_DISABLE_COPY_MOVE(StationLeases)

public:
    /// The agent outranks a console: it runs unattended and is meant to own what it polls.
    static int precedenceOf(const QString& program);
    /// A holder name unique to this process and this object's lifetime.
    static QString newHolder();

    StationLeases() = default;

    /// A history file or a team store's address (see HistoryConnection::open()).
    bool open(const QString& location, const QString& program = {})
    {
        return m_connection.open(location, program);
    }
    bool isOpen() const { return m_connection.isOpen(); }
    QString error() const { return m_connection.error(); }
    const HistoryConnection& connection() const { return m_connection; }
    /// Why the last acquire() or release() failed, in one sentence (a refusal by the store names
    /// the role it needs).
    QString lastError() const { return m_lastError; }

    /// Takes or renews the leases of `addresses` for `holder` in one transaction (until
    /// nowMs + ttlMs) and returns those it holds afterwards. A lease is taken when it is free,
    /// lapsed, already ours, or held by a program of lower precedence. Empty on failure.
    std::optional<QSet<QString>> acquire(const QStringList& addresses, const QString& holder,
                                         const QString& program, qint64 nowMs, qint64 ttlMs);
    /// Gives up every lease of `holder`, so another program takes over without waiting.
    bool release(const QString& holder);
    /// The leases in force at `nowMs`.
    QList<StationLease> leases(qint64 nowMs) const;

private:
    bool fail(const QSqlError& error);

    HistoryConnection m_connection;
    QString m_lastError;
};

} // namespace kestavo::history
