#include "history/historystore.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <vector>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "protocol/reply.h"

#include "history/blockcodec.h"
#include "history/historydb.h"
#include "history/rollup.h"

namespace kestavo::history {

namespace {

std::atomic<quint64> g_stores{0};

constexpr qint64 kMinuteMs = 60'000;
constexpr qint64 kHourMs = 3'600'000;
// Samples are packed into a block once their ten minutes are over.
constexpr qint64 kPackSpanMs = 10 * kMinuteMs;
// A bucket is rolled up once its minute is this far in the past, so samples of a batch still queued
// (or of another process whose clock is a little behind) still land in it. A sample stamped further
// back than that stays in the raw data but misses its roll-up.
constexpr qint64 kRollupGraceMs = 60'000;
// Work per roll-up step, so one transaction stays short.
constexpr qint64 kMinuteSliceMs = 6 * kHourMs;
constexpr qint64 kHourSliceMs = 7 * 24 * kHourMs;
// Time one maintain() call may take before it yields to the event loop.
constexpr qint64 kMaintainBudgetMs = 15;

// SQLite's primary result codes for a file another process is writing.
bool isBusy(const QSqlError& error)
{
    const QString code = error.nativeErrorCode();
    return code == u"5" || code == u"6";
}

bool isFull(const QSqlError& error)
{
    return error.nativeErrorCode() == u"13"; // SQLITE_FULL
}

} // namespace

struct HistoryStore::Private
{
    QString connection = QStringLiteral("kestavo-history-%1").arg(++g_stores);
    QString path; // the file, or the store's address
    bool open = false;
    bool store = false;     // PostgreSQL: a team's store
    bool connected = false; // the store's connection is up (always true for a file)
    qint64 nextReconnectMs = 0;
    int reconnectDelayMs = 0;
    struct Pending
    {
        QString address;
        QString mac;
        Sample sample;
    };
    // Bounded queues: a full one drops its oldest entry in constant time.
    std::deque<Pending> samples;
    std::deque<std::pair<QString, Event>> events;
    QHash<QString, qint64> unitIds; // address + '/' + mac
    QList<qint64> maintenanceQueue;

    QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }

    qint64 unitId(QSqlQuery& query, const QString& address, const QString& mac)
    {
        const QString key = address + u'/' + mac;
        if (const auto it = unitIds.constFind(key); it != unitIds.constEnd())
            return *it;
        query.prepare(
            QStringLiteral("INSERT INTO units (address, mac) VALUES (?, ?) ON CONFLICT DO NOTHING"));
        query.addBindValue(address);
        query.addBindValue(mac);
        if (!query.exec())
            return -1;
        query.prepare(QStringLiteral("SELECT id FROM units WHERE address = ? AND mac = ?"));
        query.addBindValue(address);
        query.addBindValue(mac);
        if (!query.exec() || !query.next())
            return -1;
        const qint64 id = query.value(0).toLongLong();
        query.finish();
        // Cached only once the transaction that made it commits (see flush).
        return id;
    }

