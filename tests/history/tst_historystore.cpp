// The history, in a file and in a team's store (a real PostgreSQL server): what goes in comes out,
// roll-ups and retention against hand-computed tables, and files or stores the writer must refuse
// or survive (newer schema, a station database, a full disk, a store restarted under it).

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "history/auditlog.h"
#include "history/historystore.h"
#include "store/teamschema.h"
#include "storelink/storeconnection.h"
#include "support/postgrescluster.h"

using namespace kestavo::history;
using namespace Qt::StringLiterals;
using kestavo::testsupport::PostgresCluster;

namespace {

using Readings = QList<std::pair<int, double>>; // seconds after T0, °C

constexpr qint64 kT0 = 1'767'225'600'000; // 2026-01-01 00:00 UTC
constexpr qint64 kDay = 24LL * 3600 * 1000;
const QString kUnit = u"127.0.0.9"_s;
const QString kMac = u"00:0A:1B:2C:3D:4E"_s;

Sample sampleAt(qint64 t, double celsius, std::uint16_t raw3 = 0)
{
    Sample s;
    s.timeMs = t;
    s.temperatureC = celsius;
    s.raw[2] = raw3;
    s.relays[1] = true;
    s.io[0] = false;
    return s;
}

QByteArray digest(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                       : QByteArray();
}

int modeOf(const QString& path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

void runMaintenance(HistoryStore& store, qint64 now)
{
    for (int i = 0; i < 10'000 && store.maintain(now); ++i) {
    }
}

// "t+seconds:count:min:mean:max" of the temperature series, one per row.
QStringList describe(const QList<Row>& rows)
{
    QStringList out;
    for (const Row& r : rows)
        out.append(u"%1:%2:%3:%4:%5"_s.arg((r.timeMs - kT0) / 1000)
                       .arg(r.count)
                       .arg(r.min[kTemperatureSeries])
                       .arg(r.mean[kTemperatureSeries])
                       .arg(r.max[kTemperatureSeries]));
    return out;
}

} // namespace

class TestHistoryStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void samplesAndEventsRoundTrip_data();
    void samplesAndEventsRoundTrip();
    void rollup_data();
    void rollup();
    void retention_data();
    void retention();
    void refusesFilesItMustNotTouch_data();
    void refusesFilesItMustNotTouch();
    void migratesAnOlderFile();
    void fullDiskStopsAndResumesRecording();
    void readOnlyFileStopsAndResumesRecording();
    void twoWritersShareOneHistory_data();
    void twoWritersShareOneHistory();
    void fullQueueDropsItsOldestEntries_data();
    void fullQueueDropsItsOldestEntries();
    void auditWriteFailureIsReportedOnce();
    void refusesStoresItMustNotUse_data();
    void refusesStoresItMustNotUse();
    void storeRestartLosesNothingInsideTheBuffer();

private:
    // Where a row's history lives: a file in m_dir, or a database of its own on m_cluster.
    struct Target
    {
        QString file;
        QString database;
    };
    /// Adds the back-end column; every row of the table then runs on a file and on a store.
    Target target(const QString& name);
    QSqlDatabase storeConnection(const QString& login, const QString& database);
    bool open(HistoryStore& store, const Target& where, QString* error = nullptr);
    bool open(HistoryReader& reader, const Target& where);

    QTemporaryDir m_dir;
    std::unique_ptr<PostgresCluster> m_cluster;
    QString m_clusterProblem;
    int m_databases = 0;
    std::vector<std::unique_ptr<kestavo::store::StoreConnection>> m_connections;
};

