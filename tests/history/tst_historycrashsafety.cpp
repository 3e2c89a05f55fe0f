// The history file against a writer killed at random moments, in a batch or in a roll-up: after
// every SIGKILL the file is intact, holds every batch reported committed and at most the one in
// flight besides, and its roll-ups count every sample exactly once. And a reader beside a live
// writer that packs samples as it goes: every read holds at least every batch committed before it.

#include <random>
#include <sys/stat.h>

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
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
    void readsBesideAPackerMissNothing();
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

void TestHistoryCrashSafety::readsBesideAPackerMissNothing()
{
    // Every batch fills one ten-minute span, so the writer packs the previous batch's samples from
    // the recent rows into a block after each: a read that took the blocks before a packing step
    // and the recent rows after it would miss them.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"history.db"_s);
    QProcess writer;
    writer.start(QStringLiteral(HISTORY_WRITER), {path, u"1"_s, u"200"_s});
    QVERIFY(writer.waitForStarted());
    const auto stop = qScopeGuard([&writer] {
        writer.kill();
        writer.waitForFinished();
    });
    long long committed = 0;
    const auto readOutput = [&] {
        while (writer.canReadLine()) {
            const QByteArray line = writer.readLine();
            if (line.startsWith("committed "))
                committed = line.mid(10).trimmed().toLongLong();
        }
    };
    while (committed == 0 && writer.waitForReadyRead(5000))
        readOutput();
    kestavo::history::HistoryReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.error()));
    int reads = 0;
    while (writer.state() == QProcess::Running) {
        readOutput();
        const long long before = committed;
        long long seen = 0;
        for (const QString& station : {u"127.0.0.1"_s, u"127.0.0.2"_s, u"127.0.0.3"_s})
            seen += reader.read(station, 0, 4'000'000'000'000, kestavo::history::Step::Raw).rows.size();
        ++reads;
        QVERIFY2(seen >= before,
                 qPrintable(u"read %1 saw %2 of %3 committed samples"_s.arg(reads).arg(seen).arg(before)));
        writer.waitForReadyRead(0);
    }
    QCOMPARE(writer.exitCode(), 0);
    QVERIFY(reads >= 20);
}

QTEST_GUILESS_MAIN(TestHistoryCrashSafety)
#include "tst_historycrashsafety.moc"
