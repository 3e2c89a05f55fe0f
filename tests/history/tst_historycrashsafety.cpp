// The history file against a writer killed at random moments, in a batch or in a roll-up: after
// every SIGKILL the file is intact, holds every batch reported committed and at most the one in
// flight besides, and its roll-ups count every sample exactly once.

#include <random>
#include <sys/stat.h>

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "history/historyreader.h"
#include "support/killedwriter.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kRounds = 8;
constexpr int kBatchesPerRound = 300;

QString integrityOf(const QString& path)
{
    QString result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"integrity"_s);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(u"PRAGMA integrity_check"_s) && query.next())
                result = query.value(0).toString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(u"integrity"_s);
    return result;
}

int modeOf(const QString& path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// Samples of every station, counted raw and as the sum of the minute buckets' counts.
std::pair<long long, long long> counts(const QString& path)
{
    kestavo::history::HistoryReader reader;
    if (!reader.open(path))
        return {-1, -1};
    long long raw = 0;
    long long rolled = 0;
    for (const QString& station : reader.stations()) {
        raw += reader.read(station, 0, 4'000'000'000'000, kestavo::history::Step::Raw).rows.size();
        for (const auto& row :
             reader.read(station, 0, 4'000'000'000'000, kestavo::history::Step::Minute).rows)
            rolled += row.count;
    }
    return {raw, rolled};
}

} // namespace

class TestHistoryCrashSafety : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void committedBatchesSurviveSigkill();
};

void TestHistoryCrashSafety::committedBatchesSurviveSigkill()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"history.db"_s);
    std::mt19937 random(4321);
    long long expected = 0;
    int killed = 0;
    for (int round = 1; round <= kRounds; ++round) {
        const int wantCommitted = int(random() % 120) + 1;
        const int extraMs = int(random() % 10);
        const kestavo::testsupport::WriterRun run = kestavo::testsupport::runAndKill(
            QStringLiteral(HISTORY_WRITER), {path, QString::number(round), QString::number(kBatchesPerRound)},
            wantCommitted, extraMs);
        QVERIFY2(run.startError.isEmpty(), qPrintable(run.startError));
        killed += run.killed ? 1 : 0;
        QVERIFY(run.finished);
        if (run.exitedNormally)
            QVERIFY2(run.exitCode == 0, run.errors.constData());
        const QByteArray& output = run.output;

        long long committed = 0;
        long long inFlight = 0;
        for (const QByteArray& line : output.split('\n')) {
            if (line.startsWith("begin "))
                inFlight = line.mid(6).toLongLong();
            else if (line.startsWith("committed ")) {
                committed = line.mid(10).toLongLong();
                inFlight = 0;
            }
        }
        QCOMPARE(integrityOf(path), u"ok"_s);
        QCOMPARE(modeOf(path), 0600);
        const auto [raw, rolled] = counts(path);
        expected += committed;
        QVERIFY2(
            raw == expected || raw == expected + inFlight,
            qPrintable(
                u"round %1: %2 samples, %3 committed, %4 in flight"_s.arg(round).arg(raw).arg(expected).arg(
                    inFlight)));
        expected = raw;
        QCOMPARE(rolled, raw);
    }
    QVERIFY(killed >= kRounds / 2);
}

QTEST_GUILESS_MAIN(TestHistoryCrashSafety)
#include "tst_historycrashsafety.moc"
