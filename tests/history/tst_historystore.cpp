// The history file: what goes in comes out, roll-ups and retention against hand-computed tables, and
// files the store must refuse or survive (newer schema, a station database, a full disk).

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

using namespace kestavo::history;
using namespace Qt::StringLiterals;

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
    void twoWritersShareOneFile();
    void fullQueueDropsItsOldestEntries();
    void auditWriteFailureIsReportedOnce();

private:
    QTemporaryDir m_dir;
};

void TestHistoryStore::samplesAndEventsRoundTrip()
{
    const QString path = m_dir.filePath(u"roundtrip.db"_s);
    HistoryStore store;
    QVERIFY(store.open(path).ok);

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
    QCOMPARE(modeOf(path), 0600);
    QCOMPARE(modeOf(path + u"-wal"_s), 0600);

    HistoryReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.error()));
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
    QTest::addColumn<Readings>("samples");
    QTest::addColumn<int>("step");
    QTest::addColumn<QStringList>("expected");

    const Readings twoMinutes{{0, 20.0}, {20, 21.0}, {59, 23.5}, {60, 19.5}};
    QTest::newRow("minute buckets") << twoMinutes << int(Step::Minute)
                                    << QStringList{u"0:3:20:21.5:23.5"_s, u"60:1:19.5:19.5:19.5"_s};
    // The hour's mean weighs each minute by its samples: (20 + 21 + 23.5 + 19.5) / 4.
    QTest::newRow("hour from minutes") << twoMinutes << int(Step::Hour) << QStringList{u"0:4:19.5:21:23.5"_s};
    QTest::newRow("hour boundary") << Readings{{3599, 10.0}, {3600, 12.0}, {3660, 14.0}} << int(Step::Hour)
                                   << QStringList{u"0:1:10:10:10"_s, u"3600:2:12:13:14"_s};
    QTest::newRow("a silent minute stays empty") << Readings{{0, 1.0}, {150, 2.0}} << int(Step::Minute)
                                                 << QStringList{u"0:1:1:1:1"_s, u"120:1:2:2:2"_s};
}

// Each table is checked twice: computed on the fly from the samples, and as the background roll-up
// stored it. Both must agree with the hand-computed rows.
void TestHistoryStore::rollup()
{
    QFETCH(Readings, samples);
    QFETCH(int, step);
    QFETCH(QStringList, expected);
    const QString path = m_dir.filePath(u"rollup-%1.db"_s.arg(QString::fromLatin1(QTest::currentDataTag())));
    HistoryStore store;
    QVERIFY(store.open(path).ok);
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
    QTest::addColumn<qint64>("now");
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("hours");
    // One hour of samples every 10 s on day 0.
    QTest::newRow("next day") << kT0 + kDay << 360 << 60 << 1;
    QTest::newRow("13 days later") << kT0 + 13 * kDay << 360 << 60 << 1;
    QTest::newRow("14 days after the last sample") << kT0 + 14 * kDay + 3600'000 << 0 << 60 << 1;
    QTest::newRow("399 days later") << kT0 + 399 * kDay << 0 << 60 << 1;
    QTest::newRow("400 days after the last bucket") << kT0 + 400 * kDay + 3600'000 << 0 << 0 << 1;
    QTest::newRow("ten years later") << kT0 + 3650 * kDay << 0 << 0 << 1;
}

void TestHistoryStore::retention()
{
    QFETCH(qint64, now);
    QFETCH(int, raw);
    QFETCH(int, minutes);
    QFETCH(int, hours);
    const QString path =
        m_dir.filePath(u"retention-%1.db"_s.arg(QString::fromLatin1(QTest::currentDataTag())));
    HistoryStore::Options options;
    options.clock = [now] {
        return now;
    };
    HistoryStore store(options);
    QVERIFY(store.open(path).ok);
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

void TestHistoryStore::twoWritersShareOneFile()
{
    const QString path = m_dir.filePath(u"shared.db"_s);
    HistoryStore console;
    HistoryStore agent;
    QVERIFY(console.open(path).ok);
    QVERIFY(agent.open(path).ok);
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
    QVERIFY(reader.open(path));
    const QList<Row> minutes = reader.read(kUnit, kT0, kT0 + 200'000, Step::Minute).rows;
    QCOMPARE(describe(minutes), (QStringList{u"0:60:20:25:30"_s, u"60:60:20:25:30"_s, u"120:60:20:25:30"_s,
                                             u"180:20:20:25:30"_s}));
}

void TestHistoryStore::fullQueueDropsItsOldestEntries()
{
    // Nothing is flushed while the queue fills, as when another program keeps the file locked.
    const QString path = m_dir.filePath(u"queue.db"_s);
    HistoryStore::Options options;
    options.maxPendingSamples = 5;
    options.maxPendingEvents = 3;
    HistoryStore store(options);
    QVERIFY(store.open(path).ok);
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

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
