#pragma once

// The audit log: one record per command sent to a unit that changes it, whoever sent it. Kept in
// the history file. Records hold words ("Relay 2 ON", "password changed"), never frame bytes,
// so no password can reach the file.

#include <functional>
#include <limits>

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include "history/historyconnection.h"
#include "history/timetext.h"

namespace kestavo::history {

struct AuditRecord
{
    qint64 id = 0;
    qint64 utcMs = 0;
    QString user;
    QString host;
    QString program; // "console", "CLI", "agent"
    QString address;
    QString description; // the station's description
    QString action;      // what was asked, in words
    QString outcome;     // "acknowledged", "refused", "no answer", "sent"
    QString detail;      // the unit's own words, when it said any
};

struct AuditFilter
{
    qint64 fromMs = 0;
    qint64 toMs = std::numeric_limits<qint64>::max();
    QString address; // empty: every station
    QString text;    // matched case-insensitively against action, outcome, detail, description
};

class AuditLog final
{
    Q_DISABLE_COPY_MOVE(AuditLog)

public:
    AuditLog() = default;

    /// A history file or a team store's address (see HistoryConnection::open()).
    bool open(const QString& location, const QString& program = {})
    {
        return m_connection.open(location, program);
    }
    bool isOpen() const { return m_connection.isOpen(); }
    QString error() const { return m_connection.error(); }
    const HistoryConnection& connection() const { return m_connection; }

    /// Stores the record; its id is set, and on a store its user too (the session's login, whatever
    /// the record said). False when the write failed, with lastError(): the first failure after a
    /// good write is logged and reported to the status handler with a sentence naming the file or
    /// the store (or the role a refusal needs), and the next good write reports that writing
    /// resumed (empty text), as the history does.
    bool append(AuditRecord& record);
    QString lastError() const { return m_lastError; }
    bool isWriting() const { return m_writing; }
    using StatusHandler = std::function<void(bool writing, const QString& message)>;
    void setStatusHandler(StatusHandler handler) { m_statusHandler = std::move(handler); }
    QList<AuditRecord> records(const AuditFilter& filter = {}) const;

    /// The account and computer names a record carries.
    static QString localUser();
    static QString localHost();

    static QStringList csvHeader();
    static QStringList csvFields(const AuditRecord& record);

private:
    HistoryConnection m_connection;
    QString m_lastError;
    StatusHandler m_statusHandler;
    bool m_writing = true;
};

/// One CSV line (RFC 4180 quoting), without the line end.
QString csvLine(const QStringList& fields);

} // namespace kestavo::history

Q_DECLARE_METATYPE(kestavo::history::AuditRecord)
