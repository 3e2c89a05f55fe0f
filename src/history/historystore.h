#pragma once

// The history file ("history.db"), or a team's store: every status report a producer hands in, link
// events, and the roll-ups that keep a year in a few tens of megabytes. Any producer (console
// session, fleet poller, agent) calls record() / recordEvent(); the store knows nothing about who
// they are. Batches go out as multi-row inserts on both back ends.

#include <functional>
#include <memory>

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QTimer>

#include "history/historyreader.h"
#include "history/historytypes.h"

namespace kestavo::protocol {
struct StatusReport;
}

namespace kestavo::history {

class HistoryStore final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryStore)

public:
    /// Written to PRAGMA user_version; a file with a higher number is refused untouched.
    static constexpr int kSchemaVersion = 7;

    struct Retention
    {
        qint64 rawMs = 14LL * 24 * 3600 * 1000;     // samples
        qint64 minuteMs = 400LL * 24 * 3600 * 1000; // 1-minute buckets; hour buckets stay
    };

    struct Options
    {
        int flushIntervalMs = 1000;       // at most one write transaction per interval
        int maintenanceIntervalMs = 2000; // one roll-up / retention slice per interval
        Retention retention;
        std::function<qint64()> clock; // UTC ms; the system clock when empty
        /// Test seam for a full disk: SQLite's page limit for this connection (0 = none).
        int maxPageCount = 0;
        /// What stays queued while the file or the store cannot be written; past it the oldest
        /// entry goes (counted in droppedCount() and logged). About 110 bytes a sample.
        int maxPendingSamples = 100'000; // about a day of one unit at 1 Hz
        int maxPendingEvents = 10'000;
        /// While a store cannot be reached: the first attempt to reach it again after this long,
        /// doubling up to maxReconnectMs (each attempt may block up to the connect timeout).
        int reconnectMs = 1000;
        int maxReconnectMs = 30'000;
    };

    explicit HistoryStore(QObject* parent = nullptr);
    HistoryStore(const Options& options, QObject* parent = nullptr);
    ~HistoryStore() override; // flushes what is pending

    struct OpenResult
    {
        bool ok = false;
        QString error; // one sentence naming the file and what is wrong with it
    };
    /// Opens or creates (owner-only, WAL) the history file and migrates an older schema forward.
    /// A file of a newer version, or one that is not a history file, is refused and left untouched.
    OpenResult open(const QString& path);
    /// Opens a team's store on a connection of its own, cloned from `store` (a QPSQL connection
    /// whose password libpq finds itself). The store's schema is its owner's (store init); a store
    /// without it, or with a newer one, is refused. Once open, a store that goes away does not
    /// close the history: batches wait in memory (bounded) and go out in order when it is back.
    OpenResult openStore(const QSqlDatabase& store);
    void close();
    bool isOpen() const;
    /// The file, or the store's address.
    QString path() const;
    bool isStore() const;

    // ---- producers -------------------------------------------------------------------------
    /// Queues one decoded status report of the station at `address` (MAC as "00:0A:…").
    void record(const QString& address, const QString& mac, qint64 utcMs,
                const protocol::StatusReport& report, const RangeFlags& ranges);
    void record(const QString& address, const QString& mac, const Sample& sample);
    void recordEvent(const QString& address, qint64 utcMs, LinkEvent event, const QString& detail = {});
    /// Writes the queued batch now (one transaction). False when the write failed.
    bool flush();
    /// True while writes succeed; false after a failed write until one succeeds again.
    bool isRecording() const { return m_recording; }
    QString lastError() const { return m_lastError; }
    int pendingCount() const;
    /// Samples and events dropped since the file was opened: pushed out of a full queue, or in a
    /// batch whose write failed.
    qint64 droppedCount() const { return m_dropped; }

    // ---- background upkeep -----------------------------------------------------------------
    /// One small slice of packing, roll-up and retention at time `nowMs`, in its own short
    /// transaction. True while more work is left (the timer runs the next slice soon).
    bool maintain(qint64 nowMs);

    // ---- readers (this thread) ---------------------------------------------------------------
    const HistoryReader& reader() const { return m_reader; }
    const Retention& retentionSettings() const { return m_options.retention; }

    qint64 now() const;

Q_SIGNALS:
    /// Recording stopped (with a sentence saying why and naming the file) or resumed (empty text).
    /// Also written to the log, with the count of what was dropped meanwhile when it resumes.
    void recordingChanged(bool recording, const QString& message);
    /// A batch was written.
    void written();

private:
    struct Private;
    std::unique_ptr<Private> d;
    Options m_options;
    HistoryReader m_reader;
    QTimer m_flushTimer;
    QTimer m_maintenanceTimer;
    void stopRecording(const QString& message);
    void dropped(qint64 count);
    OpenResult finishOpen();
    bool reconnect();

    bool m_recording = true;
    QString m_lastError;
    qint64 m_dropped = 0;
    qint64 m_droppedAtStop = 0; // m_dropped when recording last stopped
};

} // namespace kestavo::history