    // A file waits for another writer's lock at its start; a store's rows lock one by one.
    QString beginWrite() const { return store ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"); }
};

HistoryStore::HistoryStore(QObject* parent) : HistoryStore(Options{}, parent) {}

HistoryStore::HistoryStore(const Options& options, QObject* parent)
    : QObject(parent), d(std::make_unique<Private>()), m_options(options)
{
    m_flushTimer.setInterval(options.flushIntervalMs);
    m_maintenanceTimer.setInterval(options.maintenanceIntervalMs);
    connect(&m_flushTimer, &QTimer::timeout, this, [this] { flush(); });
    connect(&m_maintenanceTimer, &QTimer::timeout, this, [this] {
        // Another slice soon while work is left, without ever holding the event loop for long.
        const bool more = maintain(now());
        m_maintenanceTimer.setInterval(more ? 0 : m_options.maintenanceIntervalMs);
    });
}

HistoryStore::~HistoryStore()
{
    close();
}

qint64 HistoryStore::now() const
{
    return m_options.clock ? m_options.clock() : QDateTime::currentMSecsSinceEpoch();
}

HistoryStore::OpenResult HistoryStore::open(const QString& path)
{
    close();
    d->path = QFileInfo(path).absoluteFilePath();
    const QString file = db::nativePath(d->path);
    const auto fail = [this](const QString& error) {
        close();
        m_lastError = error;
        return OpenResult{false, error};
    };
    const QFileInfo info(d->path);
    if (!info.exists()) {
        if (!info.dir().exists())
            return fail(tr("The history file \"%1\" cannot be created because its folder \"%2\" does not "
                           "exist.")
                            .arg(file, db::nativePath(info.absolutePath())));
        // Owner-only from the first byte: the file tells when and where units are watched.
        QFile create(d->path);
        if (!create.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                         QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return fail(
                tr("The history file \"%1\" cannot be created (%2).").arg(file, create.errorString()));
        create.close();
    } else if (const QString problem = db::checkExistingFile(d->path, kSchemaVersion); !problem.isEmpty()) {
        return fail(problem);
    }
    {
        QSqlDatabase conn = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), d->connection);
        conn.setDatabaseName(d->path);
        conn.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=250"));
        if (!conn.open())
            return fail(tr("The history file \"%1\" cannot be opened: %2.").arg(file, db::sqlError(conn)));
        QSqlQuery query(conn);
        // WAL lets the console, the command-line client and the agent read while one writes; a
        // killed writer leaves at most its open transaction behind.
        query.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        query.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        if (m_options.maxPageCount > 0)
            query.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(m_options.maxPageCount));
        QString error;
        if (!db::migrate(conn, kSchemaVersion, &error))
            return fail(tr("The history file \"%1\" cannot be prepared: %2.").arg(file, error));
    }
    if (!m_reader.open(d->path))
        return fail(m_reader.error());
    return finishOpen();
}

HistoryStore::OpenResult HistoryStore::openStore(const QSqlDatabase& store)
{
    close();
    d->store = true;
    d->path = db::storeLabel(store);
    QString problem;
    const auto fail = [this](const QString& error) {
        close();
        m_lastError = error;
        return OpenResult{false, error};
    };
    {
        QSqlDatabase conn = QSqlDatabase::cloneDatabase(store, d->connection);
        // A server that stops answering must not hold the producers' thread for long: bounded
        // connects, and a send that gets no acknowledgement fails instead of waiting for TCP.
        QString options = conn.connectOptions();
        if (!options.contains(QStringLiteral("connect_timeout")))
            options += QStringLiteral(";connect_timeout=5");
        if (!options.contains(QStringLiteral("tcp_user_timeout")))
            options += QStringLiteral(";tcp_user_timeout=10000");
        if (options.startsWith(u';'))
            options.remove(0, 1);
        conn.setConnectOptions(options);
        if (!conn.open())
            problem = tr("The store %1 cannot be opened: %2").arg(d->path, db::sqlError(conn));
        else
            problem = db::checkStore(conn, kSchemaVersion);
    }
    if (!problem.isEmpty())
        return fail(problem);
    if (!m_reader.openStore(d->db()))
        return fail(m_reader.error());
    return finishOpen();
}

HistoryStore::OpenResult HistoryStore::finishOpen()
{
    d->open = true;
    d->connected = true;
    d->reconnectDelayMs = 0;
    m_recording = true;
    m_lastError.clear();
    m_dropped = 0;
    m_droppedAtStop = 0;
    m_flushTimer.start();
    m_maintenanceTimer.setInterval(m_options.maintenanceIntervalMs);
    m_maintenanceTimer.start();
    return {true, {}};
}

