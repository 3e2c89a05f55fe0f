#include <array>

#include <QTemporaryDir>
#include <QTest>

#include "schedules/occurrences.h"
#include "schedules/scheduleexecutor.h"
#include "schedules/schedulestore.h"
#include "schedules/suntimes.h"

using namespace kestavo::schedules;
using namespace Qt::StringLiterals;

namespace {

QDateTime utc(const QString& iso)
{
    QDateTime t = QDateTime::fromString(iso, Qt::ISODate);
    t.setTimeSpec(Qt::UTC);
    return t;
}

QTimeZone zone(const QString& id)
{
    bool ok = false;
    const int hours = id.toInt(&ok);
    return ok ? QTimeZone(hours * 3600) : QTimeZone(id.toUtf8());
}

ScheduleEntry relayAt(int relay, Action action, int hour, int minute)
{
    ScheduleEntry e;
    e.id = 1;
    e.station = u"127.0.0.5"_s;
    e.relay = relay;
    e.action = action;
    e.pulseSeconds = action == Action::Pulse ? 5 : 0;
    e.minuteOfDay = hour * 60 + minute;
    return e;
}

} // namespace

class TestSchedules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sunTimesMatchPublishedTables_data();
    void sunTimesMatchPublishedTables();
    void localTimesAcrossClockChanges_data();
    void localTimesAcrossClockChanges();
    void oneRunPerDayAcrossClockChanges_data();
    void oneRunPerDayAcrossClockChanges();
    void calendarDays_data();
    void calendarDays();
    void polarDatesRunNothing();
    void missedActions_data();
    void missedActions();
    void entryProblemsNameTheField_data();
    void entryProblemsNameTheField();
    void storeKeepsEntries();
    void executorVerifiesRetriesAndGivesUp_data();
    void executorVerifiesRetriesAndGivesUp();
    void executorActsOnlyWhereItHoldsTheLease();
    void executorRecoversAndLogsSkipsOnce();
    void executorsClaimEachOccurrenceOnce();
    void executorRecoversEachStationFromItsOwnLastRun();
};

// Almanac tables (minutes, rounded): each time within one minute, or the words where there is none.
void TestSchedules::sunTimesMatchPublishedTables_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<QString>("zoneId");       // the table's own time: a fixed offset in hours, or a zone
    QTest::addColumn<QStringList>("expected"); // dawn, sunrise, sunset, dusk; "" not checked

    QTest::newRow("Washington, equinox 2002") << QDate(2002, 3, 20) << 38.895 << -77.0365 << u"-5"_s
                                              << QStringList{u"05:45"_s, u"06:12"_s, u"18:21"_s, u"18:47"_s};
    QTest::newRow("Cape May, equinox 2002") << QDate(2002, 3, 20) << 38.9 << -74.9 << u"-5"_s
                                            << QStringList{u"05:37"_s, u"06:04"_s, u"18:12"_s, u"18:39"_s};
    QTest::newRow("Tromso, April 2014") << QDate(2014, 4, 1) << 69.5 << 19.0 << u"1"_s
                                        << QStringList{u"03:46"_s, u"04:50"_s, u"18:49"_s, u"19:53"_s};
    QTest::newRow("Tromso, white night")
        << QDate(2014, 4, 30) << 69.5 << 19.0 << u"1"_s
        << QStringList{u"white night"_s, u"02:29"_s, u"20:58"_s, u"white night"_s};
    QTest::newRow("Tromso, midsummer")
        << QDate(2014, 6, 21) << 69.5 << 19.0 << u"Europe/Oslo"_s
        << QStringList{u"white night"_s, u"polar day"_s, u"polar day"_s, u"white night"_s};
    QTest::newRow("Tromso, midwinter")
        << QDate(2014, 12, 21) << 69.5 << 19.0 << u"Europe/Oslo"_s
        << QStringList{QString(), u"polar night"_s, u"polar night"_s, QString()};
}

