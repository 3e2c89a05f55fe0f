// kestavo-cli's `schedule` and `sun` in-process, against a real station database and history file,
// with the clock the environment injects.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include "stations/stationstore.h"

#include "cli.h"

namespace cli = kestavo::cli;
using kestavo::stations::StationStore;
using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

} // namespace

class TestCliSchedule final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void addRefusesWhatCannotRun_data();
    void addRefusesWhatCannotRun();
    void nextShowsLocalAndUtcTimes();
    void sunPrintsTimesOrWords();

private:
    Run run(const QStringList& arguments);
    QString dbPath() const { return m_dir.filePath(u"stations.dat"_s); }

    QTemporaryDir m_dir;
    QDateTime m_now = QDateTime(QDate(2026, 3, 28), QTime(12, 0), Qt::UTC);
};

void TestCliSchedule::init()
{
    QFile::remove(dbPath());
    QFile::remove(m_dir.filePath(u"history.db"_s));
    StationStore store;
    QVERIFY(store.open(dbPath()).ok);
    QVERIFY(store.add(u"127.0.0.5"_s, u"pw"_s, u"Pumps"_s));
    QVERIFY(store.add(u"127.0.0.6"_s, u"pw"_s, u"Harbour lights"_s));
    QVERIFY(store.setSite(u"127.0.0.5"_s, {QString(), std::nullopt, std::nullopt, u"Europe/Berlin"_s}));
    QVERIFY(store.setSite(u"127.0.0.6"_s, {u"Tromsø"_s, 69.65, 18.96, u"Europe/Oslo"_s}));
    QVERIFY(store.addTags(u"127.0.0.6"_s, {u"north/lights"_s}));
}

Run TestCliSchedule::run(const QStringList& arguments)
{
    Run result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    cli::CliEnvironment environment;
    environment.now = [this] {
        return m_now;
    };
    result.code = cli::runCli(QStringList{u"--db"_s, dbPath()} + arguments, out, err, environment);
    return result;
}

void TestCliSchedule::addRefusesWhatCannotRun_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    const QStringList station{u"--station"_s, u"127.0.0.5"_s};
    QTest::newRow("sun time without a position")
        << station + QStringList{u"--relay"_s, u"1"_s, u"--on"_s, u"--sunset"_s}
        << u"127.0.0.5 has no latitude"_s;
    QTest::newRow("station not listed")
        << QStringList{u"--station"_s, u"127.0.0.9"_s, u"--relay"_s, u"1"_s, u"--on"_s, u"--at"_s, u"07:00"_s}
        << u"127.0.0.9 is not in the station database"_s;
    QTest::newRow("on and off") << station + QStringList{u"--relay"_s, u"1"_s,    u"--on"_s,
                                                         u"--off"_s,   u"--at"_s, u"07:00"_s}
                                << u"one of --on, --off or --pulse"_s;
    QTest::newRow("two times") << station + QStringList{u"--relay"_s, u"1"_s,     u"--on"_s,
                                                        u"--at"_s,    u"07:00"_s, u"--dawn"_s}
                               << u"say when, once"_s;
    QTest::newRow("offset no number")
        << QStringList{u"--tag"_s, u"north"_s, u"--script"_s, u"2"_s, u"--dusk=soon"_s}
        << u"--dusk 'soon': the minutes"_s;
    QTest::newRow("pulse too long") << station + QStringList{u"--relay"_s, u"1"_s,    u"--pulse"_s,
                                                             u"61"_s,      u"--at"_s, u"07:00"_s}
                                    << u"--pulse '61'"_s;
    QTest::newRow("until before from")
        << station + QStringList{u"--relay"_s, u"1"_s,          u"--on"_s,    u"--at"_s,      u"07:00"_s,
                                 u"--from"_s,  u"2026-05-02"_s, u"--until"_s, u"2026-05-01"_s}
        << u"until: 2026-05-01 is before"_s;
    QTest::newRow("bad weekday") << station + QStringList{u"--relay"_s,   u"1"_s,     u"--on"_s,
                                                          u"--at"_s,      u"07:00"_s, u"--days"_s,
                                                          u"mon,funday"_s}
                                 << u"'funday' is no weekday"_s;
}

