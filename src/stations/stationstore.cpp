#include "stations/stationstore.h"

#include <algorithm>
#include <atomic>
#include <optional>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "stations/stationformat.h"

#include "sqlitefile/sqlitefile.h"

namespace kestavo::stations {

namespace {

// Our own key: a rowid alias, so records come back in the order they were added.
const QString kKeyColumn = QStringLiteral("_seq");
const QString kIps = QStringLiteral("ips");
const QString kPassword = QStringLiteral("password");
const QString kDefault = QStringLiteral("default");

std::atomic<quint64> g_connectionCounter{0};

QString quoted(const QString& identifier)
{
    QString escaped = identifier;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

QString nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

struct ColumnTable
{
    QStringList all;
    QSet<QString> flags;
    QHash<QString, QString> canonicalByLower; // SQLite matches column names case-insensitively
};

const ColumnTable& columnTable()
{
    static const ColumnTable table = [] {
        ColumnTable t;
        const auto add = [&t](const QString& name, bool flag) {
            t.all.append(name);
            if (flag)
                t.flags.insert(name);
            t.canonicalByLower.insert(name.toLower(), name);
        };
        const auto range = [&add](const QString& prefix, int first, int last, const QString& suffix,
                                  bool flag) {
            for (int n = first; n <= last; ++n)
                add(prefix + QString::number(n) + suffix, flag);
        };
        const QString none;

        add(kIps, false);
        add(kPassword, false);
        add(kDefault, true);
        range(QStringLiteral("Relay"), 1, 3, QStringLiteral("Notes"), false);
        range(QStringLiteral("Label"), 1, 8, QStringLiteral("voltage"), false);
        range(QStringLiteral("Voltage"), 1, 8, QStringLiteral("View"), true);
        add(QStringLiteral("JP6"), true);
        add(QStringLiteral("JP7"), true);
        add(QStringLiteral("Voltage1Notes"), false);
        // Notes on inputs 2 to 5 live in these four, whatever their names suggest.
        add(QStringLiteral("Alarm3Recip"), false);
        add(QStringLiteral("Alarm3smtp"), false);
        add(QStringLiteral("Alarm4Recip"), false);
        add(QStringLiteral("Alarm4smtp"), false);
        range(QStringLiteral("Voltage"), 6, 8, QStringLiteral("Notes"), false);

        // Carried along unchanged: no operation reads or sets them.
        range(QStringLiteral("Voltage"), 2, 5, QStringLiteral("Notes"), false);
        range(QStringLiteral("minimum"), 1, 6, none, false);
        range(QStringLiteral("maximum"), 1, 6, none, false);
        range(QStringLiteral("often"), 1, 6, none, false);
        add(QStringLiteral("smtp1"), false);
        range(QStringLiteral("smpt"), 2, 6, none, false);
        range(QStringLiteral("recipemailaddress"), 1, 6, none, false);
        range(QStringLiteral("youremailaddress"), 1, 6, none, false);
        add(QStringLiteral("slider"), false);
        range(QStringLiteral("i/o"), 1, 5, none, false);
        range(QStringLiteral("notification"), 1, 6, none, true);
        range(QStringLiteral("bogus"), 1, 6, none, true);
        range(QStringLiteral("audio"), 1, 6, none, true);
        range(QStringLiteral("io"), 1, 5, none, true);
        const QStringList alarmFlags = {
            QStringLiteral("enableOpen"),    QStringLiteral("enableClosed"),  QStringLiteral("Relay1ON"),
            QStringLiteral("Relay1OFF"),     QStringLiteral("Relay2ON"),      QStringLiteral("Relay2OFF"),
            QStringLiteral("Relay3ON"),      QStringLiteral("Relay3OFF"),     QStringLiteral("Relay1Nothing"),
            QStringLiteral("Relay2Nothing"), QStringLiteral("Relay3Nothing"), QStringLiteral("Audio"),
            QStringLiteral("EmailNotify"),   QStringLiteral("disabled")};
        for (const QString& alarm : {QStringLiteral("Alarm3"), QStringLiteral("Alarm4")}) {
            for (const QString& flag : alarmFlags)
                add(alarm + flag, true);
        }
        return t;
    }();
    return table;
}

QString columnDefinition(const QString& column)
{
    return StationStore::isFlagColumn(column) ? quoted(column) + QStringLiteral(" INTEGER DEFAULT 0")
                                              : quoted(column) + QStringLiteral(" TEXT DEFAULT ''");
}

// The value a fresh record holds in a known column.
QVariant freshValue(const QString& column)
{
    return StationStore::isFlagColumn(column) ? QVariant(0) : QVariant(QStringLiteral(""));
}

// The same value as SQLite hands it back: type, null-ness and content (0 and '' differ, as do a
// NULL text and an empty one).
bool sameValue(const QVariant& a, const QVariant& b)
{
    return a.metaType() == b.metaType() && a.isNull() == b.isNull() && a == b;
}

QVariant storedValue(const QString& column, const QVariant& value)
{
    if (StationStore::isFlagColumn(column))
        return QVariant(value.toInt() != 0 ? 1 : 0);
    if (columnTable().canonicalByLower.contains(column.toLower())) {
        const QString text = value.toString();
        return text.isNull() ? freshValue(column) : QVariant(text);
    }
    return value;
}

QString extrasNewerError(const QString& path)
{
    return QCoreApplication::translate("kestavo::stations",
                                       "The tags and sites in the station database \"%1\" were written by a "
                                       "newer version of Kestavo; they were left unchanged.")
        .arg(QDir::toNativeSeparators(path));
}

QString sqlError(const QSqlError& error)
{
    const QString text = error.text().trimmed();
    return text.isEmpty() ? QCoreApplication::translate("kestavo::stations", "unknown database error") : text;
}

// Why SQLite could not read an existing file, as a sentence. Only a file SQLite finds malformed is
// called damaged: a lock, a full disk, a refused permission or a failing disk are not the file's
// fault, and saying "damaged" would send the user to restore a good file from a backup.
QString readFailure(const QString& file, const QSqlError& error)
{
    bool ok = false;
    const int primary = error.nativeErrorCode().toInt(&ok) & 0xFF; // extended codes keep it low
    const QString detail = sqlError(error);
    if (!ok)
        return QCoreApplication::translate(
                   "kestavo::stations",
                   "The station database \"%1\" cannot be read (%2) and was left unchanged.")
            .arg(file, detail);
    switch (primary) {
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return QCoreApplication::translate(
                   "kestavo::stations",
                   "The station database \"%1\" is locked by another program (%2) and was left "
                   "unchanged; close the other program (or another Kestavo) and start again.")
            .arg(file, detail);
    case 13: // SQLITE_FULL
        return QCoreApplication::translate(
                   "kestavo::stations",
                   "The station database \"%1\" cannot be read because the disk is full (%2); "
                   "it was left unchanged. Free some space and start again.")
            .arg(file, detail);
    case 3:  // SQLITE_PERM
    case 8:  // SQLITE_READONLY
    case 14: // SQLITE_CANTOPEN
    case 23: // SQLITE_AUTH
        return QCoreApplication::translate(
                   "kestavo::stations",
                   "The station database \"%1\" cannot be read: permission was refused (%2). "
                   "It was left unchanged; check the permissions of the file and its folder.")
            .arg(file, detail);
    case 10: // SQLITE_IOERR
        return QCoreApplication::translate("kestavo::stations",
                                           "The station database \"%1\" cannot be read: the disk reported an "
                                           "input/output error (%2). It was left unchanged; check the disk.")
            .arg(file, detail);
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return QCoreApplication::translate(
                   "kestavo::stations", "The station database \"%1\" is damaged (%2) and was left unchanged.")
            .arg(file, detail);
    default:
        return QCoreApplication::translate(
                   "kestavo::stations",
                   "The station database \"%1\" cannot be read (%2) and was left unchanged.")
            .arg(file, detail);
    }
}

} // namespace

StationStore::StationStore(QObject* parent)
    : QObject(parent), m_connection(QStringLiteral("kestavo-stations-%1").arg(++g_connectionCounter))
{
}

StationStore::~StationStore()
{
    close();
}

const QStringList& StationStore::columns()
{
    return columnTable().all;
}

bool StationStore::isFlagColumn(const QString& column)
{
    return columnTable().flags.contains(column);
}

QStringList StationStore::tableColumns() const
{
    return m_tableColumns;
}

StationStore::OpenResult StationStore::open(const QString& path)
{
    close();
    m_path = QFileInfo(path).absoluteFilePath();
    m_lastError.clear();

    const QFileInfo info(m_path);
    bool created = false;
    if (!info.exists()) {
        if (!info.dir().exists()) {
            return fail(tr("The station database \"%1\" cannot be created because its folder "
                           "\"%2\" does not exist; create the folder or choose another file.")
                            .arg(nativePath(m_path), nativePath(info.absolutePath())));
        }
        if (!createFile())
            return fail(m_lastError);
        created = true;
    } else {
        const QString problem = checkExistingFile();
        if (!problem.isEmpty())
            return fail(problem);
    }

    m_readOnly = !created && !QFileInfo(m_path).isWritable();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(m_path);
        if (m_readOnly)
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) {
            return fail(tr("The station database \"%1\" cannot be opened: %2.")
                            .arg(nativePath(m_path), sqlError(db.lastError())));
        }
    }
    if (!prepareSchema() || !prepareExtras() || !loadRecords() || !loadExtras())
        return fail(m_lastError);

