#include "history/historydb.h"

#include <algorithm>
#include <optional>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include "history/blockcodec.h"
#include "history/rollup.h"
#include "sqlitefile/sqlitefile.h"

namespace kestavo::history::db {

namespace {

// Version 1. `units` is one row per address and MAC the address had; `recent` holds samples not
// yet packed into a block (one row each, so a batch insert stays cheap); `blocks` hold packed
// samples (level 0) and roll-up buckets (levels 1 and 2); `rollups` says up to where each level
// of each unit is stored.
const char* const kSchemaV1[] = {
    "CREATE TABLE units (id INTEGER PRIMARY KEY, address TEXT NOT NULL, mac TEXT NOT NULL, "
    "UNIQUE (address, mac))",
    "CREATE TABLE recent (id INTEGER PRIMARY KEY, unit INTEGER NOT NULL, t INTEGER NOT NULL, "
    "rec BLOB NOT NULL)",
    "CREATE INDEX recent_unit_t ON recent (unit, t)",
    "CREATE TABLE blocks (id INTEGER PRIMARY KEY, unit INTEGER NOT NULL, level INTEGER NOT NULL, "
    "t0 INTEGER NOT NULL, t1 INTEGER NOT NULL, n INTEGER NOT NULL, data BLOB NOT NULL)",
    "CREATE INDEX blocks_unit_level_t1 ON blocks (unit, level, t1)",
    "CREATE TABLE rollups (unit INTEGER NOT NULL, level INTEGER NOT NULL, until_ms INTEGER NOT NULL, "
    "PRIMARY KEY (unit, level))",
    "CREATE TABLE events (id INTEGER PRIMARY KEY, address TEXT NOT NULL, t INTEGER NOT NULL, "
    "kind INTEGER NOT NULL, detail TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX events_address_t ON events (address, t)",
};

// Version 2 adds, without touching version 1's tables: the audit log of commands sent to units,
// alarm rules, the current state of every alarm raised, and the log of its transitions.
const char* const kSchemaV2[] = {
    "CREATE TABLE audit (id INTEGER PRIMARY KEY, t INTEGER NOT NULL, user TEXT NOT NULL, "
    "host TEXT NOT NULL, program TEXT NOT NULL, address TEXT NOT NULL, description TEXT NOT NULL, "
    "action TEXT NOT NULL, outcome TEXT NOT NULL, detail TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX audit_t ON audit (t)",
    "CREATE TABLE alarm_rules (id INTEGER PRIMARY KEY, address TEXT NOT NULL DEFAULT '', "
    "kind INTEGER NOT NULL, channel INTEGER NOT NULL DEFAULT 0, limit_value REAL NOT NULL DEFAULT 0, "
    "deadband REAL NOT NULL DEFAULT 0, on_delay INTEGER NOT NULL DEFAULT 0, "
    "off_delay INTEGER NOT NULL DEFAULT 0, priority INTEGER NOT NULL, text TEXT NOT NULL DEFAULT '', "
    "enabled INTEGER NOT NULL DEFAULT 1)",
    "CREATE TABLE alarms (id INTEGER PRIMARY KEY, address TEXT NOT NULL, rule INTEGER NOT NULL, "
    "priority INTEGER NOT NULL, text TEXT NOT NULL, state INTEGER NOT NULL, value REAL, "
    "raised_t INTEGER NOT NULL, changed_t INTEGER NOT NULL, acked_by TEXT NOT NULL DEFAULT '', "
    "shelved_until INTEGER NOT NULL DEFAULT 0)",
    "CREATE INDEX alarms_state ON alarms (state)",
    "CREATE TABLE alarm_events (id INTEGER PRIMARY KEY, t INTEGER NOT NULL, alarm INTEGER NOT NULL, "
    "address TEXT NOT NULL, rule INTEGER NOT NULL, value REAL, state INTEGER NOT NULL, "
    "who TEXT NOT NULL DEFAULT '', text TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX alarm_events_t ON alarm_events (t)",
};

// Version 4: notification routes (secrets stay in files; only their paths are kept), the log of
// every delivery attempt and suppression, and maintenance windows (out of service until end_t;
// ended_t is set once, by whoever ends it first).
const char* const kSchemaV4[] = {
    "CREATE TABLE notify_routes (id INTEGER PRIMARY KEY, kind TEXT NOT NULL, target TEXT NOT NULL, "
    "preset TEXT NOT NULL DEFAULT 'json', header_file TEXT NOT NULL DEFAULT '', smtp TEXT NOT NULL DEFAULT "
    "'', "
    "mail_from TEXT NOT NULL DEFAULT '', smtp_user TEXT NOT NULL DEFAULT '', "
    "password_file TEXT NOT NULL DEFAULT '', priorities TEXT NOT NULL DEFAULT '', "
    "station TEXT NOT NULL DEFAULT '', tag TEXT NOT NULL DEFAULT '', cooldown_s INTEGER NOT NULL DEFAULT 0, "
    "max_per_hour INTEGER NOT NULL DEFAULT 0, repeat_min INTEGER NOT NULL DEFAULT 0, "
    "send_cleared INTEGER NOT NULL DEFAULT 0, send_acknowledged INTEGER NOT NULL DEFAULT 0, "
    "enabled INTEGER NOT NULL DEFAULT 1)",
    "CREATE TABLE notify_deliveries (id INTEGER PRIMARY KEY, t INTEGER NOT NULL, route INTEGER NOT NULL, "
    "alarm INTEGER NOT NULL DEFAULT 0, address TEXT NOT NULL DEFAULT '', kind TEXT NOT NULL, "
    "outcome TEXT NOT NULL, attempt INTEGER NOT NULL DEFAULT 1, detail TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX notify_deliveries_t ON notify_deliveries (t)",
    "CREATE TABLE maintenance (id INTEGER PRIMARY KEY, address TEXT NOT NULL DEFAULT '', "
    "tag TEXT NOT NULL DEFAULT '', reason TEXT NOT NULL, start_t INTEGER NOT NULL, end_t INTEGER NOT NULL, "
    "ended_t INTEGER, who TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX maintenance_ended ON maintenance (ended_t)",
};

// Version 5: state shared between programs. A lease names the one program that polls a station
// and evaluates its rules (the agent outranks a console, which outranks anything else); the
// counter moves with every change to alarms and rules, so the others notice with one cheap read.
// The partial unique index makes "one condition, one open alarm" the file's own rule: earlier
// versions let two programs raise one alarm each, and the older of such a pair is closed here.
const char* const kSchemaV5[] = {
    "CREATE TABLE leases (address TEXT PRIMARY KEY, holder TEXT NOT NULL, program TEXT NOT NULL, "
    "precedence INTEGER NOT NULL DEFAULT 0, expires_t INTEGER NOT NULL)",
    "CREATE TABLE changes (name TEXT PRIMARY KEY, counter INTEGER NOT NULL)",
    "INSERT INTO changes (name, counter) VALUES ('alarms', 0)",
    "CREATE TRIGGER alarms_inserted AFTER INSERT ON alarms BEGIN "
    "UPDATE changes SET counter = counter + 1 WHERE name = 'alarms'; END",
    "CREATE TRIGGER alarms_updated AFTER UPDATE ON alarms BEGIN "
    "UPDATE changes SET counter = counter + 1 WHERE name = 'alarms'; END",
    "CREATE TRIGGER alarms_deleted AFTER DELETE ON alarms BEGIN "
    "UPDATE changes SET counter = counter + 1 WHERE name = 'alarms'; END",
    "CREATE TRIGGER alarm_rules_inserted AFTER INSERT ON alarm_rules BEGIN "
    "UPDATE changes SET counter = counter + 1 WHERE name = 'alarms'; END",
    "CREATE TRIGGER alarm_rules_updated AFTER UPDATE ON alarm_rules BEGIN "
    "UPDATE changes SET counter = counter + 1 WHERE name = 'alarms'; END",
    "CREATE TRIGGER alarm_rules_deleted AFTER DELETE ON alarm_rules BEGIN "
    "UPDATE changes SET counter = counter + 1 WHERE name = 'alarms'; END",
    "UPDATE alarms SET state = 0 WHERE state <> 0 AND id NOT IN "
    "(SELECT MAX(id) FROM alarms WHERE state <> 0 GROUP BY address, rule)",
    "CREATE UNIQUE INDEX alarms_open ON alarms (address, rule) WHERE state <> 0",
};

// Version 6: relay schedules (what, where, when, on which days) and the log of what their
// executor did about each occurrence (sent, verified, moved, skipped, failed, recovered).
const char* const kSchemaV6[] = {
    "CREATE TABLE schedules (id INTEGER PRIMARY KEY, station TEXT NOT NULL DEFAULT '', "
    "tag TEXT NOT NULL DEFAULT '', action TEXT NOT NULL, relay INTEGER NOT NULL DEFAULT 0, "
    "seconds INTEGER NOT NULL DEFAULT 0, slot INTEGER NOT NULL DEFAULT 0, anchor TEXT NOT NULL, "
    "minute INTEGER NOT NULL DEFAULT 0, offset_min INTEGER NOT NULL DEFAULT 0, "
    "days INTEGER NOT NULL DEFAULT 127, from_date TEXT NOT NULL DEFAULT '', "
    "until_date TEXT NOT NULL DEFAULT '', except_dates TEXT NOT NULL DEFAULT '', "
    "enabled INTEGER NOT NULL DEFAULT 1, created_t INTEGER NOT NULL DEFAULT 0)",
    ("CREATE TABLE schedule_log (id INTEGER PRIMARY KEY, t INTEGER NOT NULL, schedule INTEGER NOT NULL, "
     "address TEXT NOT NULL, due_t INTEGER NOT NULL, outcome TEXT NOT NULL, detail TEXT NOT NULL DEFAULT "
     "'')"),
    "CREATE INDEX schedule_log_schedule ON schedule_log (schedule, address, due_t)",
};

// Version 7: settings the programs sharing the file share too (the longest shelving), by name.
const char* const kSchemaV7[] = {
    "CREATE TABLE settings (name TEXT PRIMARY KEY, value TEXT NOT NULL)",
};

QString qs(const char* text)
{
    return QString::fromLatin1(text);
}

// Rows per multi-row INSERT: few round trips to a store, and far below either back end's limit on
// bound values (SQLite 32,766, PostgreSQL 65,535).
constexpr int kRowsPerInsert = 250;

// "INSERT INTO table (columns) VALUES (?, ?), (?, ?)…" for `rows` rows.
QString multiRowInsert(const QString& head, int columns, qsizetype rows)
{
    QStringList marks;
    for (int i = 0; i < columns; ++i)
        marks.append(QStringLiteral("?"));
    const QString row = u'(' + marks.join(QStringLiteral(", ")) + u')';
    QStringList all;
    all.reserve(rows);
    for (qsizetype i = 0; i < rows; ++i)
        all.append(row);
    return head + QStringLiteral(" VALUES ") + all.join(QStringLiteral(", "));
}

} // namespace

QString nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString sqlError(const QSqlDatabase& db)
{
    const QString text = db.lastError().text().trimmed();
    return text.isEmpty() ? QCoreApplication::translate("kestavo::history::db", "unknown database error")
                          : text;
}

WriteTransaction::WriteTransaction(QSqlDatabase db) : m_db(std::move(db))
{
    // On a team store (PostgreSQL) the rows a change starts from are locked as they are read
    // (SELECT … FOR UPDATE) instead of the whole file.
    if (!m_db.isOpen()) {
        m_error = QSqlError(QString(), sqlError(m_db), QSqlError::ConnectionError);
        return;
    }
    QSqlQuery begin(m_db);
    m_active = begin.exec(isStore(m_db) ? qs("BEGIN") : qs("BEGIN IMMEDIATE"));
    if (!m_active)
        m_error = begin.lastError();
}

WriteTransaction::~WriteTransaction()
{
    rollback();
}

void WriteTransaction::rollback()
{
    if (m_active)
        QSqlQuery(m_db).exec(qs("ROLLBACK"));
    m_active = false;
}

bool WriteTransaction::commit(QSqlError* error)
{
    if (!m_active)
        return false;
    m_active = false;
    QSqlQuery commit(m_db);
    if (commit.exec(qs("COMMIT")))
        return true;
    if (error)
        *error = commit.lastError();
    QSqlQuery(m_db).exec(qs("ROLLBACK"));
    return false;
}

QString checkExistingFile(const QString& path, int schemaVersion)
{
    // Nothing here opens the file but SQLite: this process may already hold connections on it
    // (the recorder, the alarm journal), and closing a descriptor of our own would drop their locks.
    const QString file = nativePath(path);
    if (QFileInfo(path).isDir())
        return QCoreApplication::translate(
                   "kestavo::history::db",
                   "The history file \"%1\" is a folder, not a file; choose another file.")
            .arg(file);
    if (const QString reason = sqlitefile::unreadableReason(path); !reason.isEmpty())
        return QCoreApplication::translate(
                   "kestavo::history::db",
                   "The history file \"%1\" cannot be read (%2); check its permissions.")
            .arg(file, reason);

    QString problem;
    const QString name = qs("kestavo-history-check-") + QUuid::createUuid().toString(QUuid::Id128);
    {
        QSqlDatabase check = QSqlDatabase::addDatabase(qs("QSQLITE"), name);
        check.setDatabaseName(path);
        check.setConnectOptions(qs("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        const std::optional<QByteArray> header =
            check.open() ? sqlitefile::fileHeader(check) : std::optional<QByteArray>();
        if (!header) {
            problem = QCoreApplication::translate(
                          "kestavo::history::db",
                          "The history file \"%1\" cannot be opened (%2) and was left unchanged.")
                          .arg(file, sqlError(check));
        } else if (header->isEmpty()) {
            // An empty file is an empty database to SQLite: it is set up like a new one.
        } else if (*header != sqlitefile::magic()) {
            problem = QCoreApplication::translate("kestavo::history::db",
                                                  "The history file \"%1\" is not an SQLite database and was "
                                                  "left unchanged; choose another file.")
                          .arg(file);
        } else {
            QSqlQuery query(check);
            int version = 0;
            int tables = 0;
            bool ours = false;
            if (query.exec(qs("PRAGMA user_version")) && query.next())
                version = query.value(0).toInt();
            if (query.exec(qs("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
                while (query.next()) {
                    ++tables;
                    ours = ours || query.value(0).toString() == u"units";
                }
            } else {
                problem = QCoreApplication::translate(
                              "kestavo::history::db",
                              "The history file \"%1\" is damaged (%2) and was left unchanged.")
                              .arg(file, query.lastError().text());
            }
            query.finish();
            if (!problem.isEmpty()) {
            } else if (version > schemaVersion) {
                problem =
                    QCoreApplication::translate(
                        "kestavo::history::db",
                        "The history file \"%1\" was written by a newer version of Kestavo (schema %2; this "
                        "one knows %3) and was left unchanged.")
                        .arg(file)
                        .arg(version)
                        .arg(schemaVersion);
            } else if (tables > 0 && !ours) {
                problem =
                    QCoreApplication::translate(
                        "kestavo::history::db",
                        "The database \"%1\" is not a history file (it has other tables, perhaps a station "
                        "database) and was left unchanged; choose another file.")
                        .arg(file);
            }
        }
        check.close();
    }
    QSqlDatabase::removeDatabase(name);
    return problem;
}

bool migrate(QSqlDatabase& db, int schemaVersion, QString* error)
{
    QSqlQuery query(db);
    if (!query.exec(qs("PRAGMA user_version")) || !query.next()) {
        *error = sqlError(db);
        return false;
    }
    const int version = query.value(0).toInt();
    query.finish();
    if (version >= schemaVersion)
        return true;
    if (!db.transaction()) {
        *error = sqlError(db);
        return false;
    }
    const auto run = [&](const char* const* first, const char* const* last) {
        for (auto it = first; it != last; ++it) {
            if (!query.exec(qs(*it))) {
                *error = query.lastError().text();
                return false;
            }
        }
        return true;
    };
    bool ok = true;
    if (version < 1)
        ok = run(std::begin(kSchemaV1), std::end(kSchemaV1));
    if (ok && version < 2)
        ok = run(std::begin(kSchemaV2), std::end(kSchemaV2));
    if (ok && version < 4)
        ok = run(std::begin(kSchemaV4), std::end(kSchemaV4));
    if (ok && version < 5)
        ok = run(std::begin(kSchemaV5), std::end(kSchemaV5));
    if (ok && version < 6)
        ok = run(std::begin(kSchemaV6), std::end(kSchemaV6));
    if (ok && version < 7)
        ok = run(std::begin(kSchemaV7), std::end(kSchemaV7));
    ok = ok && query.exec(qs("PRAGMA user_version = %1").arg(schemaVersion));
    if (!ok) {
        if (error->isEmpty())
            *error = query.lastError().text();
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        *error = sqlError(db);
        db.rollback();
        return false;
    }
    return true;
}

QList<qint64> unitIds(QSqlDatabase& db, const QString& address)
{
    QList<qint64> ids;
    QSqlQuery query(db);
    query.prepare(qs("SELECT id FROM units WHERE address = ? ORDER BY id"));
    query.addBindValue(address);
    if (query.exec())
        while (query.next())
            ids.append(query.value(0).toLongLong());
    return ids;
}

qint64 watermark(QSqlDatabase& db, qint64 unit, int level)
{
    QSqlQuery query(db);
    query.prepare(qs("SELECT until_ms FROM rollups WHERE unit = ? AND level = ?"));
    query.addBindValue(unit);
    query.addBindValue(level);
    if (query.exec() && query.next())
        return query.value(0).toLongLong();
    return -1;
}

QList<Sample> readSamples(QSqlDatabase& db, qint64 unit, qint64 fromMs, qint64 toMs)
{
    QList<Sample> samples;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(qs("SELECT data FROM blocks WHERE unit = ? AND level = 0 AND t1 >= ? AND t0 < ?"));
    query.addBindValue(unit);
    query.addBindValue(fromMs);
    query.addBindValue(toMs);
    std::vector<codec::Record> records;
    if (query.exec()) {
        while (query.next()) {
            if (!codec::unpackBlock(query.value(0).toByteArray(), codec::kSampleFields, &records))
                continue; // a damaged block costs its own samples, not the read
            for (const auto& r : records)
                if (r[0] >= fromMs && r[0] < toMs)
                    samples.append(codec::decodeSample(r));
        }
    }
    query.prepare(qs("SELECT rec FROM recent WHERE unit = ? AND t >= ? AND t < ?"));
    query.addBindValue(unit);
    query.addBindValue(fromMs);
    query.addBindValue(toMs);
    codec::Record record;
    if (query.exec()) {
        while (query.next())
            if (codec::unpackRecord(query.value(0).toByteArray(), codec::kSampleFields, &record))
                samples.append(codec::decodeSample(record));
    }
    std::stable_sort(samples.begin(), samples.end(),
                     [](const Sample& a, const Sample& b) { return a.timeMs < b.timeMs; });
    return samples;
}

QList<Row> readUnit(QSqlDatabase& db, qint64 unit, qint64 fromMs, qint64 toMs, Step step)
{
    QList<Row> rows;
    if (step == Step::Raw) {
        const QList<Sample> samples = readSamples(db, unit, fromMs, toMs);
        rows.reserve(samples.size());
        for (const Sample& s : samples)
            rows.append(Row::fromSample(s));
        return rows;
    }
    const qint64 width = stepMs(step);
    const qint64 from = bucketStart(fromMs, width);
    const qint64 stored = std::max<qint64>(watermark(db, unit, level(step)), from);
    if (stored > from) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.prepare(
            qs("SELECT data FROM blocks WHERE unit = ? AND level = ? AND t1 >= ? AND t0 < ? ORDER BY t0"));
        query.addBindValue(unit);
        query.addBindValue(level(step));
        query.addBindValue(from);
        query.addBindValue(std::min(toMs, stored));
        std::vector<codec::Record> records;
        if (query.exec()) {
            while (query.next()) {
                if (!codec::unpackBlock(query.value(0).toByteArray(), codec::kBucketFields, &records))
                    continue;
                for (const auto& r : records)
                    if (r[0] >= from && r[0] < toMs && r[0] < stored)
                        rows.append(codec::decodeBucket(r));
            }
        }
    }
    // What is not rolled up yet comes from the next finer level, folded the same way.
    if (toMs > stored)
        rows += aggregate(readUnit(db, unit, stored, toMs, Step(int(step) - 1)), width);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row& a, const Row& b) { return a.timeMs < b.timeMs; });
    return rows;
}

qint64 firstSampleTime(QSqlDatabase& db, qint64 unit, qint64 fromMs)
{
    QSqlQuery query(db);
    query.prepare(
        qs("SELECT min(t) FROM (SELECT min(t0) AS t FROM blocks WHERE unit = ? AND level = 0 AND t1 >= ? "
           "UNION ALL SELECT min(t) FROM recent WHERE unit = ? AND t >= ?) AS firsts"));
    for (int i = 0; i < 2; ++i) {
        query.addBindValue(unit);
        query.addBindValue(fromMs);
    }
    if (query.exec() && query.next() && !query.value(0).isNull())
        return query.value(0).toLongLong();
    return -1;
}

bool isStore(const QSqlDatabase& db)
{
    return db.driverName() == u"QPSQL";
}

QString storeLabel(const QSqlDatabase& db)
{
    return qs("postgresql://%1@%2:%3/%4")
        .arg(db.userName(), db.hostName())
        .arg(db.port())
        .arg(db.databaseName());
}

QString checkStore(QSqlDatabase& db, int schemaVersion)
{
    QSqlQuery query(db);
    // to_regclass answers NULL instead of failing when store init has not run.
    if (!query.exec(qs("SELECT to_regclass('schema_version') IS NOT NULL")) || !query.next())
        return QCoreApplication::translate("kestavo::history::db", "The store %1 cannot be read: %2.")
            .arg(storeLabel(db), query.lastError().text().trimmed());
    const bool hasSchema = query.value(0).toBool();
    int version = 0;
    if (hasSchema && query.exec(qs("SELECT version FROM schema_version WHERE part = 'history'")) &&
        query.next())
        version = query.value(0).toInt();
    query.finish();
    if (version == 0)
        return QCoreApplication::translate("kestavo::history::db",
                                           "The store %1 has no tables yet; its owner sets it up with "
                                           "kestavo-cli --store %1 store init.")
            .arg(storeLabel(db));
    if (version > schemaVersion)
        return QCoreApplication::translate(
                   "kestavo::history::db",
                   "The store %1 was set up by a newer version of Kestavo (schema %2; "
                   "this one knows %3) and was left unchanged.")
            .arg(storeLabel(db))
            .arg(version)
            .arg(schemaVersion);
    return QString();
}

bool insertRows(QSqlQuery& query, const QString& head, int columns, const QVariantList& values)
{
    const qsizetype rows = values.size() / columns;
    QString full;
    for (qsizetype first = 0; first < rows; first += kRowsPerInsert) {
        const qsizetype n = std::min<qsizetype>(kRowsPerInsert, rows - first);
        if (n == kRowsPerInsert && full.isEmpty())
            full = multiRowInsert(head, columns, n);
        query.prepare(n == kRowsPerInsert ? full : multiRowInsert(head, columns, n));
        for (qsizetype i = first * columns; i < (first + n) * columns; ++i)
            query.addBindValue(values.at(i));
        if (!query.exec())
            return false;
    }
    return true;
}

bool isStoreUnreachable(const QSqlError& error)
{
    if (error.type() == QSqlError::ConnectionError)
        return true;
    const QString state = error.nativeErrorCode();
    // Class 08 is a connection exception; 57P01-57P03 a server shutting down or starting up.
    return state.isEmpty() || state.startsWith(u"08") || state.startsWith(u"57P");
}

} // namespace kestavo::history::db
