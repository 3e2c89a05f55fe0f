// The history file: how fast samples go in (against bare SQLite inserts of the same values), how
// fast seven days come back (against a bare one-row-per-sample table), how long a 7-day chart takes
// to redraw decimated (against every raw point in a QLineSeries), and how many bytes a year of one
// unit at 1 Hz takes.

#include <benchmark/benchmark.h>
#include <cmath>
#include <random>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QValueAxis>

#include "history/historystore.h"
#include "history/plotdata.h"

using namespace kestavo;

namespace {

constexpr qint64 kT0 = 1'767'225'600'000;
constexpr qint64 kDay = 86'400'000;
const QString kUnit = QStringLiteral("127.0.0.1");
const QString kMac = QStringLiteral("00:0A:1B:2C:3D:4E");

// A unit at a remote site: a battery drifting over the day with a few counts of noise, the other
// channels steady with noise, a temperature that moves in half degrees, a relay switching hourly.
history::Sample siteSample(qint64 t, std::mt19937& noise)
{
    std::uniform_int_distribution<int> jitter(-3, 3);
    history::Sample s;
    s.timeMs = t;
    const double hours = double(t - kT0) / 3'600'000.0;
    s.raw[0] = std::uint16_t(1700 + 120 * std::sin(hours / 24 * 6.283) + jitter(noise));
    for (std::size_t c = 1; c < 8; ++c)
        s.raw[c] = std::uint16_t(500 * c + jitter(noise));
    s.temperatureC = std::round(2 * (20 + 6 * std::sin(hours / 24 * 6.283))) / 2;
    s.relays = {int(hours) % 2 == 0, false, true};
    s.io = {false, false, true, false, false};
    s.timerRemaining = 0;
    s.uptime = quint32((t - kT0) / 1000);
    return s;
}

struct SevenDays
{
    QTemporaryDir dir;
    QString path;
    QString barePath;
    qint64 end = kT0 + 7 * kDay;
};

// One file with seven days at 1 Hz, packed and rolled up, and the same values in a bare table.
SevenDays& sevenDays()
{
    static SevenDays* data = [] {
        auto* d = new SevenDays;
        d->path = d->dir.filePath(QStringLiteral("history.db"));
        d->barePath = d->dir.filePath(QStringLiteral("bare.db"));
        history::HistoryStore::Options options;
        const qint64 end = d->end;
        options.clock = [end] {
            return end + 3'600'000;
        };
        history::HistoryStore store(options);
        store.open(d->path);
        QSqlDatabase bare = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bare"));
        bare.setDatabaseName(d->barePath);
        bare.open();
        QSqlQuery q(bare);
        q.exec(QStringLiteral(
            "CREATE TABLE samples (t INTEGER, c1 INTEGER, c2 INTEGER, c3 INTEGER, c4 INTEGER, "
            "c5 INTEGER, c6 INTEGER, c7 INTEGER, c8 INTEGER, temp REAL, relays INTEGER, io INTEGER, "
            "timer INTEGER, uptime INTEGER)"));
        q.exec(QStringLiteral("CREATE INDEX samples_t ON samples (t)"));
        bare.transaction();
        q.prepare(QStringLiteral("INSERT INTO samples VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
        std::mt19937 noise(7);
        for (qint64 t = kT0; t < end; t += 1000) {
            const history::Sample s = siteSample(t, noise);
            store.record(kUnit, kMac, s);
            q.addBindValue(t);
            for (auto r : s.raw)
                q.addBindValue(int(r));
            q.addBindValue(*s.temperatureC);
            q.addBindValue(5);
            q.addBindValue(4);
            q.addBindValue(0);
            q.addBindValue(qint64(s.uptime));
            q.exec();
            if (store.pendingCount() >= 10'000)
                store.flush();
        }
        bare.commit();
        store.flush();
        while (store.maintain(end + 3'600'000)) {
        }
        return d;
    }();
    return *data;
}

void insertBatch(benchmark::State& state)
{
    QTemporaryDir dir;
    history::HistoryStore store;
    store.open(dir.filePath(QStringLiteral("insert.db")));
    std::mt19937 noise(1);
    qint64 t = kT0;
    for (auto _ : state) {
        for (int i = 0; i < 10'000; ++i)
            store.record(kUnit, kMac, siteSample(t += 1000, noise));
        store.flush();
    }
    state.SetItemsProcessed(state.iterations() * 10'000);
}

void bareInsertBatch(benchmark::State& state)
{
    QTemporaryDir dir;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bare-insert"));
        db.setDatabaseName(dir.filePath(QStringLiteral("bare.db")));
        db.open();
        QSqlQuery q(db);
        q.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        q.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        q.exec(
            QStringLiteral("CREATE TABLE samples (t INTEGER, c1 INTEGER, c2 INTEGER, c3 INTEGER, c4 INTEGER, "
                           "c5 INTEGER, c6 INTEGER, c7 INTEGER, c8 INTEGER, temp REAL)"));
        std::mt19937 noise(1);
        qint64 t = kT0;
        for (auto _ : state) {
            db.transaction();
            q.prepare(QStringLiteral("INSERT INTO samples VALUES (?,?,?,?,?,?,?,?,?,?)"));
            for (int i = 0; i < 10'000; ++i) {
                const history::Sample s = siteSample(t += 1000, noise);
                q.addBindValue(t);
                for (auto r : s.raw)
                    q.addBindValue(int(r));
                q.addBindValue(*s.temperatureC);
                q.exec();
            }
            db.commit();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bare-insert"));
    state.SetItemsProcessed(state.iterations() * 10'000);
}

void query7Days(benchmark::State& state)
{
    SevenDays& d = sevenDays();
    history::HistoryReader reader;
    reader.open(d.path);
    const auto step = history::Step(state.range(0));
    qsizetype rows = 0;
    for (auto _ : state) {
        const history::Series s = reader.read(kUnit, kT0, d.end, step);
        rows = s.rows.size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = double(rows);
}

void bareQuery7Days(benchmark::State& state)
{
    SevenDays& d = sevenDays();
    QSqlDatabase db = QSqlDatabase::database(QStringLiteral("bare"));
    qint64 rows = 0;
    for (auto _ : state) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT * FROM samples WHERE t >= ? AND t < ?"));
        q.addBindValue(kT0);
        q.addBindValue(d.end);
        q.exec();
        rows = 0;
        while (q.next())
            rows += q.value(1).toInt() > 0;
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = double(rows);
}

struct ChartRig
{
    QChart* chart = new QChart;
    QChartView view{chart};
    QDateTimeAxis* x = new QDateTimeAxis;
    QValueAxis* y = new QValueAxis;
    QImage image{1000, 600, QImage::Format_ARGB32};

    ChartRig()
    {
        view.resize(1000, 600);
        chart->addAxis(x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        x->setRange(QDateTime::fromMSecsSinceEpoch(kT0), QDateTime::fromMSecsSinceEpoch(kT0 + 7 * kDay));
        y->setRange(0, 40);
        view.show();
    }
    void render()
    {
        QPainter p(&image);
        view.render(&p);
    }
};

// Read once, then per redraw: decimate to 1000 columns, hand the points to the series, paint.
void redrawDecimated(benchmark::State& state)
{
    SevenDays& d = sevenDays();
    history::HistoryReader reader;
    reader.open(d.path);
    const history::Series series = reader.read(kUnit, kT0, d.end, history::Step(state.range(0)));
    ChartRig rig;
    auto* line = new QLineSeries;
    rig.chart->addSeries(line);
    line->attachAxis(rig.x);
    line->attachAxis(rig.y);
    const qint64 gap = history::gapThresholdMs(series);
    for (auto _ : state) {
        const auto segments = history::plotLines(series, 0, kT0, d.end, 1000, gap);
        line->replace(segments.value(0));
        rig.render();
    }
    state.counters["points"] = double(line->count());
}

// Every raw point handed to a QLineSeries in one replace(), then painted: what a chart without
// decimation does at best. (append(), one by one or as a list, re-strokes the whole line for each
// point in Qt 6.4; 604,800 points did not finish in eight minutes.)
void redrawNaive(benchmark::State& state)
{
    SevenDays& d = sevenDays();
    history::HistoryReader reader;
    reader.open(d.path);
    const history::Series series = reader.read(kUnit, kT0, d.end, history::Step::Raw);
    ChartRig rig;
    auto* line = new QLineSeries;
    rig.chart->addSeries(line);
    line->attachAxis(rig.x);
    line->attachAxis(rig.y);
    for (auto _ : state) {
        QList<QPointF> points;
        points.reserve(series.rows.size());
        for (const history::Row& r : series.rows)
            points.append(QPointF(double(r.timeMs), r.mean[0]));
        line->replace(points);
        rig.render();
    }
    state.counters["points"] = double(line->count());
}

// One day of one unit at 1 Hz, packed and rolled up; the bytes of each level give the year.
void diskPerUnitYear(benchmark::State& state)
{
    double mb = 0;
    for (auto _ : state) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("day.db"));
        {
            history::HistoryStore::Options options;
            options.clock = [] {
                return kT0 + kDay + 3'600'000;
            };
            history::HistoryStore store(options);
            store.open(path);
            std::mt19937 noise(3);
            for (qint64 t = kT0; t < kT0 + kDay; t += 1000) {
                store.record(kUnit, kMac, siteSample(t, noise));
                if (store.pendingCount() >= 10'000)
                    store.flush();
            }
            store.flush();
            while (store.maintain(kT0 + kDay + 3'600'000)) {
            }
        }
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("size"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        // Bytes of the packed data per level plus SQLite's own share of each row, from page_count
        // after a VACUUM with and without the raw level.
        q.exec(QStringLiteral("VACUUM"));
        q.exec(QStringLiteral("PRAGMA page_count"));
        q.next();
        const double all = q.value(0).toDouble() * 4096;
        q.exec(QStringLiteral("DELETE FROM blocks WHERE level = 0"));
        q.exec(QStringLiteral("VACUUM"));
        q.exec(QStringLiteral("PRAGMA page_count"));
        q.next();
        const double rollups = q.value(0).toDouble() * 4096;
        q.finish();
        db.close();
        const double rawDay = all - rollups;
        // Steady state: 14 days of samples, 365 days of minute and hour buckets.
        mb = (14 * rawDay + 365 * rollups) / 1e6;
        state.counters["raw_day_kB"] = rawDay / 1e3;
        state.counters["rollup_day_kB"] = rollups / 1e3;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("size"));
    state.counters["MB_per_unit_year"] = mb;
}

} // namespace

BENCHMARK(insertBatch)->Unit(benchmark::kMillisecond);
BENCHMARK(bareInsertBatch)->Unit(benchmark::kMillisecond);
BENCHMARK(query7Days)
    ->Arg(int(history::Step::Raw))
    ->Arg(int(history::Step::Minute))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(bareQuery7Days)->Unit(benchmark::kMillisecond);
BENCHMARK(redrawDecimated)
    ->Arg(int(history::Step::Minute))
    ->Arg(int(history::Step::Raw))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(redrawNaive)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(diskPerUnitYear)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