// A fresh database per row, copied from one set up by store init; the writer is an operator (as the
// agent is), the reader a viewer.
void TestHistoryStore::initTestCase()
{
    m_clusterProblem = PostgresCluster::missingReason();
    if (!m_clusterProblem.isEmpty())
        return;
    m_cluster = std::make_unique<PostgresCluster>();
    QVERIFY2(m_cluster->start(), qPrintable(m_cluster->error()));
    QVERIFY2(m_cluster->addLogin(u"owner"_s, u"CREATEROLE"_s), qPrintable(m_cluster->error()));
    for (const char* login : {"agent", "anna"})
        QVERIFY2(m_cluster->addLogin(QString::fromLatin1(login)), qPrintable(m_cluster->error()));
    QVERIFY2(m_cluster->exec(u"CREATE DATABASE template_history OWNER owner"_s),
             qPrintable(m_cluster->error()));
    {
        kestavo::store::StoreConnection owner;
        QVERIFY2(
            owner.open(kestavo::store::parseStoreUrl(m_cluster->url(u"owner"_s, u"template_history"_s)).url,
                       u"tst_historystore"_s),
            qPrintable(owner.error()));
        const auto init = kestavo::store::initialize(owner.db());
        QVERIFY2(init.ok, qPrintable(init.error));
        QVERIFY(kestavo::store::grantRole(owner.db(), u"agent"_s, kestavo::store::Role::Operator).ok);
        QVERIFY(kestavo::store::grantRole(owner.db(), u"anna"_s, kestavo::store::Role::Viewer).ok);
    }
}

TestHistoryStore::Target TestHistoryStore::target(const QString& name)
{
    QFETCH(QString, backend);
    if (backend == u"file")
        return {m_dir.filePath(name + u".db"_s), {}};
    const QString database = u"history_%1"_s.arg(++m_databases);
    // A template copy takes the template's grants along; the database's CONNECT right is PUBLIC's.
    if (!m_cluster->exec(u"CREATE DATABASE %1 TEMPLATE template_history OWNER owner"_s.arg(database)))
        qWarning("%s", qPrintable(m_cluster->error()));
    return {{}, database};
}

QSqlDatabase TestHistoryStore::storeConnection(const QString& login, const QString& database)
{
    auto connection = std::make_unique<kestavo::store::StoreConnection>();
    connection->open(kestavo::store::parseStoreUrl(m_cluster->url(login, database)).url,
                     u"tst_historystore"_s);
    QSqlDatabase db = connection->db();
    m_connections.push_back(std::move(connection));
    return db;
}

bool TestHistoryStore::open(HistoryStore& store, const Target& where, QString* error)
{
    const auto opened = where.file.isEmpty() ? store.openStore(storeConnection(u"agent"_s, where.database))
                                             : store.open(where.file);
    if (error)
        *error = opened.error;
    if (!opened.ok && !error)
        qWarning("%s", qPrintable(opened.error));
    return opened.ok;
}

bool TestHistoryStore::open(HistoryReader& reader, const Target& where)
{
    const bool ok = where.file.isEmpty() ? reader.openStore(storeConnection(u"anna"_s, where.database))
                                         : reader.open(where.file);
    if (!ok)
        qWarning("%s", qPrintable(reader.error()));
    return ok;
}

// Rows of the store back end are skipped, visibly, where this machine has no PostgreSQL server.
#define SKIP_WITHOUT_SERVER()                                                                                \
    do {                                                                                                     \
        QFETCH(QString, backend);                                                                            \
        if (backend == u"store" && !m_cluster)                                                               \
            QSKIP(qPrintable(m_clusterProblem));                                                             \
    } while (false)

namespace {
const char* const kBackends[] = {"file", "store"};
}

void TestHistoryStore::samplesAndEventsRoundTrip_data()
{
    QTest::addColumn<QString>("backend");
    for (const char* backend : kBackends)
        QTest::newRow(backend) << QString::fromLatin1(backend);
}

