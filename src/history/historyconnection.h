#pragma once

// One connection of its own to the history file, for the small tables beside the samples (audit
// log, alarms). Creates the file owner-only when missing, refuses one it must not touch, and
// brings the schema forward exactly as the sample store does.

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

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

    /// False with one sentence naming the file in error() when it cannot be used.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return m_open; }
    QString error() const { return m_error; }
    QString path() const { return m_path; }
    QSqlDatabase db() const;

private:
    QString m_name;
    QString m_path;
    QString m_error;
    bool m_open = false;
};

} // namespace kestavo::history
