#pragma once

// Inside the history library: the schema and the queries the reader and the writer share. Every
// function works on the connection it is given, so the writer reads within its own transaction.

#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include "history/historytypes.h"

namespace kestavo::history::db {

/// Levels of stored data: 0 samples, 1 minute buckets, 2 hour buckets (the Step values).
inline int level(Step step)
{
    return int(step);
}

/// Decides, without writing a byte, whether an existing file may be used as a history file.
/// Empty when it may; otherwise one sentence naming the file.
QString checkExistingFile(const QString& path, int schemaVersion);
/// Brings the schema of an open, writable file to `schemaVersion` in one transaction.
bool migrate(QSqlDatabase& db, int schemaVersion, QString* error);

QString sqlError(const QSqlDatabase& db);

/// A write transaction that takes the file's write lock at its start (BEGIN IMMEDIATE), so what it
/// reads cannot change before it writes; rolled back unless committed. On a team store it is a
/// plain transaction whose reads lock the rows they depend on (FOR UPDATE).
class WriteTransaction final
{
    Q_DISABLE_COPY_MOVE(WriteTransaction)

public:
    explicit WriteTransaction(QSqlDatabase db);
    ~WriteTransaction();
    bool isActive() const { return m_active; }
    QSqlDatabase database() const { return m_db; }
    /// Why it could not begin (another program holds the file past the busy time-out, the store
    /// is gone).
    QSqlError error() const { return m_error; }
    /// `error`, when given, says why a commit failed.
    bool commit(QSqlError* error = nullptr);
    void rollback();

private:
    QSqlDatabase m_db;
    QSqlError m_error;
    bool m_active = false;
};
QString nativePath(const QString& path);

QList<qint64> unitIds(QSqlDatabase& db, const QString& address);
/// The watermark below which level `level` (1 or 2) is stored; -1 when none was written yet.
qint64 watermark(QSqlDatabase& db, qint64 unit, int level);

QList<Row> readUnit(QSqlDatabase& db, qint64 unit, qint64 fromMs, qint64 toMs, Step step);
QList<Sample> readSamples(QSqlDatabase& db, qint64 unit, qint64 fromMs, qint64 toMs);
/// Time of the first sample of a unit (stored or recent); -1 when it has none.
qint64 firstSampleTime(QSqlDatabase& db, qint64 unit, qint64 fromMs);

// ---- the team store (PostgreSQL) beside the file ------------------------------------------------

/// True for a connection to a team's store rather than a history file.
bool isStore(const QSqlDatabase& db);
/// "postgresql://USER@HOST:PORT/DBNAME" of a store connection, for messages.
QString storeLabel(const QSqlDatabase& db);
/// Decides whether an open store connection may be used at `schemaVersion`: empty when it may,
/// otherwise one sentence naming the store (no schema yet, or a newer one).
QString checkStore(QSqlDatabase& db, int schemaVersion);
/// Inserts `values` (rows × columns, row after row) with `head` ("INSERT INTO t (a, b)") in
/// multi-row statements: few round trips to a store, far below either back end's limit on bound
/// values. False at the first statement that fails (query.lastError() says why).
bool insertRows(QSqlQuery& query, const QString& head, int columns, const QVariantList& values);
/// True when a failed statement on the store means the server is gone or unreachable (no
/// SQLSTATE at all, a connection exception, or a server shutting down), not that it refused.
bool isStoreUnreachable(const QSqlError& error);

} // namespace kestavo::history::db