void TestHistoryStore::samplesAndEventsRoundTrip()
{
    SKIP_WITHOUT_SERVER();
    const Target where = target(u"roundtrip"_s);
    HistoryStore store;
    QVERIFY(open(store, where));

    Sample s = sampleAt(kT0 + 1500, -3.5, 4095);
    s.raw[0] = 4095; // 60 V range: 60 V
    s.raw[1] = 2048; // unusable range flag: unknown
    s.raw[6] = 20;   // under the 0.025 V cut of channels 6-8: 0
    s.ranges = {1, 7};
    s.timerRemaining = 90061;
    s.uptime = 0xFFFFFFFF;
    store.recordEvent(kUnit, kT0, LinkEvent::Started);
    store.record(kUnit, kMac, s);
    store.recordEvent(kUnit, kT0 + 2000, LinkEvent::LinkLost, u"no reply"_s);
    QVERIFY2(store.flush(), qPrintable(store.lastError()));
    QCOMPARE(store.pendingCount(), 0);
    if (!where.file.isEmpty()) {
        QCOMPARE(modeOf(where.file), 0600);
        QCOMPARE(modeOf(where.file + u"-wal"_s), 0600);
    }

    HistoryReader reader;
    QVERIFY(open(reader, where));
    QCOMPARE(reader.stations(), QStringList{kUnit});
    const Series series = reader.read(kUnit, kT0, kT0 + 3000, Step::Raw);
    QCOMPARE(series.rows.size(), 1);
    const Row& row = series.rows.first();
    QCOMPARE(row.timeMs, kT0 + 1500);
    QCOMPARE(row.mean[0], 60.0);
    QVERIFY(std::isnan(row.mean[1]));
    QCOMPARE(row.mean[2], 30.0);
    QCOMPARE(row.mean[6], 0.0);
    QCOMPARE(row.mean[kTemperatureSeries], -3.5);
    QCOMPARE(row.relays, (std::array<qint8, 3>{-1, 1, -1}));
    QCOMPARE(row.io, (std::array<qint8, 5>{0, -1, -1, -1, -1}));
    QCOMPARE(row.timerRemaining, 90061);
    QCOMPARE(row.uptime, 0xFFFFFFFFLL);
    QCOMPARE(series.events.size(), 2);
    QCOMPARE(series.events.at(1).kind, LinkEvent::LinkLost);
    QCOMPARE(series.events.at(1).detail, u"no reply"_s);
    QCOMPARE(reader.extent(kUnit), (std::pair<qint64, qint64>{kT0 + 1500, kT0 + 1500}));
}

void TestHistoryStore::rollup_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<Readings>("samples");
    QTest::addColumn<int>("step");
    QTest::addColumn<QStringList>("expected");

    const Readings twoMinutes{{0, 20.0}, {20, 21.0}, {59, 23.5}, {60, 19.5}};
    for (const char* b : kBackends) {
        const QString backend = QString::fromLatin1(b);
        QTest::addRow("%s: minute buckets", b)
            << backend << twoMinutes << int(Step::Minute)
            << QStringList{u"0:3:20:21.5:23.5"_s, u"60:1:19.5:19.5:19.5"_s};
        // The hour's mean weighs each minute by its samples: (20 + 21 + 23.5 + 19.5) / 4.
        QTest::addRow("%s: hour from minutes", b)
            << backend << twoMinutes << int(Step::Hour) << QStringList{u"0:4:19.5:21:23.5"_s};
        QTest::addRow("%s: hour boundary", b)
            << backend << Readings{{3599, 10.0}, {3600, 12.0}, {3660, 14.0}} << int(Step::Hour)
            << QStringList{u"0:1:10:10:10"_s, u"3600:2:12:13:14"_s};
        QTest::addRow("%s: a silent minute stays empty", b)
            << backend << Readings{{0, 1.0}, {150, 2.0}} << int(Step::Minute)
            << QStringList{u"0:1:1:1:1"_s, u"120:1:2:2:2"_s};
    }
}

