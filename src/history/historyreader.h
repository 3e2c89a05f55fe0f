#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include "history/historytypes.h"

namespace kestavo::history {

/// Reads a history file, or a team's store, on its own database connection. Not tied to a thread: a window
/// creates one on a worker thread to load a long range while the event loop goes on.
class HistoryReader
{
public:
    HistoryReader();
    ~HistoryReader();
    HistoryReader(const HistoryReader&) = delete;
    HistoryReader& operator=(const HistoryReader&) = delete;

    /// Opens an existing history file read-only. False (with error()) when it is missing, not a
    /// history file, or written by a newer version; the file is never changed.
    bool open(const QString& path);
    /// Opens a team's store on a connection of its own, cloned from `store` (reading needs the
    /// viewer role). False (with error()) when the store has no schema or a newer one.
    bool openStore(const QSqlDatabase& store);
    bool isOpen() const;
    QString error() const;

    /// Station addresses that have samples or events, in address order.
    QStringList stations() const;
    /// Rows of `address` (every MAC it had) with fromMs <= time < toMs at the given step. Roll-up
    /// steps use the stored buckets and compute the ones not yet rolled up from finer data, so a
    /// read never waits for the background roll-up.
    Series read(const QString& address, qint64 fromMs, qint64 toMs, Step step) const;
    QList<Event> events(const QString& address, qint64 fromMs, qint64 toMs) const;
    /// Time of the first and the last sample of the station; {0, 0} when it has none.
    std::pair<qint64, qint64> extent(const QString& address) const;

private:
    friend class HistoryStore;
    struct Private;
    class Snapshot;
    Private* d;
};

} // namespace kestavo::history