void TestSchedules::sunTimesMatchPublishedTables()
{
    QFETCH(QDate, date);
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(QString, zoneId);
    QFETCH(QStringList, expected);
    const QTimeZone tz = zone(zoneId);
    const SunEvent events[] = {SunEvent::Dawn, SunEvent::Sunrise, SunEvent::Sunset, SunEvent::Dusk};
    for (int i = 0; i < 4; ++i) {
        if (expected.at(i).isEmpty())
            continue;
        const SunTime sun = sunTime(events[i], date, latitude, longitude, tz);
        const QTime published = QTime::fromString(expected.at(i), u"HH:mm"_s);
        if (!published.isValid()) {
            QVERIFY2(!sun.happens(), qPrintable(expected.at(i)));
            QCOMPARE(missingText(events[i], sun.missing), expected.at(i));
            continue;
        }
        QVERIFY2(sun.happens(), qPrintable(expected.at(i)));
        const QDateTime table(date, published, tz);
        const qint64 off = std::abs(sun.utc.secsTo(table));
        QVERIFY2(off <= 60, qPrintable(u"event %1: %2 against %3"_s.arg(i).arg(
                                sun.utc.toTimeZone(tz).time().toString(u"HH:mm:ss"_s), expected.at(i))));
    }
}

void TestSchedules::localTimesAcrossClockChanges_data()
{
    QTest::addColumn<QString>("zoneId");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("wall");
    QTest::addColumn<QString>("expectedUtc");
    QTest::addColumn<bool>("moved");
    QTest::addColumn<bool>("repeated");

    QTest::newRow("Berlin, ordinary") << u"Europe/Berlin"_s << QDate(2026, 3, 28) << QTime(2, 30)
                                      << u"2026-03-28T01:30:00"_s << false << false;
    QTest::newRow("Berlin, spring forward: 02:30 runs at 03:00")
        << u"Europe/Berlin"_s << QDate(2026, 3, 29) << QTime(2, 30) << u"2026-03-29T01:00:00"_s << true
        << false;
    QTest::newRow("Berlin, after the jump") << u"Europe/Berlin"_s << QDate(2026, 3, 29) << QTime(3, 0)
                                            << u"2026-03-29T01:00:00"_s << false << false;
    QTest::newRow("Berlin, fall back: the first 02:30")
        << u"Europe/Berlin"_s << QDate(2026, 10, 25) << QTime(2, 30) << u"2026-10-25T00:30:00"_s << false
        << true;
    QTest::newRow("New York, spring forward") << u"America/New_York"_s << QDate(2026, 3, 8) << QTime(2, 30)
                                              << u"2026-03-08T07:00:00"_s << true << false;
    QTest::newRow("New York, fall back: the first 01:30")
        << u"America/New_York"_s << QDate(2026, 11, 1) << QTime(1, 30) << u"2026-11-01T05:30:00"_s << false
        << true;
    QTest::newRow("Sydney, clocks forward in October")
        << u"Australia/Sydney"_s << QDate(2026, 10, 4) << QTime(2, 15) << u"2026-10-03T16:00:00"_s << true
        << false;
}

void TestSchedules::localTimesAcrossClockChanges()
{
    QFETCH(QString, zoneId);
    QFETCH(QDate, date);
    QFETCH(QTime, wall);
    QFETCH(QString, expectedUtc);
    QFETCH(bool, moved);
    QFETCH(bool, repeated);
    const LocalInstant at = resolveLocal(date, wall, zone(zoneId));
    QCOMPARE(at.utc, utc(expectedUtc));
    QCOMPARE(at.moved, moved);
    QCOMPARE(at.repeated, repeated);
}