// Each table is checked twice: computed on the fly from the samples, and as the background roll-up
// stored it. Both must agree with the hand-computed rows.
void TestHistoryStore::rollup()
{
    SKIP_WITHOUT_SERVER();
    QFETCH(Readings, samples);
    QFETCH(int, step);
    QFETCH(QStringList, expected);
    HistoryStore store;
    QVERIFY(open(store, target(u"rollup-%1"_s.arg(QString::fromLatin1(QTest::currentDataTag())))));
    for (const auto& [seconds, celsius] : samples)
        store.record(kUnit, kMac, sampleAt(kT0 + seconds * 1000LL, celsius));
    QVERIFY(store.flush());
    const qint64 end = kT0 + 2 * 3600 * 1000;
    QCOMPARE(describe(store.reader().read(kUnit, kT0, end, Step(step)).rows), expected);
    runMaintenance(store, end + kDay);
    QCOMPARE(describe(store.reader().read(kUnit, kT0, end, Step(step)).rows), expected);
}

void TestHistoryStore::retention_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<qint64>("now");
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("hours");
    // One hour of samples every 10 s on day 0.
    for (const char* b : kBackends) {
        const QString backend = QString::fromLatin1(b);
        QTest::addRow("%s: next day", b) << backend << kT0 + kDay << 360 << 60 << 1;
        QTest::addRow("%s: 13 days later", b) << backend << kT0 + 13 * kDay << 360 << 60 << 1;
        QTest::addRow("%s: 14 days after the last sample", b)
            << backend << kT0 + 14 * kDay + 3600'000 << 0 << 60 << 1;
        QTest::addRow("%s: 399 days later", b) << backend << kT0 + 399 * kDay << 0 << 60 << 1;
        QTest::addRow("%s: 400 days after the last bucket", b)
            << backend << kT0 + 400 * kDay + 3600'000 << 0 << 0 << 1;
        QTest::addRow("%s: ten years later", b) << backend << kT0 + 3650 * kDay << 0 << 0 << 1;
    }
}

void TestHistoryStore::retention()
{
    SKIP_WITHOUT_SERVER();
    QFETCH(qint64, now);
    QFETCH(int, raw);
    QFETCH(int, minutes);
    QFETCH(int, hours);
    HistoryStore::Options options;
    options.clock = [now] {
        return now;
    };
    HistoryStore store(options);
    QVERIFY(open(store, target(u"retention-%1"_s.arg(QString::fromLatin1(QTest::currentDataTag())))));
    for (int i = 0; i < 360; ++i)
        store.record(kUnit, kMac, sampleAt(kT0 + i * 10'000LL, 20.0 + (i % 7) * 0.5));
    QVERIFY(store.flush());
    runMaintenance(store, now);
    const qint64 end = kT0 + 3600'000;
    const auto& reader = store.reader();
    QCOMPARE(reader.read(kUnit, kT0, end, Step::Raw).rows.size(), raw);
    QCOMPARE(reader.read(kUnit, kT0, end, Step::Minute).rows.size(), minutes);
    const QList<Row> hour = reader.read(kUnit, kT0, end, Step::Hour).rows;
    QCOMPARE(hour.size(), hours);
    // The hour keeps what the samples held, whatever finer level is gone.
    // 20, 20.5 and 21 °C 52 times each, 21.5 to 23 °C 51 times: 7737 / 360 = 21.4916…, kept to 0.01.
    QCOMPARE(describe(hour), QStringList{u"0:360:20:21.49:23"_s});
}

void TestHistoryStore::refusesFilesItMustNotTouch_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("message");
    QTest::newRow("newer schema") << u"CREATE TABLE units (id INTEGER PRIMARY KEY, address TEXT, mac TEXT);"
                                     u"PRAGMA user_version = 99"_s
                                  << u"newer version of Kestavo (schema 99"_s;
    QTest::newRow("station database")
        << u"CREATE TABLE ipnumbers (ips TEXT, password TEXT)"_s << u"is not a history file"_s;
    QTest::newRow("not SQLite") << u"text"_s << u"is not an SQLite database"_s;
}

void TestHistoryStore::refusesFilesItMustNotTouch()
{
    QFETCH(QString, setup);
    QFETCH(QString, message);
    const QString path = m_dir.filePath(u"refuse-%1.db"_s.arg(QString::fromLatin1(QTest::currentDataTag())));
    if (setup == u"text") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("KSV station list\r\n");
    } else {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"setup"_s);
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery q(db);
            for (const QString& sql : setup.split(u';'))
                QVERIFY(q.exec(sql));
            db.close();
        }
        QSqlDatabase::removeDatabase(u"setup"_s);
    }
    const QByteArray before = digest(path);
    HistoryStore store;
    const auto opened = store.open(path);
    QVERIFY(!opened.ok);
    QVERIFY2(opened.error.contains(message) && opened.error.contains(path), qPrintable(opened.error));
    HistoryReader reader;
    QVERIFY(!reader.open(path));
    QCOMPARE(digest(path), before);
    QVERIFY(!QFile::exists(path + u"-wal"_s));
}