void HistoryStore::close()
{
    if (d->open)
        flush();
    m_flushTimer.stop();
    m_maintenanceTimer.stop();
    d->open = false;
    d->store = false;
    d->connected = false;
    d->unitIds.clear();
    d->maintenanceQueue.clear();
    if (QSqlDatabase::contains(d->connection)) {
        QSqlDatabase::database(d->connection, false).close();
        QSqlDatabase::removeDatabase(d->connection);
    }
}

bool HistoryStore::isOpen() const
{
    return d->open;
}

QString HistoryStore::path() const
{
    return d->path;
}

bool HistoryStore::isStore() const
{
    return d->store;
}

int HistoryStore::pendingCount() const
{
    return int(d->samples.size()) + int(d->events.size());
}

void HistoryStore::record(const QString& address, const QString& mac, qint64 utcMs,
                          const protocol::StatusReport& report, const RangeFlags& ranges)
{
    record(address, mac, Sample::fromReport(utcMs, report, ranges));
}

void HistoryStore::record(const QString& address, const QString& mac, const Sample& sample)
{
    if (!d->open)
        return;
    // A file that stays locked must not eat the memory.
    if (d->samples.size() >= std::size_t(std::max(1, m_options.maxPendingSamples))) {
        d->samples.pop_front();
        dropped(1);
    }
    d->samples.push_back({address, mac, sample});
}

void HistoryStore::recordEvent(const QString& address, qint64 utcMs, LinkEvent event, const QString& detail)
{
    if (!d->open)
        return;
    if (d->events.size() >= std::size_t(std::max(1, m_options.maxPendingEvents))) {
        d->events.pop_front();
        dropped(1);
    }
    d->events.push_back({address, Event{utcMs, event, detail}});
}

void HistoryStore::dropped(qint64 count)
{
    if (m_recording)
        stopRecording(
            d->store
                ? tr("Recording to the store %1 is falling behind, so the oldest readings waiting to be "
                     "written are being dropped. The session goes on; recording resumes when the store "
                     "can be written again.")
                      .arg(d->path)
                : tr("Recording to the history file \"%1\" is falling behind: another program has kept it "
                     "locked, so the oldest readings waiting to be written are being dropped. The "
                     "session goes on; recording resumes when the file can be written again.")
                      .arg(db::nativePath(d->path)));
    else if (d->store && m_dropped == m_droppedAtStop)
        qWarning("The store %s is still out of reach and the readings kept meanwhile fill the buffer (%d "
                 "samples): the oldest are being dropped.",
                 qPrintable(d->path), m_options.maxPendingSamples);
    m_dropped += count;
}

// The store went away: the next attempt waits a little longer each time, so an unreachable server
// costs at most one connect timeout per interval.
bool HistoryStore::reconnect()
{
    const qint64 nowMs = now();
    if (nowMs < d->nextReconnectMs)
        return false;
    d->reconnectDelayMs = d->reconnectDelayMs == 0
                              ? m_options.reconnectMs
                              : std::min(2 * d->reconnectDelayMs, m_options.maxReconnectMs);
    d->nextReconnectMs = nowMs + d->reconnectDelayMs;
    QSqlDatabase conn = d->db();
    conn.close();
    if (!conn.open())
        return false;
    d->connected = true;
    d->reconnectDelayMs = 0;
    d->nextReconnectMs = 0;
    qInfo("The store %s can be reached again.", qPrintable(d->path));
    return true;
}

void HistoryStore::stopRecording(const QString& message)
{
    m_lastError = message;
    if (!m_recording)
        return;
    m_recording = false;
    m_droppedAtStop = m_dropped;
    qWarning("%s", qPrintable(message));
    Q_EMIT recordingChanged(false, message);
}