void TestSchedules::oneRunPerDayAcrossClockChanges_data()
{
    QTest::addColumn<QString>("zoneId");
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("hour");
    QTest::addColumn<QStringList>("expected"); // UTC runs over three days; '*' marks a moved one

    QTest::newRow("Berlin spring") << u"Europe/Berlin"_s << u"2026-03-28T00:00:00"_s << 2
                                   << QStringList{u"2026-03-28T01:30:00Z"_s, u"*2026-03-29T01:00:00Z"_s,
                                                  u"2026-03-30T00:30:00Z"_s};
    QTest::newRow("Berlin autumn") << u"Europe/Berlin"_s << u"2026-10-24T00:00:00"_s << 2
                                   << QStringList{u"2026-10-24T00:30:00Z"_s, u"2026-10-25T00:30:00Z"_s,
                                                  u"2026-10-26T01:30:00Z"_s};
    QTest::newRow("New York autumn") << u"America/New_York"_s << u"2026-10-31T06:00:00"_s << 1
                                     << QStringList{u"2026-10-31T05:30:00Z"_s, u"2026-11-01T05:30:00Z"_s,
                                                    u"2026-11-02T06:30:00Z"_s};
}

void TestSchedules::oneRunPerDayAcrossClockChanges()
{
    QFETCH(QString, zoneId);
    QFETCH(QString, from);
    QFETCH(int, hour);
    QFETCH(QStringList, expected);
    const Site site{u"127.0.0.5"_s, zone(zoneId), std::nullopt, std::nullopt};
    const QDateTime start = utc(from).addSecs(-6 * 3600);
    QStringList runs;
    for (const Occurrence& o : occurrences(relayAt(1, Action::On, hour, 30), site, start, start.addDays(3)))
        runs << (o.note == Occurrence::Note::Moved ? u"*"_s : QString()) + o.utc.toString(Qt::ISODate);
    QCOMPARE(runs, expected);
}

void TestSchedules::calendarDays_data()
{
    QTest::addColumn<QString>("days");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("until");
    QTest::addColumn<QList<QDate>>("except");
    QTest::addColumn<QList<int>>("expected"); // days of December 2026 (1st is a Tuesday) it runs on

    const QList<QDate> none;
    QTest::newRow("every day, first week")
        << u"every day"_s << QDate() << QDate(2026, 12, 7) << none << QList<int>{1, 2, 3, 4, 5, 6, 7};
    QTest::newRow("weekdays") << u"mon,tue,wed,thu,fri"_s << QDate() << QDate(2026, 12, 10) << none
                              << QList<int>{1, 2, 3, 4, 7, 8, 9, 10};
    QTest::newRow("weekend only") << u"sat,sun"_s << QDate() << QDate(2026, 12, 14) << none
                                  << QList<int>{5, 6, 12, 13};
    QTest::newRow("between dates") << u"daily"_s << QDate(2026, 12, 3) << QDate(2026, 12, 5) << none
                                   << QList<int>{3, 4, 5};
    QTest::newRow("except two dates")
        << u"tue,thu"_s << QDate() << QDate(2026, 12, 10)
        << QList<QDate>{QDate(2026, 12, 3), QDate(2026, 12, 8)} << QList<int>{1, 10};
}

void TestSchedules::calendarDays()
{
    QFETCH(QString, days);
    QFETCH(QDate, from);
    QFETCH(QDate, until);
    QFETCH(QList<QDate>, except);
    QFETCH(QList<int>, expected);
    ScheduleEntry e = relayAt(2, Action::Off, 7, 30);
    e.weekdays = parseDays(days, nullptr).value_or(0);
    e.from = from;
    e.until = until;
    e.except = except;
    const Site site{u"127.0.0.5"_s, QTimeZone(u"Europe/Berlin"_s.toUtf8()), std::nullopt, std::nullopt};
    QList<int> got;
    for (const Occurrence& o :
         occurrences(e, site, utc(u"2026-11-30T23:00:00"_s), utc(u"2027-01-01T00:00:00"_s))) {
        QCOMPARE(o.utc.toTimeZone(site.zone).time(), QTime(7, 30));
        got << o.localDate.day();
    }
    QCOMPARE(got, expected);
}