    m_open = true;
    m_position = m_records.isEmpty() ? -1 : 0;
    return {true, {}};
}

StationStore::OpenResult StationStore::fail(const QString& error)
{
    close();
    m_lastError = error;
    return {false, error};
}

void StationStore::close()
{
    if (QSqlDatabase::contains(m_connection)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_open = false;
    m_readOnly = false;
    m_tableColumns.clear();
    m_records.clear();
    m_position = -1;
    m_tags.clear();
    m_sites.clear();
    m_extrasNewer = false;
    m_team = false;
    m_key = QStringLiteral("rowid");
    m_passwordsReadable = true;
}

StationStore::OpenResult StationStore::openTeam(const QSqlDatabase& store, const TeamAccess& access)
{
    close();
    m_team = true;
    m_key = quoted(kKeyColumn);
    m_access = access;
    m_path = access.label;
    m_lastError.clear();
    {
        QSqlDatabase db = QSqlDatabase::cloneDatabase(store, m_connection);
        if (!db.open())
            return fail(tr("The store %1 cannot be opened: %2.").arg(m_path, sqlError(db.lastError())));
    }
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral("SELECT part, version FROM schema_version "
                                   "WHERE part IN ('stations', 'station_extras')"))) {
        return fail(tr("The store %1 holds no station directory (%2); set it up with kestavo-cli store init.")
                        .arg(m_path, sqlError(query.lastError())));
    }
    bool found = false;
    while (query.next()) {
        const int version = query.value(1).toInt();
        if (query.value(0).toString() == u"stations") {
            found = true;
            if (version > kSchemaVersion)
                return fail(tr("The station directory of the store %1 was set up by a newer version of "
                               "Kestavo (schema %2) and was left unchanged.")
                                .arg(m_path)
                                .arg(version));
        } else {
            m_extrasNewer = version > kExtrasSchemaVersion;
        }
    }
    query.finish();
    if (!found)
        return fail(tr("The store %1 holds no station directory; set it up with kestavo-cli store init.")
                        .arg(m_path));
    if (!loadRecords() || !loadExtras())
        return fail(m_lastError);
    m_open = true;
    m_position = m_records.isEmpty() ? -1 : 0;
    return {true, {}};
}

QString StationStore::commandRefusal() const
{
    return m_team && !m_passwordsReadable ? m_access.commandRefusal : QString();
}

// The columns this session may read, in table order. The password column of a viewer is left out
// by name: asking for it (or for every column) would make the whole query fail.
bool StationStore::loadTeamColumns()
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral(
            "SELECT attname, has_column_privilege('ipnumbers'::regclass, attnum, 'SELECT') FROM pg_attribute "
            "WHERE attrelid = 'ipnumbers'::regclass AND attnum > 0 AND NOT attisdropped ORDER BY attnum"))) {
        m_lastError = tr("The station directory of the store %1 cannot be read: %2.")
                          .arg(m_path, sqlError(query.lastError()));
        return false;
    }
    QStringList readable;
    m_passwordsReadable = false;
    const auto& canonical = columnTable().canonicalByLower;
    while (query.next()) {
        const QString name = query.value(0).toString();
        if (name == kKeyColumn || !query.value(1).toBool())
            continue;
        readable.append(canonical.value(name.toLower(), name));
        m_passwordsReadable = m_passwordsReadable || name == kPassword;
    }
    setColumns(readable);
    return true;
}