bool HistoryStore::flush()
{
    if (!d->open || (d->samples.empty() && d->events.empty()))
        return true;
    if (!d->connected && !reconnect())
        return false;
    QSqlDatabase conn = d->db();
    QSqlQuery query(conn);
    QHash<QString, qint64> newIds;
    const auto fail = [&]() {
        const QSqlError error = query.lastError().isValid() ? query.lastError() : conn.lastError();
        query.finish();
        if (conn.isOpen())
            conn.rollback();
        if (d->store && db::isStoreUnreachable(error)) {
            // The batch stays queued, in order, for when the store is back.
            d->connected = false;
            stopRecording(tr("The store %1 cannot be reached (%2). Readings are kept in memory meanwhile "
                             "(up to %3 samples) and written in order when it is back; the session goes on.")
                              .arg(d->path, error.text().trimmed())
                              .arg(m_options.maxPendingSamples));
            return false;
        }
        if (!d->store && isBusy(error))
            return false; // another process is writing: the batch waits for the next turn
        if (isFull(error)) {
            // Someone frees space sooner or later: the batch waits in memory (bounded by record())
            // instead of being thrown away at the first full disk.
            stopRecording(
                tr("Recording to the history file \"%1\" is waiting: the disk is full (%2). Readings "
                   "are kept in memory meanwhile; recording resumes when there is space again.")
                    .arg(db::nativePath(d->path), error.text().trimmed()));
            return false;
        }
        const qint64 lost = qint64(d->samples.size() + d->events.size());
        d->samples.clear();
        d->events.clear();
        stopRecording(d->store ? tr("Recording to the store %1 stopped: %2. The session goes on; recording "
                                    "resumes when the store can be written again.")
                                     .arg(d->path, error.text().trimmed())
                               : tr("Recording to the history file \"%1\" stopped: %2. The session goes on; "
                                    "recording resumes when the file can be written again.")
                                     .arg(db::nativePath(d->path), error.text().trimmed()));
        m_dropped += lost;
        return false;
    };
    if (!query.exec(d->beginWrite()))
        return fail();
    QVariantList values;
    values.reserve(qsizetype(d->samples.size()) * 3);
    for (const auto& p : d->samples) {
        const QString key = p.address + u'/' + p.mac;
        qint64 unit = newIds.value(key, -1);
        if (unit < 0) {
            unit = d->unitId(query, p.address, p.mac);
            if (unit < 0)
                return fail();
            newIds.insert(key, unit);
        }
        values << unit << p.sample.timeMs << codec::packRecord(codec::encodeSample(p.sample));
    }
    if (!db::insertRows(query, QStringLiteral("INSERT INTO recent (unit, t, rec)"), 3, values))
        return fail();
    values.clear();
    for (const auto& [address, event] : std::as_const(d->events))
        values << address << event.timeMs << int(event.kind)
               << (event.detail.isNull() ? QStringLiteral("") : event.detail);
    if (!db::insertRows(query, QStringLiteral("INSERT INTO events (address, t, kind, detail)"), 4, values))
        return fail();
    query.finish();
    if (!query.exec(QStringLiteral("COMMIT")))
        return fail();
    d->unitIds.insert(newIds);
    d->samples.clear();
    d->events.clear();
    if (!m_recording) {
        m_recording = true;
        m_lastError.clear();
        if (const qint64 lost = m_dropped - m_droppedAtStop; lost > 0)
            qWarning("History recording to \"%s\" resumed; readings and link events dropped while it could "
                     "not be written: %lld.",
                     qPrintable(db::nativePath(d->path)), static_cast<long long>(lost));
        else
            qInfo("History recording resumed.");
        m_droppedAtStop = m_dropped;
        Q_EMIT recordingChanged(true, QString());
    }
    Q_EMIT written();
    return true;
}

