// `kestavo-cli history`: the columns of each format and step, the exit codes, TIME.

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "cli.h"
#include "history/historystore.h"
#include "history/timetext.h"
#include "historycommand.h"

using namespace kestavo;
using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow = QDateTime(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC);

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

} // namespace

class TestCliHistory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void formatsAndSteps_data();
    void formatsAndSteps();
    void exitCodes_data();
    void exitCodes();
    void times_data();
    void times();

private:
    Run run(const QString& line);
    QTemporaryDir m_dir;
};

void TestCliHistory::initTestCase()
{
    history::HistoryStore store;
    QVERIFY(store.open(m_dir.filePath(u"history.db"_s)).ok);
    // 10:00 to 10:02 UTC every 30 s: channel 3 at full scale, 21.5 °C, relay 2 on.
    for (int i = 0; i < 5; ++i) {
        history::Sample s;
        s.timeMs = kNow.toMSecsSinceEpoch() - 2 * 3600'000 + i * 30'000LL;
        s.raw[2] = 4095;
        s.temperatureC = 21.5 + i;
        s.relays = {false, true, false};
        store.record(u"127.0.0.1"_s, u"00:0A:1B:2C:3D:4E"_s, s);
    }
    QVERIFY(store.flush());
}

Run TestCliHistory::run(const QString& line)
{
    Run r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    cli::CliEnvironment environment;
    environment.applicationDir = m_dir.path();
    environment.now = [] {
        return kNow;
    };
    QStringList arguments{u"--db"_s, m_dir.filePath(u"ksv.dat"_s)};
    arguments += QProcess::splitCommand(line);
    r.code = cli::runCli(arguments, out, err, environment);
    out.flush();
    err.flush();
    return r;
}

void TestCliHistory::formatsAndSteps_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("expected"); // first lines of the output
    QTest::newRow("csv raw")
        << u"history 127.0.0.1 --format csv"_s
        << QStringList{u"time,v1,v2,v3,v4,v5,v6,v7,v8,temperature_c,relay1,relay2,relay3,io1,io2,io3,"
                       u"io4,io5\r"_s,
                       u"2026-01-01T10:00:00.000Z,0,0,30,0,0,0,0,0,21.5,0,1,0,,,,,\r"_s};
    QTest::newRow("csv minute") << u"history 127.0.0.1 --step 1m --format csv --from 2026-01-01T10:01:00Z"_s
                                << QStringList{
                                       u"time,v1,v2,v3,v4,v5,v6,v7,v8,temperature_c,relay1,relay2,relay3,io1,"
                                       u"io2,io3,io4,io5,v1_min,v1_max,v2_min,v2_max,v3_min,v3_max,v4_min,"
                                       u"v4_max,v5_min,v5_max,v6_min,v6_max,v7_min,v7_max,v8_min,v8_max,"
                                       u"temperature_c_min,temperature_c_max,count\r"_s,
                                       u"2026-01-01T10:01:00.000Z,0,0,30,0,0,0,0,0,24,0,1,0,,,,,,0,0,0,0,30,"
                                       u"30,0,0,0,0,0,0,0,0,0,0,23.5,24.5,2\r"_s,
                                       u"2026-01-01T10:02:00.000Z,0,0,30,0,0,0,0,0,25.5,0,1,0,,,,,,0,0,0,0,"
                                       u"30,30,0,0,0,0,0,0,0,0,0,0,25.5,25.5,1\r"_s,
                                       QString()};
    QTest::newRow("json hour")
        << u"history 127.0.0.1 --step 1h --format json"_s
        << QStringList{u"{\"count\":5,\"io1\":null,\"io2\":null,\"io3\":null,\"io4\":null,"
                       u"\"io5\":null,\"relay1\":0,\"relay2\":1,\"relay3\":0,\"temperature_c\""
                       u":23.5,\"temperature_c_max\":25.5,\"temperature_c_min\":21.5,"
                       u"\"time\":\"2026-01-01T10:00:00.000Z\",\"v1\":0,\"v1_max\":0,\"v1_min\""
                       u":0,\"v2\":0,\"v2_max\":0,\"v2_min\":0,\"v3\":30,\"v3_max\":30,\"v3_min\""
                       u":30,\"v4\":0,\"v4_max\":0,\"v4_min\":0,\"v5\":0,\"v5_max\":0,\"v5_min\":0,"
                       u"\"v6\":0,\"v6_max\":0,\"v6_min\":0,\"v7\":0,\"v7_max\":0,\"v7_min\":0,"
                       u"\"v8\":0,\"v8_max\":0,\"v8_min\":0}"_s,
                       QString()};
    QTest::newRow("text, nothing in range")
        << u"history 127.0.0.1 --from -1h"_s
        << QStringList{u"time v1 v2 v3 v4 v5 v6 v7 v8 temperature_c relay1 relay2 "
                       u"relay3 io1 io2 io3 io4 io5"_s,
                       QString()};
}