void TestSchedules::polarDatesRunNothing()
{
    ScheduleEntry e = relayAt(3, Action::On, 0, 0);
    e.anchor = Anchor::Sunset;
    e.offsetMinutes = -15;
    const Site tromso{u"127.0.0.5"_s, QTimeZone("Europe/Oslo"), 69.65, 18.96};
    // Mid June: no sunset; each date yields one skipped occurrence that says why.
    const QList<Occurrence> june =
        occurrences(e, tromso, utc(u"2026-06-20T00:00:00"_s), utc(u"2026-06-23T00:00:00"_s));
    QCOMPARE(june.size(), 3);
    for (const Occurrence& o : june) {
        QCOMPARE(o.note, Occurrence::Note::NoSun);
        QVERIFY(!o.runs());
        QVERIFY2(o.detail.contains(u"polar day"_s), qPrintable(o.detail));
    }
    // In March the same entry runs 15 minutes before sunset, and a station without a position never.
    const QList<Occurrence> march =
        occurrences(e, tromso, utc(u"2026-03-10T00:00:00"_s), utc(u"2026-03-11T00:00:00"_s));
    QCOMPARE(march.size(), 1);
    const SunTime sunset = sunTime(SunEvent::Sunset, QDate(2026, 3, 10), 69.65, 18.96, tromso.zone);
    QCOMPARE(march.first().utc, sunset.utc.addSecs(-15 * 60));
    const Site nowhere{u"127.0.0.6"_s, tromso.zone, std::nullopt, std::nullopt};
    const QList<Occurrence> blind =
        occurrences(e, nowhere, utc(u"2026-03-10T00:00:00"_s), utc(u"2026-03-11T00:00:00"_s));
    QCOMPARE(blind.size(), 1);
    QCOMPARE(blind.first().note, Occurrence::Note::NoPosition);
}

void TestSchedules::missedActions_data()
{
    QTest::addColumn<QString>("lastRun"); // empty: unknown
    QTest::addColumn<QString>("now");
    QTest::addColumn<QStringList>("applied"); // "relay action" per station and relay
    QTest::addColumn<int>("notReplayed");

    // Entries (Berlin, winter: UTC+1): relay 1 on 06:00, relay 1 off 22:00, relay 2 on 07:00,
    // relay 2 pulse 08:00, script 1 at 09:00.
    QTest::newRow("down overnight: the 22:00 off holds")
        << u"2026-12-01T20:00:00"_s << u"2026-12-02T04:00:00"_s << QStringList{u"1 off"_s} << 0;
    QTest::newRow("down all morning: latest per relay, no pulse or script")
        << u"2026-12-02T04:00:00"_s << u"2026-12-02T09:30:00"_s << QStringList{u"1 on"_s, u"2 on"_s} << 2;
    QTest::newRow("unknown last run: twelve hours back")
        << QString() << u"2026-12-02T10:00:00"_s << QStringList{u"1 on"_s, u"2 on"_s} << 2;
    QTest::newRow("down two days: only the last twelve hours")
        << u"2026-11-30T00:00:00"_s << u"2026-12-02T04:00:00"_s << QStringList{u"1 off"_s} << 0;
    QTest::newRow("nothing missed") << u"2026-12-02T09:00:00"_s << u"2026-12-02T09:30:00"_s << QStringList{}
                                    << 0;
}

void TestSchedules::missedActions()
{
    QFETCH(QString, lastRun);
    QFETCH(QString, now);
    QFETCH(QStringList, applied);
    QFETCH(int, notReplayed);
    QList<ScheduleEntry> entries = {relayAt(1, Action::On, 6, 0), relayAt(1, Action::Off, 22, 0),
                                    relayAt(2, Action::On, 7, 0), relayAt(2, Action::Pulse, 8, 0),
                                    relayAt(0, Action::Script, 9, 0)};
    entries.last().scriptSlot = 1;
    for (qsizetype i = 0; i < entries.size(); ++i)
        entries[i].id = i + 1;
    const SiteResolver sites = [](const ScheduleEntry& e) {
        return QList<Site>{{e.station, QTimeZone("Europe/Berlin"), std::nullopt, std::nullopt}};
    };
    const Recovery r = kestavo::schedules::missedActions(
        entries, sites, lastRun.isEmpty() ? QDateTime() : utc(lastRun), utc(now));
    QStringList got;
    for (const Occurrence& o : r.apply)
        got << u"%1 %2"_s.arg(o.entry.relay).arg(actionWord(o.entry.action));
    got.sort();
    QCOMPARE(got, applied);
    QCOMPARE(r.notReplayed.size(), notReplayed);
}