void TestHistoryStore::migratesAnOlderFile()
{
    // Version 0: an SQLite file without tables (made by hand, or left by a console that only
    // created it). It is brought to the current schema; reopening a current file keeps its data.
    const QString path = m_dir.filePath(u"v0.db"_s);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"v0"_s);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(u"PRAGMA journal_mode = WAL"_s));
        db.close();
    }
    QSqlDatabase::removeDatabase(u"v0"_s);
    for (int round = 0; round < 2; ++round) {
        HistoryStore store;
        QVERIFY(store.open(path).ok);
        store.record(kUnit, kMac, sampleAt(kT0 + round, 20.0));
        QVERIFY(store.flush());
        QCOMPARE(store.reader().read(kUnit, kT0, kT0 + 10, Step::Raw).rows.size(), round + 1);
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"check"_s);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(u"PRAGMA user_version"_s) && q.next());
        QCOMPARE(q.value(0).toInt(), HistoryStore::kSchemaVersion);
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(u"check"_s);
}

void TestHistoryStore::fullDiskStopsAndResumesRecording()
{
    // A file size limit makes every write past it fail as a full disk does, even for root.
    const QString path = m_dir.filePath(u"full.db"_s);
    HistoryStore store;
    QVERIFY(store.open(path).ok);
    QSignalSpy changes(&store, &HistoryStore::recordingChanged);
    store.record(kUnit, kMac, sampleAt(kT0, 20.0));
    QVERIFY(store.flush());

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(QFileInfo(path + u"-wal"_s).size() + 16 * 1024);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    for (int batch = 0; batch < 2; ++batch) {
        for (int i = 0; i < 4000; ++i)
            store.record(kUnit, kMac,
                         sampleAt(kT0 + 1000 + batch * 10'000'000LL + i * 1000LL, i % 90, std::uint16_t(i)));
        QVERIFY(!store.flush());
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    QCOMPARE(changes.size(), 1); // one message, not one per batch
    QCOMPARE(changes.at(0).at(0).toBool(), false);
    const QString message = changes.at(0).at(1).toString();
    QVERIFY2(message.contains(path) && message.contains(u"stopped"_s), qPrintable(message));
    QVERIFY(!store.isRecording());

    store.record(kUnit, kMac, sampleAt(kT0 + 99'000'000, 21.0));
    QVERIFY(store.flush());
    QCOMPARE(changes.size(), 2);
    QCOMPARE(changes.at(1).at(0).toBool(), true);
    const QList<Row> rows = store.reader().read(kUnit, kT0, kT0 + 100'000'000, Step::Raw).rows;
    QCOMPARE(describe(rows), (QStringList{u"0:1:20:20:20"_s, u"99000:1:21:21:21"_s}));
}

void TestHistoryStore::readOnlyFileStopsAndResumesRecording()
{
    // Permission bits do not stop root, which the tests run as; the immutable attribute does.
    const QString path = m_dir.filePath(u"readonly.db"_s);
    HistoryStore store;
    QVERIFY(store.open(path).ok);
    QSignalSpy changes(&store, &HistoryStore::recordingChanged);
    store.record(kUnit, kMac, sampleAt(kT0, 20.0));
    QVERIFY(store.flush());
    // The shared-memory index stays writable: it is mapped, and an immutable mapping faults.
    const QStringList files{path, path + u"-wal"_s};
    auto immutable = [&files](bool on) {
        return QProcess::execute(u"chattr"_s, QStringList{on ? u"+i"_s : u"-i"_s} + files) == 0;
    };
    if (!immutable(true))
        QSKIP("chattr +i is not permitted here");
    store.record(kUnit, kMac, sampleAt(kT0 + 1000, 21.0));
    const bool flushed = store.flush();
    QVERIFY(immutable(false));
    QVERIFY(!flushed);
    QCOMPARE(changes.size(), 1);
    QVERIFY2(changes.at(0).at(1).toString().contains(path), qPrintable(changes.at(0).at(1).toString()));
    QVERIFY(!store.isRecording());

    store.record(kUnit, kMac, sampleAt(kT0 + 2000, 22.0));
    QVERIFY(store.flush());
    QCOMPARE(changes.size(), 2);
    QVERIFY(store.isRecording());
}

void TestHistoryStore::twoWritersShareOneHistory_data()
{
    samplesAndEventsRoundTrip_data();
}

// Both pack and roll up the same unit: each sample lands in one block and one bucket, whoever got
// to it first.
void TestHistoryStore::twoWritersShareOneHistory()
{
    SKIP_WITHOUT_SERVER();
    const Target where = target(u"shared"_s);
    HistoryStore console;
    HistoryStore agent;
    QVERIFY(open(console, where));
    QVERIFY(open(agent, where));
    for (int i = 0; i < 100; ++i) {
        console.record(kUnit, kMac, sampleAt(kT0 + i * 2000LL, 20.0));
        agent.record(kUnit, kMac, sampleAt(kT0 + i * 2000LL + 1000, 30.0));
        if (i % 10 == 9) {
            QVERIFY(console.flush());
            QVERIFY(agent.flush());
        }
    }
    runMaintenance(agent, kT0 + kDay);
    runMaintenance(console, kT0 + kDay);
    HistoryReader reader;
    QVERIFY(open(reader, where));
    const QList<Row> minutes = reader.read(kUnit, kT0, kT0 + 200'000, Step::Minute).rows;
    QCOMPARE(describe(minutes), (QStringList{u"0:60:20:25:30"_s, u"60:60:20:25:30"_s, u"120:60:20:25:30"_s,
                                             u"180:20:20:25:30"_s}));
}

void TestHistoryStore::fullQueueDropsItsOldestEntries_data()
{
    samplesAndEventsRoundTrip_data();
}

void TestHistoryStore::fullQueueDropsItsOldestEntries()
{
    SKIP_WITHOUT_SERVER();
    // Nothing is flushed while the queue fills, as when another program keeps the file locked.
    HistoryStore::Options options;
    options.maxPendingSamples = 5;
    options.maxPendingEvents = 3;
    HistoryStore store(options);
    QVERIFY(open(store, target(u"queue"_s)));
    const QString path = store.path();
    QSignalSpy changes(&store, &HistoryStore::recordingChanged);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"falling behind"_s));
    for (int i = 0; i < 8; ++i)
        store.record(kUnit, kMac, sampleAt(kT0 + i * 1000LL, 20.0 + i));
    for (int i = 0; i < 4; ++i)
        store.recordEvent(kUnit, kT0 + i * 1000LL, LinkEvent::LinkLost, QString::number(i));
    QCOMPARE(store.pendingCount(), 8);
    QCOMPARE(store.droppedCount(), 4);
    QCOMPARE(changes.size(), 1); // one message, not one per drop
    QCOMPARE(changes.at(0).at(0).toBool(), false);
    QVERIFY2(changes.at(0).at(1).toString().contains(path), qPrintable(changes.at(0).at(1).toString()));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"resumed; .* dropped .*: 4\\.$"_s));
    QVERIFY(store.flush());
    QCOMPARE(changes.size(), 2);
    QCOMPARE(changes.at(1).at(0).toBool(), true);
    const Series series = store.reader().read(kUnit, kT0, kT0 + 10'000, Step::Raw);
    QCOMPARE(describe(series.rows), (QStringList{u"3:1:23:23:23"_s, u"4:1:24:24:24"_s, u"5:1:25:25:25"_s,
                                                 u"6:1:26:26:26"_s, u"7:1:27:27:27"_s}));
    QStringList details;
    for (const Event& e : series.events)
        details.append(e.detail);
    QCOMPARE(details, (QStringList{u"1"_s, u"2"_s, u"3"_s}));
}

