#pragma once

// One connection of its own to the history file, for the small tables beside the samples (audit
// log, alarms), or to a team's store, which holds the same tables. A file is created owner-only
// when missing, refused when it must not be touched, and brought forward exactly as the sample
// store does; a store is never migrated here (that is `kestavo-cli store init`'s job, run by its
// owner), only checked to hold this program's schema.

#include <memory>

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

namespace kestavo::store {
class StoreConnection;
}

namespace kestavo::history {

/// Where the console, the command-line client and the agent keep the history file unless told
/// otherwise: "history.db" in the folder of the station database.
QString defaultHistoryPath(const QString& stationDatabasePath);

/// A text for a NOT NULL column: Qt binds a null QString as NULL.
inline QVariant textValue(const QString& text)
{
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

class HistoryConnection final
{
    Q_DISABLE_COPY_MOVE(HistoryConnection)

public:
    HistoryConnection();
    ~HistoryConnection();

    /// `location` is a file path, or a store address (postgresql://USER@HOST[:PORT]/DBNAME…) whose
    /// password libpq finds on its own. False with one sentence naming the file or the store in
    /// error() when it cannot be used. `program` is shown to the store's administrator beside the
    /// session (empty: the application's name).
    bool open(const QString& location, const QString& program = {});
    void close();
    bool isOpen() const { return m_open; }
    QString error() const { return m_error; }
    /// The file path or the store address, as given to open().
    QString path() const { return m_path; }
    /// "the history file "…"" or "the store postgresql://…", for sentences about a failure.
    QString describe() const;
    bool isTeamStore() const { return m_store != nullptr; }
    /// The database's name for this session's login on a store (who every row written is
    /// stamped with); empty on a file.
    QString sessionUser() const { return m_sessionUser; }
    QSqlDatabase db() const;

private:
    bool openFile(const QString& path);
    bool openStore(const QString& address, const QString& program);

    QString m_name;
    QString m_path;
    QString m_error;
    QString m_sessionUser;
    std::unique_ptr<store::StoreConnection> m_store;
    bool m_open = false;
};

} // namespace kestavo::history