bool StationStore::reload()
{
    if (!m_open)
        return false;
    const QString address = m_position >= 0 ? addressOf(entryAt(m_position)) : QString();
    if (m_team) {
        // A store that was restarted ended this session: a new one is made alike.
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (QSqlQuery ping(db); !ping.exec(QStringLiteral("SELECT 1"))) {
            ping.finish();
            db.close();
            db.open();
        }
    }
    const QStringList columns = m_tableColumns;
    QList<Record> records = m_records;
    const bool readable = m_passwordsReadable;
    if (!loadRecords() || !loadExtras()) {
        const QString error = m_lastError;
        setColumns(columns);
        m_records = std::move(records);
        m_passwordsReadable = readable;
        m_lastError = error;
        return false;
    }
    const int found = address.isEmpty() ? -1 : positionOf(address);
    m_position = found >= 0 ? found : (m_records.isEmpty() ? -1 : 0);
    Q_EMIT changed();
    return true;
}

// Decides, without writing a byte, whether an existing file is a station database we may use.
QString StationStore::checkExistingFile() const
{
    const QString file = nativePath(m_path);
    const QFileInfo info(m_path);
    if (info.isDir()) {
        return tr("The station database \"%1\" is a folder, not a file; choose another file.").arg(file);
    }

    // Only SQLite opens the file: closing a descriptor of our own would drop the locks of every
    // connection this process holds on it.
    if (const QString reason = sqlitefile::unreadableReason(m_path); !reason.isEmpty()) {
        return tr("The station database \"%1\" cannot be read (%2); check its permissions.")
            .arg(file, reason);
    }

    QString problem;
    const QString checkName = m_connection + QStringLiteral("-check");
    {
        QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), checkName);
        check.setDatabaseName(m_path);
        check.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs));
        const std::optional<QByteArray> header =
            check.open() ? sqlitefile::fileHeader(check) : std::optional<QByteArray>();
        if (!header) {
            problem = readFailure(file, check.lastError());
        } else if (header->isEmpty()) {
            // An empty file is an empty database to SQLite: it is set up like a new one.
        } else if (*header != sqlitefile::magic()) {
            problem = tr("The station database \"%1\" is not an SQLite database (it may be a station "
                         "file of an older console) and was left unchanged; choose another file.")
                          .arg(file);
        } else {
            QSqlQuery query(check);
            if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master "
                                           "WHERE type = 'table' AND lower(name) = 'ipnumbers'")) ||
                !query.next()) {
                problem = readFailure(file, query.lastError());
            } else if (query.value(0).toInt() == 0) {
                problem = tr("The database \"%1\" has no \"ipnumbers\" table, so it is not a station "
                             "database; it was left unchanged.")
                              .arg(file);
            } else if (query.exec(QStringLiteral("PRAGMA user_version")) && query.next() &&
                       query.value(0).toInt() > kSchemaVersion) {
                problem = tr("The station database \"%1\" was written by a newer version of "
                             "Kestavo (schema %2) and was left unchanged.")
                              .arg(file)
                              .arg(query.value(0).toInt());
            }
            query.finish();
        }
        check.close();
    }
    QSqlDatabase::removeDatabase(checkName);
    return problem;
}

bool StationStore::createFile()
{
    // Created owner-only from the first byte on: the file holds the units' passwords.
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        m_lastError = tr("The station database \"%1\" cannot be created (%2).")
                          .arg(nativePath(m_path), file.errorString());
        return false;
    }
    file.close();
    return true;
}

bool StationStore::prepareSchema()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    const auto failed = [this, &query](const QString& what) {
        m_lastError = QStringLiteral("The station database \"%1\" cannot be %2: %3.")
                          .arg(nativePath(m_path), what, sqlError(query.lastError()));
        return false;
    };

    if (!query.exec(QStringLiteral("PRAGMA table_info(ipnumbers)")))
        return failed(QStringLiteral("read"));
    QSet<QString> present;
    while (query.next())
        present.insert(query.value(1).toString().toLower());
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return failed(QStringLiteral("read"));
    const int version = query.value(0).toInt();
    query.finish();

    if (m_readOnly) {
        if (present.isEmpty()) {
            m_lastError = tr("The station database \"%1\" is empty and read-only, so no station "
                             "table can be created in it; choose another file.")
                              .arg(nativePath(m_path));
            return false;
        }
        return true; // used as it is; missing columns simply read as empty
    }

    // Cannot change inside a transaction; a file system without shared memory keeps its old mode.
    query.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    query.finish();

    QStringList statements;
    if (present.isEmpty()) {
        QStringList definitions{quoted(kKeyColumn) + QStringLiteral(" INTEGER PRIMARY KEY")};
        for (const QString& column : columns())
            definitions.append(columnDefinition(column));
        statements.append(
            QStringLiteral("CREATE TABLE ipnumbers (%1)").arg(definitions.join(QStringLiteral(", "))));
    } else {
        for (const QString& column : columns()) {
            if (!present.contains(column.toLower()))
                statements.append(QStringLiteral("ALTER TABLE ipnumbers ADD COLUMN ") +
                                  columnDefinition(column));
        }
    }
    if (statements.isEmpty() && version == kSchemaVersion)
        return true;
    statements.append(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion));

    if (!db.transaction())
        return failed(QStringLiteral("prepared"));
    for (const QString& statement : statements) {
        if (!query.exec(statement)) {
            failed(QStringLiteral("prepared"));
            db.rollback();
            return false;
        }
    }
    if (!db.commit()) {
        m_lastError = tr("The station database \"%1\" cannot be prepared: %2.")
                          .arg(nativePath(m_path), sqlError(db.lastError()));
        db.rollback();
        return false;
    }
    return true;
}