void TestHistoryStore::auditWriteFailureIsReportedOnce()
{
    const QString path = m_dir.filePath(u"audit.db"_s);
    AuditLog log;
    QVERIFY2(log.open(path), qPrintable(log.error()));
    QList<std::pair<bool, QString>> reports;
    log.setStatusHandler([&reports](bool writing, const QString& message) {
        reports.append({writing, message});
    });
    const auto refuse = [&path](const QString& sql) {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"refuse"_s);
        db.setDatabaseName(path);
        const bool ok = db.open() && QSqlQuery(db).exec(sql);
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(u"refuse"_s);
        return ok;
    };
    AuditRecord record;
    record.action = u"Relay 2 ON"_s;
    QVERIFY(log.append(record));
    QVERIFY(refuse(
        u"CREATE TRIGGER refuse BEFORE INSERT ON audit BEGIN SELECT RAISE(FAIL, 'disk says no'); END"_s));
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(u"Audit records cannot be written.*disk says no"_s));
    QVERIFY(!log.append(record));
    QVERIFY(!log.append(record));
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.at(0).first, false);
    QVERIFY2(reports.at(0).second.contains(path) && reports.at(0).second.contains(u"disk says no"_s),
             qPrintable(reports.at(0).second));
    QVERIFY(refuse(u"DROP TRIGGER refuse"_s));
    QTest::ignoreMessage(QtInfoMsg, "Audit records are written again.");
    QVERIFY(log.append(record));
    QCOMPARE(reports.size(), 2);
    QCOMPARE(reports.at(1), (std::pair<bool, QString>{true, QString()}));
    QCOMPARE(log.records().size(), 2);
}

