// The history in a team's store (PostgreSQL) beside the history file (SQLite), in one run on one
// machine: a fleet of simulated units at 1 Hz written by the history store the agent runs (batched
// once a second), the writer's and the server's CPU for it, the disk one unit takes a year, and the
// week-trend query. Each figure has its bare baseline on the same back end: the same values in a
// plain one-row-per-sample table, inserted in the same batches and read grouped by minute in SQL.
//
//   bench_store [--units N] [--seconds S] [--days D]      (defaults 10000, 30, 7)
//
// No network but loopback: the server is a private cluster on 127.0.0.1, the units are simulated
// in memory (the write path is what is measured, not polling).

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <random>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "history/historydb.h"
#include "history/historystore.h"
#include "store/teamschema.h"
#include "storelink/storeconnection.h"
#include "support/postgrescluster.h"

using namespace kestavo;

namespace {

constexpr qint64 kT0 = 1'767'225'600'000;
constexpr qint64 kDay = 86'400'000;
constexpr int kRawDays = 14;     // samples are kept this long
constexpr int kBucketDays = 365; // buckets a year

// A unit at a remote site, as bench_history has it: a battery drifting over the day with a few
// counts of noise, the other channels steady with noise, a temperature in half degrees, a relay
// switching hourly.
history::Sample siteSample(qint64 t, int unit, std::mt19937& noise)
{
    std::uniform_int_distribution<int> jitter(-3, 3);
    history::Sample s;
    s.timeMs = t;
    const double hours = double(t - kT0) / 3'600'000.0 + unit * 0.01;
    s.raw[0] = std::uint16_t(1700 + 120 * std::sin(hours / 24 * 6.283) + jitter(noise));
    for (std::size_t c = 1; c < 8; ++c)
        s.raw[c] = std::uint16_t(500 * c + jitter(noise));
    s.temperatureC = std::round(2 * (20 + 6 * std::sin(hours / 24 * 6.283))) / 2;
    s.relays = {int(hours) % 2 == 0, false, true};
    s.io = {false, false, true, false, false};
    s.uptime = quint32((t - kT0) / 1000);
    return s;
}

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The server's CPU: the postmaster and every process it started (backends, writers), from /proc.
// A process that ended meanwhile takes its share with it; the writer's backend lives throughout.
class ServerCpu
{
public:
    explicit ServerCpu(const QString& dataDirectory)
    {
        QFile pidFile(dataDirectory + QStringLiteral("/postmaster.pid"));
        if (pidFile.open(QIODevice::ReadOnly))
            m_postmaster = pidFile.readLine().trimmed().toLongLong();
    }
    double seconds() const
    {
        const long ticks = sysconf(_SC_CLK_TCK);
        double total = 0;
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            bool number = false;
            const qint64 pid = entry.toLongLong(&number);
            if (!number)
                continue;
            QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray text = stat.readAll();
            // Fields after the command name (which may hold spaces): state ppid … utime(14) stime(15).
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (fields.size() < 13)
                continue;
            if (pid != m_postmaster && fields.at(1).toLongLong() != m_postmaster)
                continue;
            total += double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) / double(ticks);
        }
        return total;
    }

private:
    qint64 m_postmaster = -1;
};

struct Cost
{
    double writerCpu = 0; // s
    double serverCpu = 0; // s
    double wall = 0;      // s
    double slowestBatchMs = 0;
};

// Runs `work`, measuring this process's CPU, the server's (when there is one) and the wall time.
Cost measure(const ServerCpu* server, const std::function<void(double*)>& work)
{
    Cost cost;
    const double cpu0 = processCpuSeconds();
    const double server0 = server ? server->seconds() : 0;
    QElapsedTimer wall;
    wall.start();
    work(&cost.slowestBatchMs);
    cost.wall = double(wall.nsecsElapsed()) / 1e9;
    cost.writerCpu = processCpuSeconds() - cpu0;
    cost.serverCpu = server ? server->seconds() - server0 : 0;
    return cost;
}

struct Fleet
{
    QStringList addresses;
    QStringList macs;
    explicit Fleet(int units)
    {
        for (int u = 0; u < units; ++u) {
            addresses << QStringLiteral("127.%1.%2.%3").arg(u >> 16).arg((u >> 8) & 255).arg(u & 255);
            macs << QStringLiteral("00:0A:00:%1:%2:%3")
                        .arg(u >> 16, 2, 16, QLatin1Char('0'))
                        .arg((u >> 8) & 255, 2, 16, QLatin1Char('0'))
                        .arg(u & 255, 2, 16, QLatin1Char('0'));
        }
    }
};