bool StationStore::loadRecords()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    if (m_team && !loadTeamColumns())
        return false;
    if (!m_team && !query.exec(QStringLiteral("PRAGMA table_info(ipnumbers)"))) {
        m_lastError = tr("The station database \"%1\" cannot be read: %2.")
                          .arg(nativePath(m_path), sqlError(query.lastError()));
        return false;
    }
    QStringList tableColumns;
    QSet<QString> integerColumns; // declared with INTEGER affinity: 0.0 and '0' are stored as 0
    QSet<QString> textColumns;    // TEXT affinity: whatever is written is stored as text
    const auto& canonical = columnTable().canonicalByLower;
    while (!m_team && query.next()) {
        const QString name = query.value(1).toString();
        if (name.compare(kKeyColumn, Qt::CaseInsensitive) == 0)
            continue;
        tableColumns.append(canonical.value(name.toLower(), name));
        const QString type = query.value(2).toString().toUpper();
        if (type.contains(QStringLiteral("INT")))
            integerColumns.insert(tableColumns.last());
        else if (type.contains(QStringLiteral("CHAR")) || type.contains(QStringLiteral("CLOB")) ||
                 type.contains(QStringLiteral("TEXT")))
            textColumns.insert(tableColumns.last());
    }
    if (!m_team)
        setColumns(tableColumns);

    // Most rows hold an entry, a password and perhaps the default flag and nothing else. SQLite
    // says which rows hold more (an expression over the other columns, exact as to type) and only
    // those are read whole: converting 150 cells a row to text made a 100,000-station directory
    // take seconds to open. A file with columns of its own is read whole.
    const qsizetype ips = columnIndex(kIps);
    const qsizetype password = columnIndex(kPassword);
    const qsizetype flag = columnIndex(kDefault);
    QStringList selected;
    QStringList others;
    // A team's store is read whole: the test below is SQLite's, and a viewer has no passwords.
    bool wholeRows = m_team || ips < 0 || password < 0 || flag < 0;
    for (qsizetype i = 0; i < m_tableColumns.size(); ++i) {
        const QString column = quoted(m_tableColumns.at(i));
        selected.append(column);
        if (i == ips || i == password || i == flag)
            continue;
        if (!m_blanks.at(i).isValid())
            wholeRows = true;
        // Only the text '' equals '' (it is no number, whatever the column's affinity).
        if (!isFlagColumn(m_tableColumns.at(i)))
            others.append(QStringLiteral("%1 IS NOT ''").arg(column));
        else if (integerColumns.contains(m_tableColumns.at(i)))
            others.append(QStringLiteral("%1 IS NOT 0").arg(column));
        else
            others.append(QStringLiteral("typeof(%1) IS NOT 'integer' OR %1 <> 0").arg(column));
    }
    // A row this program appends is then known without reading it back: every column holds
    // what the INSERT wrote, as SQLite stores it.
    m_plainRows = !wholeRows;
    for (const QString& column : std::as_const(m_tableColumns))
        m_plainRows = m_plainRows &&
                      (isFlagColumn(column) ? integerColumns.contains(column) : textColumns.contains(column));
    const QString holdsMore = others.isEmpty()
                                  ? QStringLiteral("0")
                                  : QLatin1Char('(') + others.join(QStringLiteral(") OR (")) + u')';
    const auto failed = [this](const QSqlQuery& q) {
        m_lastError = tr("The station database \"%1\" cannot be read: %2.")
                          .arg(nativePath(m_path), sqlError(q.lastError()));
        QSqlDatabase::database(m_connection, false).rollback();
        return false;
    };
    m_records.clear();
    // Both reads see one state of the file.
    db.transaction();
    // Forward only: a cached result would hold every cell of every row once more.
    query.setForwardOnly(true);
    if (wholeRows) {
        if (!query.exec(QStringLiteral("SELECT %1, %2 FROM ipnumbers ORDER BY %1")
                            .arg(m_key, selected.join(QStringLiteral(", ")))))
            return failed(query);
        while (query.next()) {
            Record record;
            record.rowId = query.value(0).toLongLong();
            readCells(query, 1, &record);
            m_records.append(std::move(record));
        }
    } else {
        if (!query.exec(QStringLiteral("SELECT rowid, %1, %2, %3, %4 FROM ipnumbers ORDER BY rowid")
                            .arg(quoted(kIps), quoted(kPassword), quoted(kDefault), holdsMore)))
            return failed(query);
        QHash<qint64, qsizetype> whole; // rowid -> position of a row that holds more
        while (query.next()) {
            Record record;
            record.rowId = query.value(0).toLongLong();
            if (query.value(4).toInt() != 0) {
                whole.insert(record.rowId, m_records.size());
            } else {
                const std::pair<qsizetype, int> few[] = {{ips, 1}, {password, 2}, {flag, 3}};
                for (const auto& [column, at] : few) {
                    QVariant value = query.value(at);
                    if (!sameValue(value, m_blanks.at(column)))
                        record.cells.append({column, std::move(value)});
                }
                record.cells.squeeze();
            }
            m_records.append(std::move(record));
        }
        if (!whole.isEmpty()) {
            if (!query.exec(QStringLiteral("SELECT rowid, %1 FROM ipnumbers WHERE %2")
                                .arg(selected.join(QStringLiteral(", ")), holdsMore)))
                return failed(query);
            while (query.next()) {
                const auto position = whole.constFind(query.value(0).toLongLong());
                if (position != whole.cend())
                    readCells(query, 1, &m_records[*position]);
            }
        }
    }
    query.finish();
    db.commit();
    m_records.squeeze();
    return true;
}

void StationStore::setColumns(const QStringList& columns)
{
    m_tableColumns = columns;
    m_columnIndex.clear();
    m_blanks.clear();
    const auto& known = columnTable().canonicalByLower;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const QString& column = columns.at(i);
        m_columnIndex.insert(column, i);
        if (isFlagColumn(column))
            m_blanks.append(QVariant(qlonglong(0)));
        else if (known.contains(column.toLower()))
            m_blanks.append(QVariant(QStringLiteral("")));
        else
            m_blanks.append(QVariant());
    }
}

qsizetype StationStore::columnIndex(const QString& column) const
{
    return m_columnIndex.value(column, -1);
}

QVariant StationStore::cell(const Record& record, qsizetype column) const
{
    if (column < 0)
        return {};
    for (const auto& [index, value] : record.cells) {
        if (index == column)
            return value;
    }
    return m_blanks.at(column);
}

QVariant StationStore::cell(const Record& record, const QString& column) const
{
    return cell(record, columnIndex(column));
}

void StationStore::setCell(Record& record, qsizetype column, const QVariant& value) const
{
    if (column < 0)
        return;
    const bool blank = sameValue(value, m_blanks.at(column));
    for (qsizetype i = 0; i < record.cells.size(); ++i) {
        if (record.cells.at(i).first != column)
            continue;
        if (blank)
            record.cells.removeAt(i);
        else
            record.cells[i].second = value;
        return;
    }
    if (!blank)
        record.cells.append({column, value});
}

void StationStore::setCell(Record& record, const QString& column, const QVariant& value) const
{
    setCell(record, columnIndex(column), value);
}