void TestHistoryStore::refusesStoresItMustNotUse_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("setup"); // run as the superuser on the row's database
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("check"); // what must read the same afterwards
    QTest::newRow("store init has not run")
        << u"store"_s << u"CREATE TABLE unrelated (x int)"_s << u"has no tables yet; its owner sets it up"_s
        << u"SELECT string_agg(tablename, ',') FROM pg_tables WHERE schemaname = 'public'"_s;
    QTest::newRow("newer schema") << u"store"_s
                                  << u"UPDATE schema_version SET version = 99 WHERE part = 'history'"_s
                                  << u"newer version of Kestavo (schema 99"_s
                                  << u"SELECT count(*) || '/' || max(version) FROM schema_version"_s;
}

void TestHistoryStore::refusesStoresItMustNotUse()
{
    SKIP_WITHOUT_SERVER();
    QFETCH(QString, setup);
    QFETCH(QString, message);
    QFETCH(QString, check);
    Target where = target(u"refused"_s);
    if (setup.startsWith(u"CREATE"_s)) {
        where.database += u"_empty"_s;
        QVERIFY2(m_cluster->exec(u"CREATE DATABASE %1 OWNER owner"_s.arg(where.database)),
                 qPrintable(m_cluster->error()));
    }
    QVERIFY2(m_cluster->exec(setup, where.database), qPrintable(m_cluster->error()));
    const auto read = [&] {
        QSqlQuery query(storeConnection(u"owner"_s, where.database));
        return query.exec(check) && query.next() ? query.value(0).toString() : query.lastError().text();
    };
    const QString before = read();

    HistoryStore store;
    QString error;
    QVERIFY(!open(store, where, &error));
    QVERIFY2(error.contains(message) && error.contains(where.database), qPrintable(error));
    HistoryReader reader;
    QVERIFY(!reader.openStore(storeConnection(u"anna"_s, where.database)));
    QVERIFY2(reader.error().contains(message), qPrintable(reader.error()));
    QCOMPARE(read(), before);
}

