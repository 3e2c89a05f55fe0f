#pragma once

// The station directory: the "ipnumbers" table of the station database, cached in memory, with
// the positional cursor every station operation and every writer of a station record relies on.
// A desk keeps it in an SQLite file; a team in its store (PostgreSQL), where the database decides
// who may read the units' passwords and who may change the directory.

#include <optional>
#include <utility>

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

class QSqlDatabase;
class QSqlError;
class QSqlQuery;

#include "stations/stationextras.h"

namespace kestavo::stations {

class StationStore final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StationStore)

public:
    // Written to PRAGMA user_version; a file with a higher number is refused untouched.
    static constexpr int kSchemaVersion = 1;

    explicit StationStore(QObject* parent = nullptr);
    ~StationStore() override;

    struct OpenResult
    {
        bool ok = false;
        QString error; // one sentence naming the file and what is wrong with it
    };

    // Opens (or, when the file does not exist, creates with owner-only permissions) the station
    // database at `path`. A file that cannot be used is never written to: the store then stays
    // empty, every write fails, and the result says why.
    OpenResult open(const QString& path);
    // What a team's store says instead of a bare refusal, each one sentence naming the role needed.
    struct TeamAccess
    {
        QString label;          // the store's address, named in messages where a desk names its file
        QString editRefusal;    // the database refused a change to the directory
        QString commandRefusal; // this session may not read the units' passwords
    };
    // Reads the directory of a team's store over a connection of its own, made like `store` (whose
    // password libpq finds again). Only the columns this session may read are asked for: a
    // viewer's copy has no passwords at all, and commandRefusal() then says why no unit may be
    // commanded. Changes go to the store, which refuses them unless the session's role allows.
    OpenResult openTeam(const QSqlDatabase& store, const TeamAccess& access);
    bool isTeam() const { return m_team; }
    // Empty when this directory holds the units' passwords; otherwise why no command may be sent.
    QString commandRefusal() const;
    // True when the last change failed because the store refused it to this session's role.
    bool lastErrorIsRefusal() const
    {
        return m_team && !m_lastError.isEmpty() && m_lastError == m_access.editRefusal;
    }
    // Reads the whole directory again (another program changed it), keeping the cursor on the same
    // station where it still exists; false with lastError() when it cannot be read.
    bool reload();

    // How long open() waits for another program's lock on the file before it says so (2 s).
    void setBusyTimeout(int ms) { m_busyTimeoutMs = ms; }
    void close();
    bool isOpen() const;
    bool isReadOnly() const;
    QString path() const;
    QString lastError() const;

    // Records in insertion order: positions 0 .. count() - 1, a new record is last.
    int count() const;
    int lastPosition() const; // -1 when empty

    // The current record. -1 when empty; move() clamps into the valid range.
    int position() const;
    void move(int position);

    QVariant value(const QString& column) const; // of the current record
    QVariant valueAt(int position, const QString& column) const;
    QString ips() const;
    QString password() const;
    bool isDefault() const;
    QString entryAt(int position) const;

    // Every column of "ipnumbers" this console knows, in table order (without the key column).
    static const QStringList& columns();
    static bool isFlagColumn(const QString& column);
    // The known columns plus any unknown ones the open file carries; all of them round-trip.
    QStringList tableColumns() const;

    // Linear scan comparing station addresses; the first match wins and becomes current. With no
    // match the cursor is left on the last record and -1 is returned.
    int findAddress(const QString& address);
    // The same scan without moving the cursor, for readers beside the main window (alarms, audit).
    int positionOf(const QString& address) const;
    // The same scan comparing whole entries (start-up positioning on the station box text).
    int findEntry(const QString& entry);

    // Changes columns of the current record and keeps the cursor on it. Flag columns are stored
    // as 0 or 1. Fails (nothing changed) for an unknown column or when nothing is current.
    bool writeCurrent(const QVariantMap& changes);

    struct ListFill
    {
        QStringList entries;
        QString defaultEntry; // the last record flagged default; empty when none is
    };
    ListFill fillList() const;

    // Appends a station: ips = formatEntry(ip, description), password = padPassword(typed),
    // default 0 (1 when the table was empty), other known columns empty or 0. Afterwards the
    // cursor is on the station the list shows (the default), found by address; with no default
    // it is on the last record.
    bool add(const QString& ip, const QString& typedPassword, const QString& description);

    // Rewrites the entry and password of the first record matching `ip` (the one every look-up
    // finds), which becomes current. False with kNotFound in lastError() when none matches.
    bool update(const QString& ip, const QString& typedPassword, const QString& description);
    struct ImportRow
    {
        QString address;
        QString typedPassword; // empty: an existing station keeps its password
        QString description;
        std::optional<QStringList> tags = std::nullopt; // set: the station's tags become exactly these
    };
    // Adds or updates every row in one transaction: a row whose address is already in the
    // directory updates the first station with it, any other row is appended as add() does.
    // Rows are expected to be checked already; when any write fails nothing is kept.
    bool importStations(const QList<ImportRow>& rows);

    enum class RemoveCheck { Ok, NotFound, FirstRecord };
    Q_ENUM(RemoveCheck)
    // Scans like findAddress and reports whether the match may be removed; *position receives
    // the match (or -1).
    RemoveCheck checkRemove(const QString& address, int* position = nullptr);
    // Deletes the record at `position` (never the first one). When no record is left flagged
    // default the first record becomes default. The cursor ends as after add().
    bool removeAt(int position);

    // Clears every default flag and sets the first record matching `address`; the cursor ends on
    // it. False with kNotFound in lastError() when no record matches.
    bool setDefault(const QString& address);

    // Stores a password the unit has accepted into the first record matching `address`, which
    // becomes current. False with kNotFound in lastError() when no record matches.
    bool setPassword(const QString& address, const QString& paddedPassword);

    // Tags, location, position and zone, kept by address beside "ipnumbers" (stationextras.h).
    // A file whose extras tables were written by a newer version is read but not changed.
    QStringList tagsOf(const QString& address) const;
    StationSite siteOf(const QString& address) const;
    /// Every tag in use, sorted.
    QStringList allTags() const;
    /// The addresses of the stations with `tag` (or a tag below it), in directory order, once each.
    QStringList addressesWithTag(const QString& tag) const;
    // These write the first station with `address`; false with kNotFound when there is none.
    bool addTags(const QString& address, const QStringList& tags);
    bool removeTags(const QString& address, const QStringList& tags);
    bool setSite(const QString& address, const StationSite& site);
    /// Reads tags and sites again when another program changed the file since they were read (the
    /// command-line client tagging a station while the console runs); true when it read them.
    bool refreshExtras();