void TestCliHistory::formatsAndSteps()
{
    QFETCH(QString, line);
    QFETCH(QStringList, expected);
    const Run r = run(line);
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out.split(u'\n').mid(0, expected.size()), expected);
}

void TestCliHistory::exitCodes_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << u"history 127.0.0.1 --history /nonexistent/h.db"_s << 3
                                  << u"does not exist"_s;
    QTest::newRow("not a history file")
        << u"history 127.0.0.1 --history %1"_s << 3 << u"not an SQLite database"_s;
    QTest::newRow("bad from") << u"history 127.0.0.1 --from yesterday"_s << 2
                              << u"--from 'yesterday' is not a time"_s;
    QTest::newRow("bad to") << u"history 127.0.0.1 --to -3x"_s << 2 << u"--to '-3x' is not a time"_s;
    QTest::newRow("to before from") << u"history 127.0.0.1 --from now --to -1h"_s << 2
                                    << u"later than --from"_s;
    QTest::newRow("bad step") << u"history 127.0.0.1 --step 5m"_s << 2 << u"--step '5m'"_s;
    QTest::newRow("no unit") << u"history"_s << 2 << u"UNIT is missing"_s;
}

void TestCliHistory::exitCodes()
{
    QFETCH(QString, line);
    QFETCH(int, code);
    QFETCH(QString, message);
    const QString text = m_dir.filePath(u"notes.txt"_s);
    QFile f(text);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("not history");
    f.close();
    const Run r = run(line.contains(u"%1"_s) ? line.arg(text) : line);
    QCOMPARE(r.code, code);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
}

void TestCliHistory::times_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("offsetMs"); // from now; INT64_MIN: refused
    QTest::newRow("now") << u"now"_s << 0LL;
    QTest::newRow("-24h") << u"-24h"_s << -86'400'000LL;
    QTest::newRow("-7d") << u"-7d"_s << -7 * 86'400'000LL;
    QTest::newRow("-90m") << u"-90m"_s << -5'400'000LL;
    QTest::newRow("ISO UTC") << u"2026-01-01T11:00:00Z"_s << -3'600'000LL;
    QTest::newRow("ISO no zone is UTC") << u"2026-01-01T11:00:00"_s << -3'600'000LL;
    QTest::newRow("ISO with offset") << u"2026-01-01T13:00:00+02:00"_s << -3'600'000LL;
    // audit --since's forms, one parser for both commands
    QTest::newRow("200d, no sign") << u"200d"_s << -200 * 86'400'000LL;
    QTest::newRow("-1h30m") << u"-1h30m"_s << -5'400'000LL;
    QTest::newRow("plain seconds") << u"90"_s << -90'000LL;
    QTest::newRow("date is midnight UTC") << u"2026-01-01"_s << -12 * 3'600'000LL;
    QTest::newRow("units out of order") << u"30m1h"_s << std::numeric_limits<qint64>::min();
    QTest::newRow("+1h") << u"+1h"_s << std::numeric_limits<qint64>::min();
    QTest::newRow("-h") << u"-h"_s << std::numeric_limits<qint64>::min();
    QTest::newRow("empty") << QString() << std::numeric_limits<qint64>::min();
}

void TestCliHistory::times()
{
    QFETCH(QString, text);
    QFETCH(qint64, offsetMs);
    const auto parsed = kestavo::history::parseTimeText(text, kNow.toMSecsSinceEpoch());
    if (offsetMs == std::numeric_limits<qint64>::min())
        QVERIFY(!parsed);
    else
        QCOMPARE(parsed.value_or(-1) - kNow.toMSecsSinceEpoch(), offsetMs);
}

QTEST_GUILESS_MAIN(TestCliHistory)
#include "tst_clihistory.moc"
