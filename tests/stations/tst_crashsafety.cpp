// The station database against a writer killed at random moments: after every SIGKILL the file is
// intact and holds every write the writer had seen committed (the one in flight may or may not be
// there, but never half of it).

#include <random>
#include <sys/stat.h>

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "stations/stationformat.h"
#include "stations/stationstore.h"

#include "support/killedwriter.h"

using kestavo::stations::StationStore;

namespace {

constexpr int kRounds = 10;
constexpr int kWritesPerRound = 1000;

struct Row
{
    QString entry;
    QString password;
    QString notes;
    bool isDefault = false;
    bool operator==(const Row&) const = default;
};
using Table = QList<Row>;

Table readTable(const QString& path, QString* error)
{
    StationStore store;
    const auto opened = store.open(path);
    if (!opened.ok) {
        *error = opened.error;
        return {};
    }
    Table table;
    for (int i = 0; i < store.count(); ++i)
        table.append({store.entryAt(i), store.valueAt(i, QStringLiteral("password")).toString(),
                      store.valueAt(i, QStringLiteral("Relay1Notes")).toString(),
                      store.valueAt(i, QStringLiteral("default")).toInt() == 1});
    return table;
}

QString integrityOf(const QString& path)
{
    QString result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("integrity"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(QStringLiteral("PRAGMA integrity_check")) && query.next())
                result = query.value(0).toString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("integrity"));
    return result;
}

// The station operations as the store promises them, applied to the expected table.
bool apply(Table& table, const QString& operation)
{
    const QStringList words = operation.split(u' ');
    const QString& verb = words.value(0);
    if (verb == u"add" && words.size() >= 4) {
        table.append({kestavo::stations::formatEntry(words.at(1), words.mid(3).join(u' ')),
                      kestavo::stations::padPassword(words.at(2)), QString(), table.isEmpty()});
        return true;
    }
    if (verb == u"note" && words.size() == 3) {
        const int position = words.at(1).toInt();
        if (position < 0 || position >= table.size())
            return false;
        table[position].notes = words.at(2);
        return true;
    }
    if (verb == u"default" && words.size() == 2) {
        bool found = false;
        for (Row& row : table) {
            row.isDefault = !found && kestavo::stations::addressOf(row.entry) == words.at(1);
            found = found || row.isDefault;
        }
        return found;
    }
    if (verb == u"remove" && words.size() == 2) {
        const int position = words.at(1).toInt();
        if (position <= 0 || position >= table.size())
            return false;
        table.removeAt(position);
        if (std::none_of(table.cbegin(), table.cend(), [](const Row& row) { return row.isDefault; }))
            table.first().isDefault = true;
        return true;
    }
    return false;
}

int modeOf(const QString& path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

QString describe(const Table& table)
{
    QStringList rows;
    for (const Row& row : table)
        rows.append(
            QStringLiteral("[%1|%2|%3|%4]").arg(row.entry, row.password, row.notes).arg(row.isDefault));
    return rows.join(u' ');
}

} // namespace

class TestCrashSafety : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void committedWritesSurviveSigkill();
};

void TestCrashSafety::committedWritesSurviveSigkill()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("ksv.dat"));
    std::mt19937 random(1234);
    Table expected;
    int killedMidway = 0;
    int committedTotal = 0;

    for (int round = 1; round <= kRounds; ++round) {
        // Kill once the writer is under way, at a moment drawn anew each round.
        const int wantCommitted = int(random() % 300) + 1;
        const int extraMs = int(random() % 15);
        const kestavo::testsupport::WriterRun run = kestavo::testsupport::runAndKill(
            QStringLiteral(STATION_WRITER), {path, QString::number(round), QString::number(kWritesPerRound)},
            wantCommitted, extraMs);
        QVERIFY2(run.startError.isEmpty(), qPrintable(run.startError));
        killedMidway += run.killed ? 1 : 0;
        QVERIFY(run.finished);
        const QByteArray& output = run.output;
        if (run.exitedNormally)
            QVERIFY2(run.exitCode == 0, run.errors.constData());

        // Committed writes in order; at most one begun and not reported.
        QString inFlight;
        for (const QByteArray& line : output.split('\n')) {
            const QString text = QString::fromUtf8(line);
            if (text.startsWith(u"begin ")) {
                QVERIFY2(inFlight.isEmpty(), qPrintable(text));
                inFlight = text.section(u' ', 2);
            } else if (text.startsWith(u"committed ")) {
                QVERIFY2(!inFlight.isEmpty(), qPrintable(text));
                QVERIFY2(apply(expected, inFlight), qPrintable(inFlight));
                inFlight.clear();
                ++committedTotal;
            }
        }

        QCOMPARE(integrityOf(path), QStringLiteral("ok"));
        QCOMPARE(modeOf(path), 0600);
        QString error;
        const Table found = readTable(path, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        if (found == expected)
            continue;
        // The write in flight when the kill came may have committed without its report.
        Table withInFlight = expected;
        QVERIFY2(!inFlight.isEmpty() && apply(withInFlight, inFlight) && found == withInFlight,
                 qPrintable(QStringLiteral("round %1\nfile:     %2\nexpected: %3\nin flight: %4")
                                .arg(round)
                                .arg(describe(found), describe(expected), inFlight)));
        expected = withInFlight;
    }
    qInfo("%d rounds, %d killed before the end, %d writes committed", kRounds, killedMidway, committedTotal);
    QVERIFY(killedMidway >= kRounds / 2);
    QVERIFY(committedTotal >= kRounds);
}

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