Q_SIGNALS:
    void changed(); // after every successful write

private:
    // One row of "ipnumbers". Of its 150-odd columns nearly all hold their blank value ('' or 0),
    // so a record keeps only the others, by column index: 100,000 stations fit in tens of
    // megabytes instead of a map per row holding every column (over a gigabyte).
    struct Record
    {
        qint64 rowId = 0;
        QList<std::pair<qsizetype, QVariant>> cells;
    };

    OpenResult fail(const QString& error);
    QString checkExistingFile() const;
    bool createFile();
    bool prepareSchema();
    bool loadRecords();
    bool readRecord(qint64 rowId, Record* record);
    bool updateRecord(qint64 rowId, const QVariantMap& values);
    bool insertRecord(const QString& ip, const QString& password, const QString& description,
                      bool makeDefault, Record* record);
    bool beginWrite();
    bool commitWrite();
    void failWrite(const QString& error);
    void failWrite(const QSqlError& error);
    qint64 insertedKey(QSqlQuery& query) const;
    QString returningKey() const;
    std::optional<qint64> changeCount() const;
    bool loadTeamColumns();
    void positionOnShownStation();
    bool prepareExtras();
    bool loadExtras();
    bool writeTags(const QString& address, const QStringList& tags);
    bool writeSite(const QString& address, const StationSite& site);
    bool beginExtrasWrite(const QString& address);
    void setColumns(const QStringList& columns);
    qsizetype columnIndex(const QString& column) const;
    QVariant cell(const Record& record, qsizetype column) const;
    QVariant cell(const Record& record, const QString& column) const;
    void setCell(Record& record, qsizetype column, const QVariant& value) const;
    void setCell(Record& record, const QString& column, const QVariant& value) const;
    bool readCells(const QSqlQuery& query, int first, Record* record) const;

    QString m_connection;
    QString m_path;
    QString m_lastError;
    bool m_open = false;
    bool m_readOnly = false;
    int m_busyTimeoutMs = 2000;
    QStringList m_tableColumns;
    QHash<QString, qsizetype> m_columnIndex;
    bool m_plainRows = false; // only columns this program knows, declared as it declares them
    QList<QVariant> m_blanks; // per column of m_tableColumns: what SQLite returns for its blank value
    QList<Record> m_records;
    int m_position = -1;
    QHash<QString, QStringList> m_tags;
    QHash<QString, StationSite> m_sites;
    bool m_extrasNewer = false;
    qint64 m_dataVersion = -1; // SQLite's count of commits by other connections, when extras were read
    bool m_team = false;
    QString m_key = QStringLiteral("rowid"); // a team's table has no rowid: its own "_seq" orders it
    TeamAccess m_access;
    bool m_passwordsReadable = true;
};

} // namespace kestavo::stations