void TestCliSchedule::addRefusesWhatCannotRun()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    const Run added = run(QStringList{u"schedule"_s, u"add"_s} + arguments);
    QCOMPARE(added.code, int(cli::ExitUsage));
    QVERIFY2(added.err.contains(error), qPrintable(added.err));
    QCOMPARE(run({u"schedule"_s, u"list"_s, u"--format"_s, u"json"_s}).out.trimmed(), u"[]"_s);
}

void TestCliSchedule::nextShowsLocalAndUtcTimes()
{
    const Run first = run({u"schedule"_s, u"add"_s, u"--station"_s, u"127.0.0.5"_s, u"--relay"_s, u"2"_s,
                           u"--off"_s, u"--at"_s, u"02:30"_s, u"--except"_s, u"2026-03-30"_s});
    QCOMPARE(first.code, int(cli::ExitDone));
    QCOMPARE(first.out, u"1\n"_s);
    QCOMPARE(run({u"schedule"_s, u"add"_s, u"--tag"_s, u"north"_s, u"--relay"_s, u"1"_s, u"--on"_s,
                  u"--sunset"_s, u"-15"_s})
                 .out,
             u"2\n"_s);
    const Run next = run({u"schedule"_s, u"next"_s, u"--days"_s, u"2"_s, u"--format"_s, u"json"_s});
    QCOMPARE(next.code, int(cli::ExitDone));
    QStringList got;
    for (const QJsonValue& v : QJsonDocument::fromJson(next.out.toUtf8()).array()) {
        const QJsonObject o = v.toObject();
        got << u"#%1 %2 %3 %4"_s.arg(o.value(u"id"_s).toInt())
                   .arg(o.value(u"station"_s).toString(), o.value(u"local"_s).toString().left(16),
                        o.value(u"utc"_s).toString());
    }
    // Sunset in Tromsø on 28 and 29 March is about 18:45 CET and 19:48 CEST; the 02:30 of the
    // spring-forward night runs at 03:00 (01:00 UTC), the excepted 30th not at all.
    QCOMPARE(got.size(), 3);
    QVERIFY2(got.at(0).startsWith(u"#2 127.0.0.6 2026-03-28T18:"_s), qPrintable(got.join(u'|')));
    QCOMPARE(got.at(1), u"#1 127.0.0.5 2026-03-29T03:00 2026-03-29T01:00:00Z"_s);
    QVERIFY2(got.at(2).startsWith(u"#2 127.0.0.6 2026-03-29T19:"_s), qPrintable(got.join(u'|')));
    const Run text = run({u"schedule"_s, u"next"_s, u"--days"_s, u"2"_s, u"--station"_s, u"127.0.0.5"_s});
    QVERIFY2(text.out.contains(u"02:30 does not exist on 2026-03-29 in Europe/Berlin"_s),
             qPrintable(text.out));

    QCOMPARE(run({u"schedule"_s, u"disable"_s, u"2"_s}).code, int(cli::ExitDone));
    QCOMPARE(run({u"schedule"_s, u"next"_s, u"--tag"_s, u"north"_s}).out,
             u"Nothing scheduled in the next 7 days.\n"_s);
    QCOMPARE(run({u"schedule"_s, u"remove"_s, u"1"_s}).code, int(cli::ExitDone));
    QCOMPARE(run({u"schedule"_s, u"remove"_s, u"1"_s}).code, int(cli::ExitUsage));
}

void TestCliSchedule::sunPrintsTimesOrWords()
{
    const Run midsummer = run({u"sun"_s, u"--lat"_s, u"69.65"_s, u"--lon"_s, u"18.96"_s, u"--date"_s,
                               u"2026-06-21"_s, u"--zone"_s, u"Europe/Oslo"_s});
    QCOMPARE(midsummer.code, int(cli::ExitDone));
    QCOMPARE(midsummer.out,
             u"dawn     white night\nsunrise  polar day\nsunset   polar day\ndusk     white night\n"_s);
    const Run refused =
        run({u"sun"_s, u"--lat"_s, u"95"_s, u"--lon"_s, u"0"_s, u"--date"_s, u"2026-06-21"_s});
    QCOMPARE(refused.code, int(cli::ExitUsage));
}

QTEST_GUILESS_MAIN(TestCliSchedule)
#include "tst_clischedule.moc"