// Every column of m_tableColumns from the query's result columns `first` onwards.
bool StationStore::readCells(const QSqlQuery& query, int first, Record* record) const
{
    record->cells.clear();
    for (qsizetype i = 0; i < m_tableColumns.size(); ++i) {
        QVariant value = query.value(int(i) + first);
        // PostgreSQL's integer flags come back as int, SQLite's as qlonglong: one type, one blank.
        if (m_team && value.typeId() == QMetaType::Int)
            value = QVariant(value.toLongLong());
        if (!sameValue(value, m_blanks.at(i)))
            record->cells.append({i, std::move(value)});
    }
    record->cells.squeeze();
    return true;
}

bool StationStore::readRecord(qint64 rowId, Record* record)
{
    QStringList selected;
    for (const QString& column : std::as_const(m_tableColumns))
        selected.append(quoted(column));
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT %1 FROM ipnumbers WHERE %2 = ?")
                      .arg(selected.join(QStringLiteral(", ")), m_key));
    query.addBindValue(rowId);
    if (!query.exec() || !query.next()) {
        failWrite(query.lastError());
        return false;
    }
    record->rowId = rowId;
    return readCells(query, 0, record);
}

bool StationStore::isOpen() const
{
    return m_open;
}

bool StationStore::isReadOnly() const
{
    return m_readOnly;
}

QString StationStore::path() const
{
    return m_path;
}

QString StationStore::lastError() const
{
    return m_lastError;
}

int StationStore::count() const
{
    return int(m_records.size());
}

int StationStore::lastPosition() const
{
    return count() - 1;
}

int StationStore::position() const
{
    return m_position;
}

void StationStore::move(int position)
{
    m_position = m_records.isEmpty() ? -1 : std::clamp(position, 0, lastPosition());
}

QVariant StationStore::value(const QString& column) const
{
    return valueAt(m_position, column);
}

QVariant StationStore::valueAt(int position, const QString& column) const
{
    if (position < 0 || position >= count())
        return {};
    return cell(m_records.at(position), column);
}

QString StationStore::ips() const
{
    return value(kIps).toString();
}

QString StationStore::password() const
{
    return value(kPassword).toString();
}

bool StationStore::isDefault() const
{
    return value(kDefault).toInt() != 0;
}

QString StationStore::entryAt(int position) const
{
    return valueAt(position, kIps).toString();
}

int StationStore::positionOf(const QString& address) const
{
    const qsizetype ips = columnIndex(kIps);
    for (int p = 0; p < count(); ++p) {
        if (addressOf(cell(m_records.at(p), ips).toString()) == address)
            return p;
    }
    return -1;
}

int StationStore::findAddress(const QString& address)
{
    const int found = positionOf(address);
    m_position = found >= 0 ? found : lastPosition();
    return found;
}

int StationStore::findEntry(const QString& entry)
{
    const qsizetype ips = columnIndex(kIps);
    for (int p = 0; p < count(); ++p) {
        if (cell(m_records.at(p), ips).toString() == entry) {
            m_position = p;
            return p;
        }
    }
    m_position = lastPosition();
    return -1;
}

StationStore::ListFill StationStore::fillList() const
{
    ListFill fill;
    const qsizetype ips = columnIndex(kIps);
    const qsizetype flag = columnIndex(kDefault);
    fill.entries.reserve(m_records.size());
    for (const Record& record : m_records) {
        const QString entry = cell(record, ips).toString();
        fill.entries.append(entry);
        if (cell(record, flag).toInt() != 0)
            fill.defaultEntry = entry;
    }
    return fill;
}

// Where the console leaves the cursor after the list was rebuilt: on the station the list shows.
void StationStore::positionOnShownStation()
{
    findAddress(addressOf(fillList().defaultEntry));
}

bool StationStore::beginWrite()
{
    if (!m_open) {
        m_lastError = m_path.isEmpty()
                          ? tr("No station database is open; the change was not saved.")
                          : tr("The station database \"%1\" is not open; the change was not saved.")
                                .arg(nativePath(m_path));
        return false;
    }
    if (m_readOnly) {
        m_lastError =
            tr("The station database \"%1\" is read-only; the change was not saved.").arg(nativePath(m_path));
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) {
        m_lastError = tr("The station database \"%1\" cannot be changed: %2.")
                          .arg(nativePath(m_path), sqlError(db.lastError()));
        return false;
    }
    return true;
}

bool StationStore::commitWrite()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.commit()) {
        failWrite(db.lastError());
        return false;
    }
    m_lastError.clear();
    return true;
}

void StationStore::failWrite(const QSqlError& error)
{
    if (m_team && error.nativeErrorCode() == u"42501") {
        QSqlDatabase::database(m_connection, false).rollback();
        m_lastError = m_access.editRefusal;
        return;
    }
    failWrite(sqlError(error));
}

qint64 StationStore::insertedKey(QSqlQuery& query) const
{
    if (!m_team)
        return query.lastInsertId().toLongLong();
    return query.next() ? query.value(0).toLongLong() : -1;
}

QString StationStore::returningKey() const
{
    return m_team ? QStringLiteral(" RETURNING ") + m_key : QString();
}

// A number that moves whenever another program changes the directory: SQLite's count of other
// connections' commits, or the store's own counter of station changes.
std::optional<qint64> StationStore::changeCount() const
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(m_team ? QStringLiteral("SELECT counter FROM changes WHERE name = 'stations'")
                           : QStringLiteral("PRAGMA data_version")) ||
        !query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}

void StationStore::failWrite(const QString& error)
{
    QSqlDatabase::database(m_connection, false).rollback();
    m_lastError = tr("The station database \"%1\" could not be changed: %2.").arg(nativePath(m_path), error);
}

bool StationStore::writeCurrent(const QVariantMap& changes)
{
    if (m_position < 0) {
        m_lastError = tr("No station is selected; the change was not saved.");
        return false;
    }
    QVariantMap stored;
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        if (m_team && !m_passwordsReadable && it.key() == kPassword) {
            m_lastError = m_access.editRefusal; // a viewer's copy has no password to change
            return false;
        }
        if (!m_tableColumns.contains(it.key())) {
            m_lastError = tr("The station database \"%1\" has no column \"%2\"; the change was not "
                             "saved.")
                              .arg(nativePath(m_path), it.key());
            return false;
        }
        stored.insert(it.key(), storedValue(it.key(), it.value()));
    }
    if (stored.isEmpty())
        return true;
    if (!beginWrite())
        return false;

    if (!updateRecord(m_records.at(m_position).rowId, stored) || !commitWrite())
        return false;

    Record& record = m_records[m_position];
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        setCell(record, it.key(), it.value());
    Q_EMIT changed();
    return true;
}

