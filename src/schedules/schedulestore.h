#pragma once

// The schedule tables of the history file: the entries, and the log of what was done about each
// occurrence. Every change is one statement that names the row it changes, so programs sharing
// the file never undo each other's edits.

#include <optional>

#include <QDateTime>
#include <QList>
#include <QString>

#include "history/historyconnection.h"
#include "schedules/scheduleentry.h"

namespace kestavo::schedules {

struct LogRecord
{
    qint64 timeMs = 0;
    qint64 schedule = 0;
    QString address;
    qint64 dueMs = 0;
    QString outcome; // "sent", "verified", "failed", "moved", "skipped", "recovered", "not replayed",
                     // "not verified"
    QString detail;
};

class ScheduleStore final
{
    Q_DISABLE_COPY_MOVE(ScheduleStore)

public:
    ScheduleStore() = default;

    bool open(const QString& path) { return m_connection.open(path); }
    bool isOpen() const { return m_connection.isOpen(); }
    QString error() const { return m_connection.error(); }
    QString path() const { return m_connection.path(); }

    QList<ScheduleEntry> entries() const;
    std::optional<ScheduleEntry> entry(qint64 id) const;
    /// Stores a new entry and returns its id (0 when it could not be written).
    qint64 add(const ScheduleEntry& entry, qint64 nowMs);
    /// False when no entry has this id (or the file cannot be written).
    bool remove(qint64 id);
    bool setEnabled(qint64 id, bool enabled);

    bool log(const LogRecord& record);
    enum class Claim { Ours, Taken, Failed };
    /// Logs `record` (a "sent" or "recovered" occurrence) unless some program logged either for
    /// the same occurrence already, under the file's write lock: of two programs claiming one
    /// occurrence, exactly one gets it. Failed: the file could not be written, nothing is known.
    Claim claim(const LogRecord& record);
    /// Whether this outcome was logged for this occurrence already (a polar skip is logged once).
    bool logged(qint64 schedule, const QString& address, qint64 dueMs, const QString& outcome) const;
    QList<LogRecord> logSince(qint64 fromMs) const;

private:
    history::HistoryConnection m_connection;
};

} // namespace kestavo::schedules