// The plain table of the baseline: one row per sample, every value a column.
const char* const kBareTable =
    "CREATE TABLE bare (unit bigint, t bigint, c1 int, c2 int, c3 int, c4 int, c5 int, "
    "c6 int, c7 int, c8 int, temp double precision, relays int, io int, uptime bigint)";
constexpr int kBareColumns = 14;

void bareRow(QVariantList& values, qint64 unit, const history::Sample& s)
{
    values << unit << s.timeMs;
    for (auto r : s.raw)
        values << int(r);
    values << *s.temperatureC << 5 << 4 << qint64(s.uptime);
}

struct Backend
{
    QString name;
    std::function<history::HistoryStore::OpenResult(history::HistoryStore&)> open;
    std::function<QSqlDatabase()> bare; // a connection of its own for the baseline
    // The fastest plain way of each: one prepared row at a time in SQLite (no round trips),
    // multi-row statements to a server.
    std::function<bool(QSqlQuery&, const QVariantList&)> bareInsert;
    std::function<void(const QString&)> asSuperuser;
    const ServerCpu* server = nullptr;
    std::function<qint64()> diskBytes; // after compacting
};

struct Figures
{
    Cost firstBatch;
    Cost fleet;
    Cost fleetBare;
    Cost maintain;
    double rawPerDay = 0;
    double bucketsPerDay = 0;
    double weekQueryMs = 0;
    double weekQueryBareMs = 0;
    int weekRows = 0;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

Figures run(const Backend& backend, const Fleet& fleet, int seconds, int days)
{
    Figures f;
    const int units = int(fleet.addresses.size());
    std::printf("%s: %d units x %d s ...\n", qPrintable(backend.name), units, seconds);
    std::fflush(stdout);
    {
        qint64 clock = kT0;
        history::HistoryStore::Options options;
        options.clock = [&clock] {
            return clock;
        };
        options.maxPendingSamples = 2 * units;
        history::HistoryStore store(options);
        const auto opened = backend.open(store);
        if (!opened.ok)
            qFatal("%s", qPrintable(opened.error));
        std::mt19937 noise(1);
        // The first batch registers every unit (a row each, once per agent start): timed alone.
        for (int u = 0; u < units; ++u)
            store.record(fleet.addresses[u], fleet.macs[u], siteSample(clock, u, noise));
        f.firstBatch = measure(backend.server, [&](double*) {
            if (!store.flush())
                qFatal("%s", qPrintable(store.lastError()));
        });
        clock += 1000;
        f.fleet = measure(backend.server, [&](double* slowest) {
            for (int s = 0; s < seconds; ++s, clock += 1000) {
                for (int u = 0; u < units; ++u)
                    store.record(fleet.addresses[u], fleet.macs[u], siteSample(clock, u, noise));
                QElapsedTimer batch;
                batch.start();
                if (!store.flush())
                    qFatal("%s", qPrintable(store.lastError()));
                *slowest = std::max(*slowest, double(batch.nsecsElapsed()) / 1e6);
            }
        });
    }
    {
        QSqlDatabase db = backend.bare();
        QSqlQuery q(db);
        q.exec(QString::fromLatin1(kBareTable));
        std::mt19937 noise(1);
        qint64 clock = kT0;
        f.fleetBare = measure(backend.server, [&](double* slowest) {
            QVariantList values;
            for (int s = 0; s < seconds; ++s, clock += 1000) {
                values.clear();
                for (int u = 0; u < units; ++u)
                    bareRow(values, u, siteSample(clock, u, noise));
                QElapsedTimer batch;
                batch.start();
                if (!backend.bareInsert(q, values))
                    qFatal("%s", qPrintable(q.lastError().text()));
                *slowest = std::max(*slowest, double(batch.nsecsElapsed()) / 1e6);
            }
        });
        q.exec(QStringLiteral("DROP TABLE bare"));
    }

    // One unit for `days` at 1 Hz, packed and rolled up; then its disk and the week's trend.
    std::printf("%s: one unit x %d days ...\n", qPrintable(backend.name), days);
    std::fflush(stdout);
    const QString unit = QStringLiteral("127.255.255.254");
    const QString mac = QStringLiteral("00:0A:FF:FF:FF:FE");
    const qint64 end = kT0 + days * kDay;
    qint64 clock = end + 3'600'000;
    history::HistoryStore::Options options;
    options.clock = [&clock] {
        return clock;
    };
    options.maxPendingSamples = 20'000;
    history::HistoryStore store(options);
    if (!backend.open(store).ok)
        qFatal("cannot open the store again");
    QSqlDatabase bare = backend.bare();
    QSqlQuery q(bare);
    q.exec(QString::fromLatin1(kBareTable));
    q.exec(QStringLiteral("CREATE INDEX bare_unit_t ON bare (unit, t)"));
    std::mt19937 noise(7);
    QVariantList values;
    for (qint64 t = kT0; t < end; t += 1000) {
        const history::Sample s = siteSample(t, 0, noise);
        store.record(unit, mac, s);
        bareRow(values, 1, s);
        if (store.pendingCount() >= 10'000) {
            store.flush();
            backend.bareInsert(q, values);
            values.clear();
        }
    }
    store.flush();
    backend.bareInsert(q, values);
    // Only this unit's upkeep is measured: the fleet's units are far behind and would be rolled up too.
    backend.asSuperuser(
        QStringLiteral("DELETE FROM recent WHERE unit IN (SELECT id FROM units WHERE address <> "
                       "'127.255.255.254')"));
    backend.asSuperuser(QStringLiteral("DELETE FROM units WHERE address <> '127.255.255.254'"));
    f.maintain = measure(backend.server, [&](double*) {
        while (store.maintain(clock)) {
        }
    });

    std::vector<double> times;
    std::vector<double> bareTimes;
    for (int i = 0; i < 15; ++i) {
        QElapsedTimer timer;
        timer.start();
        const history::Series series = store.reader().read(unit, end - 7 * kDay, end, history::Step::Minute);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        f.weekRows = int(series.rows.size());
        timer.restart();
        QSqlQuery grouped(bare);
        grouped.setForwardOnly(true);
        grouped.prepare(
            QStringLiteral("SELECT t / 60000, count(*), min(temp), avg(temp), max(temp), min(c1), avg(c1), "
                           "max(c1), min(c2), avg(c2), max(c2), min(c3), avg(c3), max(c3), min(c4), "
                           "avg(c4), max(c4), min(c5), avg(c5), max(c5), min(c6), avg(c6), max(c6), "
                           "min(c7), avg(c7), max(c7), min(c8), avg(c8), max(c8) FROM bare "
                           "WHERE unit = 1 AND t >= ? AND t < ? GROUP BY 1 ORDER BY 1"));
        grouped.addBindValue(end - 7 * kDay);
        grouped.addBindValue(end);
        grouped.exec();
        int rows = 0;
        while (grouped.next())
            ++rows;
        bareTimes.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (rows != f.weekRows)
            qWarning("the bare week read %d rows, the history %d", rows, f.weekRows);
    }
    f.weekQueryMs = median(times);
    f.weekQueryBareMs = median(bareTimes);
    q.exec(QStringLiteral("DROP TABLE bare"));
    q.finish();
    store.close();

    // Disk: everything, then without the raw level (samples and their blocks).
    const qint64 all = backend.diskBytes();
    backend.asSuperuser(QStringLiteral("DELETE FROM blocks WHERE level = 0"));
    backend.asSuperuser(QStringLiteral("DELETE FROM recent"));
    const qint64 buckets = backend.diskBytes();
    // What empty tables and indexes take anyway is nobody's unit-day.
    for (const char* table : {"blocks", "rollups", "units", "events"})
        backend.asSuperuser(QStringLiteral("DELETE FROM %1").arg(QString::fromLatin1(table)));
    const qint64 empty = backend.diskBytes();
    f.rawPerDay = double(all - buckets) / days;
    f.bucketsPerDay = double(buckets - empty) / days;
    return f;
}

QString mb(double bytes)
{
    return QString::number(bytes / 1e6, 'f', 1) + QStringLiteral(" MB");
}

QString kb(double bytes)
{
    return QString::number(bytes / 1e3, 'f', 0) + QStringLiteral(" kB");
}

QString percent(double cpuSeconds, double seconds)
{
    return QString::number(100.0 * cpuSeconds / seconds, 'f', 1) + QStringLiteral(" %");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int units = 10'000;
    int seconds = 30;
    int days = 7;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--units")
            units = args[i + 1].toInt();
        else if (args[i] == u"--seconds")
            seconds = args[i + 1].toInt();
        else if (args[i] == u"--days")
            days = args[i + 1].toInt();
    }
    if (const QString missing = testsupport::PostgresCluster::missingReason(); !missing.isEmpty()) {
        std::fprintf(stderr, "bench_store: %s\n", qPrintable(missing));
        return 1;
    }
    testsupport::PostgresCluster cluster;
    if (!cluster.start() || !cluster.addLogin(QStringLiteral("owner"), QStringLiteral("CREATEROLE")) ||
        !cluster.addLogin(QStringLiteral("agent")) ||
        !cluster.exec(QStringLiteral("CREATE DATABASE team OWNER owner"))) {
        std::fprintf(stderr, "bench_store: %s\n", qPrintable(cluster.error()));
        return 1;
    }
    {
        store::StoreConnection owner;
        if (!owner.open(
                store::parseStoreUrl(cluster.url(QStringLiteral("owner"), QStringLiteral("team"))).url,
                QStringLiteral("bench_store")) ||
            !store::initialize(owner.db()).ok ||
            !store::grantRole(owner.db(), QStringLiteral("agent"), store::Role::Operator).ok) {
            std::fprintf(stderr, "bench_store: the store cannot be set up: %s\n", qPrintable(owner.error()));
            return 1;
        }
        // The baseline's table is the owner's; the agent may fill it.
        QSqlQuery(owner.db()).exec(QStringLiteral("GRANT CREATE ON SCHEMA public TO agent"));
    }
    store::StoreConnection agent;
    if (!agent.open(store::parseStoreUrl(cluster.url(QStringLiteral("agent"), QStringLiteral("team"))).url,
                    QStringLiteral("bench_store"))) {
        std::fprintf(stderr, "bench_store: %s\n", qPrintable(agent.error()));
        return 1;
    }
    const ServerCpu server(cluster.dataDirectory());

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("history.db"));
    const QString bareFile = dir.filePath(QStringLiteral("bare.db"));
    const auto sqlite = [](const QString& name, const QString& path) {
        QSqlDatabase db = QSqlDatabase::contains(name)
                              ? QSqlDatabase::database(name)
                              : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        if (!db.isOpen()) {
            db.setDatabaseName(path);
            db.open();
            QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode = WAL"));
            QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        }
        return db;
    };
    Backend fileBackend{
        QStringLiteral("SQLite"),
        [&file](history::HistoryStore& store) { return store.open(file); },
        [&] { return sqlite(QStringLiteral("bare-file"), bareFile); },
        [](QSqlQuery& q, const QVariantList& values) {
            bool ok = q.exec(QStringLiteral("BEGIN"));
            q.prepare(QStringLiteral("INSERT INTO bare VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
            for (qsizetype i = 0; ok && i < values.size(); i += kBareColumns) {
                for (int c = 0; c < kBareColumns; ++c)
                    q.addBindValue(values.at(i + c));
                ok = q.exec();
            }
            return q.exec(QStringLiteral("COMMIT")) && ok;
        },
        [&](const QString& sql) { QSqlQuery(sqlite(QStringLiteral("super-file"), file)).exec(sql); },
        nullptr,
        [&] {
            QSqlDatabase db = sqlite(QStringLiteral("super-file"), file);
            QSqlQuery q(db);
            q.exec(QStringLiteral("VACUUM"));
            q.exec(QStringLiteral("PRAGMA page_count"));
            q.next();
            const qint64 pages = q.value(0).toLongLong();
            q.exec(QStringLiteral("PRAGMA page_size"));
            q.next();
            return pages * q.value(0).toLongLong();
        },
    };
    Backend storeBackend{
        QStringLiteral("PostgreSQL"),
        [&agent](history::HistoryStore& store) { return store.openStore(agent.db()); },
        [&agent] {
            const QString name = QStringLiteral("bare-store");
            if (!QSqlDatabase::contains(name)) {
                QSqlDatabase db = QSqlDatabase::cloneDatabase(agent.db(), name);
                db.open();
            }
            return QSqlDatabase::database(name);
        },
        [](QSqlQuery& q, const QVariantList& values) {
            const bool ok =
                q.exec(QStringLiteral("BEGIN")) &&
                history::db::insertRows(q, QStringLiteral("INSERT INTO bare"), kBareColumns, values);
            return q.exec(QStringLiteral("COMMIT")) && ok;
        },
        [&cluster](const QString& sql) {
            if (!cluster.exec(sql, QStringLiteral("team")))
                qWarning("%s", qPrintable(cluster.error()));
        },
        &server,
        [&cluster] {
            cluster.exec(QStringLiteral("VACUUM FULL"), QStringLiteral("team"));
            QSqlDatabase db = QSqlDatabase::database(QStringLiteral("test-cluster-team"));
            QSqlQuery q(db);
            q.exec(
                QStringLiteral("SELECT sum(pg_total_relation_size(c)) FROM unnest(ARRAY['units', 'recent', "
                               "'blocks', 'rollups', 'events']::regclass[]) AS c"));
            q.next();
            return q.value(0).toLongLong();
        },
    };

    const Fleet fleet(units);
    const Figures lite = run(fileBackend, fleet, seconds, days);
    const Figures pg = run(storeBackend, fleet, seconds, days);

    const auto perUnitYear = [](const Figures& f) {
        return f.rawPerDay * kRawDays + f.bucketsPerDay * kBucketDays;
    };
    std::printf("\n%d units at 1 Hz for %d s, batched once a second; one unit for %d days\n\n", units,
                seconds, days);
    std::printf("| Figure | SQLite file | PostgreSQL store | Store / file |\n|---|---|---|---|\n");
    const auto row = [](const char* what, const QString& a, const QString& b, double ratio) {
        std::printf("| %s | %s | %s | %.2f |\n", what, qPrintable(a), qPrintable(b), ratio);
    };
    row("writer CPU (one core)", percent(lite.fleet.writerCpu, seconds), percent(pg.fleet.writerCpu, seconds),
        pg.fleet.writerCpu / lite.fleet.writerCpu);
    row("  bare inserts, same batches", percent(lite.fleetBare.writerCpu, seconds),
        percent(pg.fleetBare.writerCpu, seconds), pg.fleetBare.writerCpu / lite.fleetBare.writerCpu);
    std::printf("| server CPU (one core) | — | %s | — |\n", qPrintable(percent(pg.fleet.serverCpu, seconds)));
    std::printf("|   bare inserts, same batches | — | %s | — |\n",
                qPrintable(percent(pg.fleetBare.serverCpu, seconds)));
    row("wall time per second of load",
        QString::number(1000 * lite.fleet.wall / seconds, 'f', 0) + QStringLiteral(" ms"),
        QString::number(1000 * pg.fleet.wall / seconds, 'f', 0) + QStringLiteral(" ms"),
        pg.fleet.wall / lite.fleet.wall);
    row("first batch (registers every unit)",
        QString::number(1000 * lite.firstBatch.wall, 'f', 0) + QStringLiteral(" ms"),
        QString::number(1000 * pg.firstBatch.wall, 'f', 0) + QStringLiteral(" ms"),
        pg.firstBatch.wall / lite.firstBatch.wall);
    row("slowest batch after it", QString::number(lite.fleet.slowestBatchMs, 'f', 0) + QStringLiteral(" ms"),
        QString::number(pg.fleet.slowestBatchMs, 'f', 0) + QStringLiteral(" ms"),
        pg.fleet.slowestBatchMs / lite.fleet.slowestBatchMs);
    const double unitDays = double(days);
    row("packing and roll-ups, CPU per unit-day (writer)",
        QString::number(1000 * lite.maintain.writerCpu / unitDays, 'f', 1) + QStringLiteral(" ms"),
        QString::number(1000 * pg.maintain.writerCpu / unitDays, 'f', 1) + QStringLiteral(" ms"),
        pg.maintain.writerCpu / lite.maintain.writerCpu);
    std::printf("|   (server) | — | %.1f ms | — |\n", 1000 * pg.maintain.serverCpu / unitDays);
    row("disk per unit-day, samples", kb(lite.rawPerDay), kb(pg.rawPerDay), pg.rawPerDay / lite.rawPerDay);
    row("disk per unit-day, buckets", kb(lite.bucketsPerDay), kb(pg.bucketsPerDay),
        pg.bucketsPerDay / lite.bucketsPerDay);
    row("disk per unit-year (14 days of samples, 365 of buckets)", mb(perUnitYear(lite)), mb(perUnitYear(pg)),
        perUnitYear(pg) / perUnitYear(lite));
    row("week trend at 1 min (median of 15)",
        QString::number(lite.weekQueryMs, 'f', 1) + QStringLiteral(" ms"),
        QString::number(pg.weekQueryMs, 'f', 1) + QStringLiteral(" ms"), pg.weekQueryMs / lite.weekQueryMs);
    row("  bare: GROUP BY minute over one row per sample",
        QString::number(lite.weekQueryBareMs, 'f', 1) + QStringLiteral(" ms"),
        QString::number(pg.weekQueryBareMs, 'f', 1) + QStringLiteral(" ms"),
        pg.weekQueryBareMs / lite.weekQueryBareMs);
    std::printf(
        "\nweek trend rows: %d; history / bare: SQLite %.2f, PostgreSQL %.2f; writer / bare CPU: SQLite "
        "%.2f, PostgreSQL %.2f (writer), %.2f (server)\n",
        pg.weekRows, lite.weekQueryMs / lite.weekQueryBareMs, pg.weekQueryMs / pg.weekQueryBareMs,
        lite.fleet.writerCpu / lite.fleetBare.writerCpu, pg.fleet.writerCpu / pg.fleetBare.writerCpu,
        pg.fleet.serverCpu / pg.fleetBare.serverCpu);
    return 0;
}