// Inside a write transaction: sets the given columns of one record; a failure ends the transaction.
bool StationStore::updateRecord(qint64 rowId, const QVariantMap& values)
{
    QStringList assignments;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        assignments.append(quoted(it.key()) + QStringLiteral(" = ?"));
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("UPDATE ipnumbers SET %1 WHERE %2 = ?")
                      .arg(assignments.join(QStringLiteral(", ")), m_key));
    for (const QVariant& value : std::as_const(values))
        query.addBindValue(value);
    query.addBindValue(rowId);
    if (!query.exec()) {
        failWrite(query.lastError());
        return false;
    }
    return true;
}

// Inside a write transaction: appends one record (not yet to m_records) and reads it back, so
// unknown columns carry the file's own defaults.
bool StationStore::insertRecord(const QString& ip, const QString& password, const QString& description,
                                bool makeDefault, Record* record)
{
    QVariantMap values;
    for (const QString& column : columns()) {
        if (m_tableColumns.contains(column))
            values.insert(column, freshValue(column));
    }
    values.insert(kIps, formatEntry(ip, description));
    values.insert(kPassword, password);
    values.insert(kDefault, makeDefault ? 1 : 0);

    QStringList names;
    QStringList marks;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        names.append(quoted(it.key()));
        marks.append(QStringLiteral("?"));
    }
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(
        QStringLiteral("INSERT INTO ipnumbers (%1) VALUES (%2)%3")
            .arg(names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")), returningKey()));
    for (const QVariant& value : std::as_const(values))
        query.addBindValue(value);
    if (!query.exec()) {
        failWrite(query.lastError());
        return false;
    }
    const qint64 rowId = insertedKey(query);
    query.finish();
    return readRecord(rowId, record);
}

bool StationStore::add(const QString& ip, const QString& typedPassword, const QString& description)
{
    if (!beginWrite())
        return false;
    // With no station yet there is nothing to show at start-up unless the first one is default.
    Record record;
    if (!insertRecord(ip, padPassword(typedPassword), description, m_records.isEmpty(), &record))
        return false;
    if (!commitWrite())
        return false;

    m_records.append(record);
    positionOnShownStation();
    Q_EMIT changed();
    return true;
}

bool StationStore::importStations(const QList<ImportRow>& rows)
{
    const bool anyTags =
        std::any_of(rows.cbegin(), rows.cend(), [](const ImportRow& row) { return bool(row.tags); });
    if (anyTags && m_extrasNewer) {
        m_lastError = extrasNewerError(m_path);
        return false;
    }
    if (!beginWrite())
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QList<Record> records = m_records;
    const qsizetype ipsColumn = columnIndex(kIps);
    const qsizetype passwordColumn = columnIndex(kPassword);
    const qsizetype defaultColumn = columnIndex(kDefault);
    // A fleet's import of 100,000 rows: one look-up per row instead of a scan of the directory, one
    // prepared statement each for the station and its tags with three values bound per station
    // (binding is what costs in Qt SQL: the other known columns get their fresh values as
    // constants in the statement), and the new records read back in one query at the end (they
    // carry the file's own defaults for columns this program does not know, or a column was
    // declared otherwise than this program declares it).
    QHash<QString, qsizetype> positions;
    positions.reserve(records.size() + rows.size());
    for (qsizetype i = 0; i < records.size(); ++i) {
        const QString address = addressOf(cell(records.at(i), ipsColumn).toString());
        if (!positions.contains(address)) // the first station with an address is the one updated
            positions.insert(address, i);
    }
    QStringList names{quoted(kIps), quoted(kPassword), quoted(kDefault)};
    QStringList marks{QStringLiteral("?"), QStringLiteral("?"), QStringLiteral("?")};
    for (const QString& column : columns()) {
        if (column == kIps || column == kPassword || column == kDefault || columnIndex(column) < 0)
            continue;
        names.append(quoted(column));
        marks.append(isFlagColumn(column) ? QStringLiteral("0") : QStringLiteral("''"));
    }
    QSqlQuery insert(db);
    QSqlQuery dropTags(db);
    QSqlQuery addTag(db);
    if (!insert.prepare(
            QStringLiteral("INSERT INTO ipnumbers (%1) VALUES (%2)%3")
                .arg(names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")), returningKey())) ||
        (anyTags &&
         (!dropTags.prepare(QStringLiteral("DELETE FROM station_tags WHERE address = ?")) ||
          !addTag.prepare(QStringLiteral("INSERT INTO station_tags (address, tag) VALUES (?, ?)"))))) {
        failWrite(insert.lastError().isValid()     ? insert.lastError()
                  : dropTags.lastError().isValid() ? dropTags.lastError()
                                                   : addTag.lastError());
        return false;
    }
    const auto exec = [this](QSqlQuery& query) {
        if (query.exec())
            return true;
        failWrite(query.lastError());
        return false;
    };
    const auto setTags = [&](const QString& address, const QStringList& tags) {
        dropTags.bindValue(0, address);
        if (!exec(dropTags))
            return false;
        for (const QString& tag : tags) {
            addTag.bindValue(0, address);
            addTag.bindValue(1, tag);
            if (!exec(addTag))
                return false;
        }
        return true;
    };
    QHash<qint64, qsizetype> added; // rowid -> position of a record still to be read back
    qint64 firstAdded = -1;
    for (const ImportRow& row : rows) {
        const QString address = trimSpaces(row.address);
        const QString entry = formatEntry(address, row.description);
        const qsizetype found = positions.value(address, -1);
        if (found < 0) {
            const bool makeDefault = records.isEmpty();
            insert.bindValue(0, entry);
            insert.bindValue(1, padPassword(row.typedPassword));
            insert.bindValue(2, makeDefault ? 1 : 0);
            if (!exec(insert))
                return false;
            Record record;
            record.rowId = insertedKey(insert);
            if (m_plainRows) {
                setCell(record, ipsColumn, entry);
                setCell(record, passwordColumn, padPassword(row.typedPassword));
                setCell(record, defaultColumn, qlonglong(makeDefault ? 1 : 0));
            } else {
                if (firstAdded < 0)
                    firstAdded = record.rowId;
                added.insert(record.rowId, records.size());
            }
            positions.insert(address, records.size());
            records.append(std::move(record));
        } else {
            Record& record = records[found];
            QVariantMap changes{{kIps, entry}};
            if (!row.typedPassword.isEmpty())
                changes.insert(kPassword, padPassword(row.typedPassword));
            if (!updateRecord(record.rowId, changes))
                return false;
            setCell(record, ipsColumn, entry);
            if (!row.typedPassword.isEmpty())
                setCell(record, passwordColumn, changes.value(kPassword));
        }
        if (row.tags && !setTags(address, *row.tags))
            return false;
    }
    insert.finish();
    dropTags.finish();
    addTag.finish();
    if (firstAdded >= 0) {
        QStringList selected;
        for (const QString& column : std::as_const(m_tableColumns))
            selected.append(quoted(column));
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT %1, %2 FROM ipnumbers WHERE %1 >= ?")
                          .arg(m_key, selected.join(QStringLiteral(", "))));
        query.addBindValue(firstAdded);
        if (!exec(query))
            return false;
        while (query.next()) {
            const auto position = added.constFind(query.value(0).toLongLong());
            if (position != added.cend())
                readCells(query, 1, &records[*position]);
        }
    }
    if (!commitWrite())
        return false;
    for (const ImportRow& row : rows) {
        if (!row.tags)
            continue;
        const QString address = trimSpaces(row.address);
        if (row.tags->isEmpty())
            m_tags.remove(address);
        else
            m_tags.insert(address, *row.tags);
    }
    m_records = std::move(records);
    positionOnShownStation();
    Q_EMIT changed();
    return true;
}

StationStore::RemoveCheck StationStore::checkRemove(const QString& address, int* position)
{
    const int found = findAddress(address);
    if (position)
        *position = found;
    if (found < 0)
        return RemoveCheck::NotFound;
    return found == 0 ? RemoveCheck::FirstRecord : RemoveCheck::Ok;
}

bool StationStore::removeAt(int position)
{
    if (position == 0) {
        m_lastError = kDontDelete;
        return false;
    }
    if (position < 0 || position >= count()) {
        m_lastError = tr("There is no station at position %1; nothing was removed.").arg(position);
        return false;
    }
    if (!beginWrite())
        return false;

    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("DELETE FROM ipnumbers WHERE %1 = ?").arg(m_key));
    query.addBindValue(m_records.at(position).rowId);
    if (!query.exec()) {
        failWrite(query.lastError());
        return false;
    }

    QList<Record> remaining = m_records;
    remaining.removeAt(position);
    const qsizetype defaultColumn = columnIndex(kDefault);
    const qsizetype ipsColumn = columnIndex(kIps);
    const bool anyDefault = std::any_of(remaining.cbegin(), remaining.cend(), [&](const Record& record) {
        return cell(record, defaultColumn).toInt() != 0;
    });
    if (!anyDefault) {
        query.prepare(QStringLiteral("UPDATE ipnumbers SET \"default\" = 1 WHERE %1 = ?").arg(m_key));
        query.addBindValue(remaining.first().rowId);
        if (!query.exec()) {
            failWrite(query.lastError());
            return false;
        }
        setCell(remaining.first(), defaultColumn, qlonglong(1));
    }
    const QString removedAddress = addressOf(cell(m_records.at(position), ipsColumn).toString());
    const bool addressGone = std::none_of(remaining.cbegin(), remaining.cend(), [&](const Record& record) {
        return addressOf(cell(record, ipsColumn).toString()) == removedAddress;
    });
    if (addressGone && !m_extrasNewer &&
        (m_tags.contains(removedAddress) || m_sites.contains(removedAddress))) {
        if (!writeTags(removedAddress, {}) || !writeSite(removedAddress, {}))
            return false;
    }
    query.finish();
    if (!commitWrite())
        return false;
    if (addressGone && !m_extrasNewer) {
        m_tags.remove(removedAddress);
        m_sites.remove(removedAddress);
    }

    m_records = remaining;
    positionOnShownStation();
    Q_EMIT changed();
    return true;
}

bool StationStore::setDefault(const QString& address)
{
    const int found = findAddress(address);
    if (found < 0) {
        m_lastError = kNotFound;
        return false;
    }
    if (!beginWrite())
        return false;

    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral("UPDATE ipnumbers SET \"default\" = 0"))) {
        failWrite(query.lastError());
        return false;
    }
    query.prepare(QStringLiteral("UPDATE ipnumbers SET \"default\" = 1 WHERE %1 = ?").arg(m_key));
    query.addBindValue(m_records.at(found).rowId);
    if (!query.exec()) {
        failWrite(query.lastError());
        return false;
    }
    query.finish();
    if (!commitWrite())
        return false;

    const qsizetype defaultColumn = columnIndex(kDefault);
    for (int p = 0; p < count(); ++p)
        setCell(m_records[p], defaultColumn, qlonglong(p == found ? 1 : 0));
    m_position = found;
    Q_EMIT changed();
    return true;
}