void TestSchedules::entryProblemsNameTheField_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<QString>("field");
    QTest::newRow("fine") << 0 << QString();
    QTest::newRow("station and tag") << 1 << u"station:"_s;
    QTest::newRow("bad address") << 2 << u"station:"_s;
    QTest::newRow("relay 4") << 3 << u"relay:"_s;
    QTest::newRow("pulse too long") << 4 << u"pulse:"_s;
    QTest::newRow("script slot 9") << 5 << u"script:"_s;
    QTest::newRow("no weekday") << 6 << u"days:"_s;
    QTest::newRow("until before from") << 7 << u"until:"_s;
    QTest::newRow("bad tag") << 8 << u"tag:"_s;
}

void TestSchedules::entryProblemsNameTheField()
{
    QFETCH(int, change);
    QFETCH(QString, field);
    ScheduleEntry e = relayAt(1, Action::Pulse, 7, 0);
    switch (change) {
    case 1:
        e.tag = u"north"_s;
        break;
    case 2:
        e.station = u"10.0.0.01"_s;
        break;
    case 3:
        e.relay = 4;
        break;
    case 4:
        e.pulseSeconds = 61;
        break;
    case 5:
        e.action = Action::Script;
        e.scriptSlot = 9;
        break;
    case 6:
        e.weekdays = 0;
        break;
    case 7:
        e.from = QDate(2026, 5, 2);
        e.until = QDate(2026, 5, 1);
        break;
    case 8:
        e.station.clear();
        e.tag = u"north//pumps"_s;
        break;
    default:
        break;
    }
    if (field.isEmpty())
        QCOMPARE(e.problem(), QString());
    else
        QVERIFY2(e.problem().startsWith(field), qPrintable(e.problem()));
}

void TestSchedules::storeKeepsEntries()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"history.db"_s);
    ScheduleEntry e = relayAt(2, Action::On, 0, 0);
    e.station.clear();
    e.tag = u"north/pumps"_s;
    e.anchor = Anchor::Dusk;
    e.offsetMinutes = -20;
    e.weekdays = 0x1f;
    e.from = QDate(2026, 12, 1);
    e.except = {QDate(2026, 12, 24), QDate(2026, 12, 31)};
    qint64 id = 0;
    {
        ScheduleStore store;
        QVERIFY2(store.open(path), qPrintable(store.error()));
        id = store.add(e, 1000);
        QVERIFY(id > 0);
        QVERIFY(store.setEnabled(id, false));
        QVERIFY(!store.remove(id + 1));
    }
    ScheduleStore again; // another program reads what the first wrote
    QVERIFY(again.open(path));
    e.id = id;
    e.enabled = false;
    QCOMPARE(again.entries(), QList<ScheduleEntry>{e});
    QVERIFY(again.remove(id));
    QVERIFY(again.entries().isEmpty());
}

namespace {

// An executor on a clock of its own, recording what it sends, logs and gives up.
struct ExecutorRig
{
    QDateTime now = utc(u"2026-12-02T05:59:00"_s); // 06:59 in Berlin
    QStringList lease = {u"127.0.0.5"_s};
    QStringList sent;     // "address entry attempt"
    QStringList outcomes; // "entry outcome"
    QStringList failures;
    QStringList settled; // "entry outcome"
    ScheduleExecutor executor;