bool HistoryStore::maintain(qint64 nowMs)
{
    if (!d->open || !m_recording || !d->connected)
        return false;
    QSqlDatabase conn = d->db();
    QSqlQuery query(conn);
    if (d->maintenanceQueue.isEmpty()) {
        if (query.exec(QStringLiteral("SELECT id FROM units ORDER BY id")))
            while (query.next())
                d->maintenanceQueue.append(query.value(0).toLongLong());
        query.finish();
        if (d->maintenanceQueue.isEmpty())
            return false;
    }

    QElapsedTimer spent;
    spent.start();
    bool more = false;
    while (!d->maintenanceQueue.isEmpty() && spent.elapsed() < kMaintainBudgetMs) {
        const qint64 unit = d->maintenanceQueue.first();
        if (!query.exec(d->beginWrite())) {
            if (d->store && db::isStoreUnreachable(query.lastError()))
                d->connected = false; // the next flush reaches for it again
            return true;              // busy: try again on the next tick
        }
        if (d->store) {
            // Several programs keep one store: whoever locks a unit first packs and rolls it up,
            // the others pass it by instead of packing the same samples twice.
            query.prepare(QStringLiteral("SELECT id FROM units WHERE id = ? FOR UPDATE SKIP LOCKED"));
            query.addBindValue(unit);
            if (!query.exec() || !query.next()) {
                query.finish();
                query.exec(QStringLiteral("ROLLBACK"));
                d->maintenanceQueue.removeFirst();
                continue;
            }
            query.finish();
        }
        bool unitMore = false;
        bool ok = true;
        const auto exec = [&](const QString& sql, const QVariantList& values) {
            if (!ok)
                return false;
            query.prepare(sql);
            for (const QVariant& v : values)
                query.addBindValue(v);
            ok = query.exec();
            return ok;
        };
        const auto storeBlock = [&](int level, const QList<Row>& buckets) {
            std::vector<codec::Record> records;
            records.reserve(std::size_t(buckets.size()));
            for (const Row& b : buckets)
                records.push_back(codec::encodeBucket(b));
            exec(
                QStringLiteral("INSERT INTO blocks (unit, level, t0, t1, n, data) VALUES (?, ?, ?, ?, ?, ?)"),
                {unit, level, buckets.first().timeMs, buckets.last().timeMs, qint64(buckets.size()),
                 codec::packBlock(records, codec::kBucketFields)});
        };
        const auto setWatermark = [&](int level, qint64 until) {
            exec(QStringLiteral("INSERT INTO rollups (unit, level, until_ms) VALUES (?, ?, ?) ON CONFLICT "
                                "(unit, level) DO UPDATE SET until_ms = excluded.until_ms"),
                 {unit, level, until});
        };

        // 1. Pack the samples of finished ten-minute spans into one block.
        const qint64 packBefore = bucketStart(nowMs, kPackSpanMs);
        if (exec(QStringLiteral("SELECT id, rec FROM recent WHERE unit = ? AND t < ? ORDER BY t LIMIT 20000"),
                 {unit, packBefore})) {
            std::vector<codec::Record> records;
            QVariantList ids;
            codec::Record record;
            while (query.next()) {
                ids.append(query.value(0));
                if (codec::unpackRecord(query.value(1).toByteArray(), codec::kSampleFields, &record))
                    records.push_back(record);
            }
            query.finish();
            if (!ids.isEmpty()) {
                unitMore = ids.size() == 20000;
                if (!records.empty()) {
                    exec(QStringLiteral(
                             "INSERT INTO blocks (unit, level, t0, t1, n, data) VALUES (?, 0, ?, ?, ?, ?)"),
                         {unit, qint64(records.front()[0]), qint64(records.back()[0]), qint64(records.size()),
                          codec::packBlock(records, codec::kSampleFields)});
                }
                QStringList marks;
                for (qsizetype i = 0; i < ids.size(); ++i)
                    marks.append(QStringLiteral("?"));
                for (qsizetype i = 0; ok && i < ids.size(); i += 500) {
                    const QVariantList part = ids.mid(i, 500);
                    exec(QStringLiteral("DELETE FROM recent WHERE id IN (%1)")
                             .arg(marks.mid(0, part.size()).join(u',')),
                         part);
                }
            }
        }

        // 2. Minute buckets up to the last finished minute, at most a few hours per slice.
        const qint64 minuteEnd = bucketStart(nowMs - kRollupGraceMs, kMinuteMs);
        qint64 w1 = db::watermark(conn, unit, 1);
        if (w1 < 0) {
            const qint64 first = db::firstSampleTime(conn, unit, 0);
            w1 = first < 0 ? -1 : bucketStart(first, kMinuteMs);
        }
        if (ok && w1 >= 0 && w1 < minuteEnd) {
            qint64 until = std::min(minuteEnd, w1 + kMinuteSliceMs);
            const QList<Row> buckets = aggregate(db::readUnit(conn, unit, w1, until, Step::Raw), kMinuteMs);
            if (!buckets.isEmpty()) {
                storeBlock(1, buckets);
            } else {
                // A long silence: skip straight to the next sample instead of walking through it.
                const qint64 next = db::firstSampleTime(conn, unit, until);
                until = next < 0 ? minuteEnd : std::min(minuteEnd, bucketStart(next, kMinuteMs));
                until = std::max(until, w1 + kMinuteMs);
            }
            setWatermark(1, until);
            w1 = until;
            unitMore = unitMore || until < minuteEnd;
        }

        // 3. Hour buckets from the minute buckets of finished hours.
        if (ok && w1 >= 0) {
            const qint64 hourEnd = bucketStart(w1, kHourMs);
            qint64 w2 = db::watermark(conn, unit, 2);
            if (w2 < 0) {
                const qint64 first = db::firstSampleTime(conn, unit, 0);
                QSqlQuery firstBucket(conn);
                firstBucket.prepare(
                    QStringLiteral("SELECT min(t0) FROM blocks WHERE unit = ? AND level = 1"));
                firstBucket.addBindValue(unit);
                qint64 start = first;
                if (firstBucket.exec() && firstBucket.next() && !firstBucket.value(0).isNull())
                    start = start < 0 ? firstBucket.value(0).toLongLong()
                                      : std::min(start, firstBucket.value(0).toLongLong());
                w2 = start < 0 ? -1 : bucketStart(start, kHourMs);
            }
            if (w2 >= 0 && w2 < hourEnd) {
                const qint64 until = std::min(hourEnd, w2 + kHourSliceMs);
                const QList<Row> buckets =
                    aggregate(db::readUnit(conn, unit, w2, until, Step::Minute), kHourMs);
                if (!buckets.isEmpty())
                    storeBlock(2, buckets);
                setWatermark(2, until);
                unitMore = unitMore || until < hourEnd;
            }
            // 4. Retention: nothing goes before its roll-up holds it.
            const qint64 w2now = db::watermark(conn, unit, 2);
            const qint64 rawCut = std::min(nowMs - m_options.retention.rawMs, w1);
            exec(QStringLiteral("DELETE FROM blocks WHERE unit = ? AND level = 0 AND t1 < ?"),
                 {unit, rawCut});
            exec(QStringLiteral("DELETE FROM recent WHERE unit = ? AND t < ?"), {unit, rawCut});
            if (w2now >= 0) {
                const qint64 minuteCut = std::min(nowMs - m_options.retention.minuteMs, w2now);
                exec(QStringLiteral("DELETE FROM blocks WHERE unit = ? AND level = 1 AND t1 < ?"),
                     {unit, minuteCut});
            }
        }

        query.finish();
        if (!ok || !query.exec(QStringLiteral("COMMIT"))) {
            query.exec(QStringLiteral("ROLLBACK"));
            d->maintenanceQueue.removeFirst(); // a unit that fails is retried on the next round
            continue;
        }
        if (!unitMore)
            d->maintenanceQueue.removeFirst();
        more = more || unitMore;
    }
    return more || !d->maintenanceQueue.isEmpty();
}

} // namespace kestavo::history