bool StationStore::update(const QString& ip, const QString& typedPassword, const QString& description)
{
    if (findAddress(ip) < 0) {
        m_lastError = kNotFound;
        return false;
    }
    return writeCurrent({{kIps, formatEntry(ip, description)}, {kPassword, padPassword(typedPassword)}});
}

bool StationStore::setPassword(const QString& address, const QString& paddedPassword)
{
    if (findAddress(address) < 0) {
        m_lastError = kNotFound;
        return false;
    }
    return writeCurrent({{kPassword, paddedPassword}});
}

// ---- tags and sites ------------------------------------------------------------------------

bool StationStore::prepareExtras()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    const auto failed = [this, &query](const QString& what) {
        m_lastError = QStringLiteral("The station database \"%1\" cannot be %2: %3.")
                          .arg(nativePath(m_path), what, sqlError(query.lastError()));
        return false;
    };
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                   "name = 'station_extras_schema'")) ||
        !query.next())
        return failed(QStringLiteral("read"));
    if (query.value(0).toInt() > 0) {
        if (!query.exec(QStringLiteral("SELECT max(version) FROM station_extras_schema")) || !query.next())
            return failed(QStringLiteral("read"));
        m_extrasNewer = query.value(0).toInt() > kExtrasSchemaVersion;
        return true;
    }
    if (m_readOnly)
        return true; // nothing to read: no station has extras
    const QStringList statements = {
        QStringLiteral("CREATE TABLE station_extras_schema (version INTEGER NOT NULL)"),
        QStringLiteral("INSERT INTO station_extras_schema (version) VALUES (%1)").arg(kExtrasSchemaVersion),
        QStringLiteral("CREATE TABLE IF NOT EXISTS station_tags (address TEXT NOT NULL, tag TEXT NOT NULL, "
                       "PRIMARY KEY (address, tag))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS station_sites (address TEXT PRIMARY KEY, "
                       "location TEXT NOT NULL DEFAULT '', latitude REAL, longitude REAL, "
                       "zone TEXT NOT NULL DEFAULT '')"),
    };
    if (!db.transaction())
        return failed(QStringLiteral("prepared"));
    for (const QString& statement : statements) {
        if (!query.exec(statement)) {
            failed(QStringLiteral("prepared"));
            db.rollback();
            return false;
        }
    }
    if (!db.commit()) {
        m_lastError = tr("The station database \"%1\" cannot be prepared: %2.")
                          .arg(nativePath(m_path), sqlError(db.lastError()));
        db.rollback();
        return false;
    }
    return true;
}