    explicit ExecutorRig(const QList<ScheduleEntry>& entries, QStringList held = {u"127.0.0.5"_s},
                         std::function<bool(const LogRecord&)> claim = {})
        : lease(std::move(held)),
          executor(
              ScheduleExecutor::Hooks{
                  [this] { return now; }, [this](const QString& a) { return lease.contains(a); },
                  [this](const Occurrence& o, int attempt) {
                      sent << u"%1 #%2 %3"_s.arg(o.address).arg(o.entryId).arg(attempt);
                  },
                  [this](const LogRecord& r) { outcomes << u"#%1 %2"_s.arg(r.schedule).arg(r.outcome); },
                  [this](const Occurrence&, const QString& why) { failures << why; }, std::move(claim),
                  [this](const Occurrence& o, const LogRecord& r) {
                      settled << u"#%1 %2"_s.arg(o.entryId).arg(r.outcome);
                  }},
              [](const ScheduleEntry& e) {
                  const QString station = e.station.isEmpty() ? u"127.0.0.5"_s : e.station;
                  return QList<Site>{{station, QTimeZone("Europe/Berlin"), 69.65, 18.96}};
              },
              ScheduleExecutor::Timing{20'000, 3})
    {
        executor.setEntries(entries);
    }
    void advance(qint64 ms)
    {
        now = now.addMSecs(ms);
        executor.tick();
    }
};

} // namespace

void TestSchedules::executorVerifiesRetriesAndGivesUp_data()
{
    QTest::addColumn<int>("answer");      // 0 silent, 1 answers with the relay still off, 2 answers on
    QTest::addColumn<int>("answerAfter"); // the attempt after which the unit answers
    QTest::addColumn<int>("sends");
    QTest::addColumn<bool>("failed");
    QTest::newRow("confirmed at once") << 2 << 1 << 1 << false;
    QTest::newRow("confirmed after a retry") << 2 << 2 << 2 << false;
    QTest::newRow("silent unit") << 0 << 1 << 3 << true;
    QTest::newRow("relay never switches") << 1 << 1 << 3 << true;
}

void TestSchedules::executorVerifiesRetriesAndGivesUp()
{
    QFETCH(int, answer);
    QFETCH(int, answerAfter);
    QFETCH(int, sends);
    QFETCH(bool, failed);
    ExecutorRig rig({relayAt(1, Action::On, 7, 0)});
    rig.executor.start(rig.now);
    rig.advance(60'000); // 07:00 is due
    for (int attempt = 1; attempt <= 3; ++attempt) {
        if (answer != 0 && attempt >= answerAfter)
            rig.executor.report(u"127.0.0.5"_s, {answer == 2, false, false}, rig.now.addMSecs(500));
        rig.advance(20'000);
    }
    rig.advance(20'000);
    QCOMPARE(rig.sent.size(), sends);
    QCOMPARE(rig.failures.size(), failed ? 1 : 0);
    QCOMPARE(rig.outcomes.last(), failed ? u"#1 failed"_s : u"#1 verified"_s);
    QCOMPARE(rig.executor.pending(), 0);
}

void TestSchedules::executorActsOnlyWhereItHoldsTheLease()
{
    ScheduleEntry here = relayAt(1, Action::Off, 7, 0);
    ScheduleEntry there = here;
    there.id = 2;
    there.station = u"127.0.0.6"_s;
    // Two programs with the same timetable, each holding one station's lease.
    ExecutorRig first({here, there}, {u"127.0.0.5"_s});
    ExecutorRig second({here, there}, {u"127.0.0.6"_s});
    for (ExecutorRig* rig : {&first, &second}) {
        rig->executor.start(rig->now);
        rig->advance(60'000);
        rig->advance(1000); // a second tick sends nothing again
    }
    QCOMPARE(first.sent, QStringList{u"127.0.0.5 #1 1"_s});
    QCOMPARE(second.sent, QStringList{u"127.0.0.6 #2 1"_s});
}

void TestSchedules::executorRecoversAndLogsSkipsOnce()
{
    ScheduleEntry dusk = relayAt(2, Action::On, 0, 0);
    dusk.id = 3;
    dusk.anchor = Anchor::Dusk;
    ExecutorRig rig({relayAt(1, Action::On, 6, 0), relayAt(1, Action::Pulse, 6, 30), dusk});
    rig.executor.setEntries({[] {
                                 auto e = relayAt(1, Action::On, 6, 0);
                                 e.id = 1;
                                 return e;
                             }(),
                             [] {
                                 auto e = relayAt(1, Action::Pulse, 6, 30);
                                 e.id = 2;
                                 return e;
                             }(),
                             dusk});
    // Down since 05:00 Berlin: the 06:00 on is applied once, the 06:30 pulse only logged.
    rig.executor.start(utc(u"2026-12-02T04:00:00"_s));
    QCOMPARE(rig.sent, QStringList{u"127.0.0.5 #1 1"_s});
    QCOMPARE(rig.outcomes, (QStringList{u"#2 not replayed"_s, u"#1 recovered"_s}));
    rig.executor.report(u"127.0.0.5"_s, {true, false, false}, rig.now);
    // Mid June in Tromsø there is no dusk: a week of ticks logs each date's skip once.
    rig.outcomes.clear();
    rig.now = utc(u"2026-06-10T00:00:00"_s);
    rig.executor.start(rig.now);
    rig.outcomes.clear();
    rig.sent.clear();
    for (int hour = 0; hour < 7 * 24; ++hour) {
        rig.advance(3'600'000);
        rig.executor.report(u"127.0.0.5"_s, {true, false, false}, rig.now);
    }
    QCOMPARE(rig.outcomes.count(u"#3 skipped"_s), 7);
    QCOMPARE(rig.sent.count(), 7 * 2); // the daily on and pulse still run
}

// A lease changing hands at a due time: for a moment both programs believe they hold it. The claim
// in the shared schedule log lets one of them act; the one that did accounts for its unverified
// action when it stops.
void TestSchedules::executorsClaimEachOccurrenceOnce()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"history.db"_s);
    std::array<ScheduleStore, 2> stores;
    for (ScheduleStore& store : stores)
        QVERIFY2(store.open(path), qPrintable(store.error()));
    std::array<ScheduleStore::Claim, 2> claims{};
    ExecutorRig first({relayAt(1, Action::On, 7, 0)}, {u"127.0.0.5"_s}, [&](const LogRecord& r) {
        claims[0] = stores[0].claim(r);
        return claims[0] == ScheduleStore::Claim::Ours;
    });
    ExecutorRig second({relayAt(1, Action::On, 7, 0)}, {u"127.0.0.5"_s}, [&](const LogRecord& r) {
        claims[1] = stores[1].claim(r);
        return claims[1] == ScheduleStore::Claim::Ours;
    });
    for (ExecutorRig* rig : {&first, &second}) {
        rig->executor.start(rig->now);
        rig->advance(60'000);
    }
    QCOMPARE(first.sent, QStringList{u"127.0.0.5 #1 1"_s});
    QVERIFY(second.sent.isEmpty());
    QCOMPARE(claims[1], ScheduleStore::Claim::Taken);
    QCOMPARE(second.executor.pending(), 0);

    QCOMPARE(first.executor.abandonPending(u"the agent stopped"_s), 1);
    QCOMPARE(first.executor.pending(), 0);
    QCOMPARE(first.settled, QStringList{u"#1 not verified"_s});
    QCOMPARE(first.outcomes.last(), u"#1 not verified"_s);
    QStringList logged;
    for (const LogRecord& r : stores[0].logSince(0))
        logged << r.outcome;
    QCOMPARE(logged, QStringList{u"sent"_s}); // the rig's own log hook keeps the rest
}

// Another program ran the first station's 06:00 while nobody ran the second's: only the second is
// applied late.
void TestSchedules::executorRecoversEachStationFromItsOwnLastRun()
{
    ScheduleEntry here = relayAt(1, Action::On, 6, 0);
    ScheduleEntry there = here;
    there.id = 2;
    there.station = u"127.0.0.6"_s;
    ExecutorRig rig({here, there}, {u"127.0.0.5"_s, u"127.0.0.6"_s});
    rig.executor.start([](const QString& address) {
        return address == u"127.0.0.5" ? utc(u"2026-12-02T05:00:02"_s) : QDateTime();
    });
    QCOMPARE(rig.sent, QStringList{u"127.0.0.6 #2 1"_s});
    QCOMPARE(rig.outcomes, QStringList{u"#2 recovered"_s});
}

QTEST_GUILESS_MAIN(TestSchedules)
#include "tst_schedules.moc"