// The store stops under a recording writer and comes back. Readings recorded meanwhile wait in the
// writer's buffer and go in, in order, once it is back; an outage that overfills the buffer costs
// the oldest of them, counted and logged.
void TestHistoryStore::storeRestartLosesNothingInsideTheBuffer()
{
    if (!m_cluster)
        QSKIP(qPrintable(m_clusterProblem));
    struct Case
    {
        const char* name;
        int during; // samples recorded while the store is down
        int lost;
    };
    for (const Case& c : {Case{"inside the buffer", 40, 0}, Case{"longer than the buffer", 70, 20}}) {
        qint64 clock = kT0;
        HistoryStore::Options options;
        options.clock = [&clock] {
            return clock;
        };
        options.maxPendingSamples = 50;
        options.reconnectMs = 1000;
        options.maxReconnectMs = 4000;
        HistoryStore store(options);
        const Target where{{}, u"restart_%1"_s.arg(c.lost)};
        QVERIFY2(m_cluster->exec(
                     u"CREATE DATABASE %1 TEMPLATE template_history OWNER owner"_s.arg(where.database)),
                 qPrintable(m_cluster->error()));
        QVERIFY(open(store, where));
        QSignalSpy changes(&store, &HistoryStore::recordingChanged);
        int second = 0;
        const auto recordNext = [&] {
            store.record(kUnit, kMac, sampleAt(kT0 + second * 1000LL, 20.0 + second % 10));
            ++second;
            clock += 1000;
        };
        for (int i = 0; i < 10; ++i)
            recordNext();
        QVERIFY2(store.flush(), qPrintable(store.lastError()));

        QVERIFY2(m_cluster->stop(), qPrintable(m_cluster->error()));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(u"cannot be reached.*in order when it is back"_s,
                                                QRegularExpression::DotMatchesEverythingOption));
        if (c.lost > 0)
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression(u"still out of reach.*oldest are being dropped"_s));
        for (int i = 0; i < c.during; ++i) {
            recordNext();
            QVERIFY(!store.flush()); // one attempt a second, as the flush timer makes them
        }
        QCOMPARE(changes.size(), 1); // one message for the whole outage
        QCOMPARE(changes.at(0).at(0).toBool(), false);
        QVERIFY(!store.isRecording());
        QCOMPARE(store.droppedCount(), c.lost);

        QVERIFY2(m_cluster->resume(), qPrintable(m_cluster->error()));
        if (c.lost > 0)
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression(u"resumed; .* dropped .*: %1\\.$"_s.arg(c.lost)));
        clock += options.maxReconnectMs;
        QVERIFY2(store.flush(), qPrintable(store.lastError()));
        QCOMPARE(changes.size(), 2);
        QCOMPARE(changes.at(1).at(0).toBool(), true);
        recordNext();
        QVERIFY2(store.flush(), qPrintable(store.lastError()));

        HistoryReader reader;
        QVERIFY(open(reader, where));
        const QList<Row> rows = reader.read(kUnit, kT0, kT0 + 1000LL * second, Step::Raw).rows;
        QList<qint64> seconds;
        for (const Row& row : rows)
            seconds.append((row.timeMs - kT0) / 1000);
        QList<qint64> expected;
        for (int s = 0; s < second; ++s) {
            if (s < 10 || s >= 10 + c.lost)
                expected.append(s);
        }
        QVERIFY2(seconds == expected, c.name);
    }
}

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