bool StationStore::refreshExtras()
{
    if (!m_open)
        return false;
    const std::optional<qint64> count = changeCount();
    if (!count || *count == m_dataVersion)
        return false;
    return loadExtras();
}

bool StationStore::loadExtras()
{
    m_tags.clear();
    m_sites.clear();
    if (const std::optional<qint64> count = changeCount())
        m_dataVersion = *count;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    // A read-only file from before the extras has none of these tables: nothing to load.
    query.setForwardOnly(true);
    if (query.exec(m_team ? QStringLiteral("SELECT address, tag FROM station_tags ORDER BY address, tag")
                          : QStringLiteral("SELECT address, tag FROM station_tags ORDER BY rowid"))) {
        while (query.next())
            m_tags[query.value(0).toString()].append(query.value(1).toString());
    }
    if (query.exec(
            QStringLiteral("SELECT address, location, latitude, longitude, zone FROM station_sites"))) {
        while (query.next()) {
            StationSite site;
            site.location = query.value(1).toString();
            if (!query.value(2).isNull())
                site.latitude = query.value(2).toDouble();
            if (!query.value(3).isNull())
                site.longitude = query.value(3).toDouble();
            site.zone = query.value(4).toString();
            m_sites.insert(query.value(0).toString(), site);
        }
    }
    return true;
}

// Inside a write transaction: the address's tags become exactly `tags`.
bool StationStore::writeTags(const QString& address, const QStringList& tags)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("DELETE FROM station_tags WHERE address = ?"));
    query.addBindValue(address);
    if (!query.exec()) {
        failWrite(query.lastError());
        return false;
    }
    query.prepare(QStringLiteral("INSERT INTO station_tags (address, tag) VALUES (?, ?)"));
    for (const QString& tag : tags) {
        query.addBindValue(address);
        query.addBindValue(tag);
        if (!query.exec()) {
            failWrite(query.lastError());
            return false;
        }
    }
    return true;
}

// Inside a write transaction: an empty site removes the row.
bool StationStore::writeSite(const QString& address, const StationSite& site)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("DELETE FROM station_sites WHERE address = ?"));
    query.addBindValue(address);
    if (!query.exec()) {
        failWrite(query.lastError());
        return false;
    }
    if (site.isEmpty())
        return true;
    query.prepare(QStringLiteral(
        "INSERT INTO station_sites (address, location, latitude, longitude, zone) VALUES (?, ?, ?, ?, ?)"));
    query.addBindValue(address);
    query.addBindValue(site.location.isNull() ? QStringLiteral("") : site.location);
    query.addBindValue(site.latitude ? QVariant(*site.latitude) : QVariant(QMetaType(QMetaType::Double)));
    query.addBindValue(site.longitude ? QVariant(*site.longitude) : QVariant(QMetaType(QMetaType::Double)));
    query.addBindValue(site.zone.isNull() ? QStringLiteral("") : site.zone);
    if (!query.exec()) {
        failWrite(query.lastError());
        return false;
    }
    return true;
}

bool StationStore::beginExtrasWrite(const QString& address)
{
    if (positionOf(address) < 0) {
        m_lastError = kNotFound;
        return false;
    }
    if (m_extrasNewer) {
        m_lastError = extrasNewerError(m_path);
        return false;
    }
    return beginWrite();
}

QStringList StationStore::tagsOf(const QString& address) const
{
    return m_tags.value(address);
}

StationSite StationStore::siteOf(const QString& address) const
{
    return m_sites.value(address);
}

QStringList StationStore::allTags() const
{
    QSet<QString> seen;
    for (const QStringList& list : m_tags)
        for (const QString& tag : list)
            seen.insert(tag);
    QStringList tags(seen.cbegin(), seen.cend());
    tags.sort();
    return tags;
}

QStringList StationStore::addressesWithTag(const QString& tag) const
{
    QStringList addresses;
    QSet<QString> listed; // a tag on 100,000 stations: no scan of the list per station
    const qsizetype ips = columnIndex(kIps);
    for (const Record& record : m_records) {
        const QString address = addressOf(cell(record, ips).toString());
        const auto tags = m_tags.constFind(address);
        if (tags != m_tags.cend() && tagMatches(*tags, tag) && !listed.contains(address)) {
            listed.insert(address);
            addresses.append(address);
        }
    }
    return addresses;
}

bool StationStore::addTags(const QString& address, const QStringList& tags)
{
    QStringList merged = m_tags.value(address);
    for (const QString& tag : tags)
        if (!merged.contains(tag))
            merged.append(tag);
    if (!beginExtrasWrite(address) || !writeTags(address, merged) || !commitWrite())
        return false;
    m_tags.insert(address, merged);
    Q_EMIT changed();
    return true;
}

bool StationStore::removeTags(const QString& address, const QStringList& tags)
{
    QStringList kept = m_tags.value(address);
    for (const QString& tag : tags)
        kept.removeAll(tag);
    if (!beginExtrasWrite(address) || !writeTags(address, kept) || !commitWrite())
        return false;
    if (kept.isEmpty())
        m_tags.remove(address);
    else
        m_tags.insert(address, kept);
    Q_EMIT changed();
    return true;
}

bool StationStore::setSite(const QString& address, const StationSite& site)
{
    if (!beginExtrasWrite(address) || !writeSite(address, site) || !commitWrite())
        return false;
    if (site.isEmpty())
        m_sites.remove(address);
    else
        m_sites.insert(address, site);
    Q_EMIT changed();
    return true;
}

} // namespace kestavo::stations
