// kestavo-cli's fleet-wide commands in-process: `stations import/export` against a real station
// database, `fleet` against a simulated fleet on loopback addresses of its own.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include "stations/stationstore.h"

#include "cli.h"
#include "fleetrig.h"
#include "history/historyreader.h"

namespace cli = kestavo::cli;
using namespace Qt::StringLiterals;
using kestavo::stations::StationStore;
using kestavo::testsupport::SimFleetRig;

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

} // namespace

class TestCliFleet final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void importWithABadRowWritesNothing_data();
    void importWithABadRowWritesNothing();
    void importAddsAndUpdatesAndExportHasNoPassword();
    void fleetReportsEveryStation();
    void fleetWatchPrintsEveryRound();
    void leadingZerosNeverReachAnotherUnit();
    void tagsRoundTripAndPickStations();
    void stationSiteIsChecked_data();
    void stationSiteIsChecked();

private:
    Run run(const QStringList& arguments);
    QString writeFile(const QByteArray& content);
    QString dbPath() const { return m_dir.filePath(QStringLiteral("stations.dat")); }
    QStringList rows();

    QTemporaryDir m_dir;
};

void TestCliFleet::init()
{
    QFile::remove(dbPath());
    StationStore store;
    QVERIFY(store.open(dbPath()).ok);
    QVERIFY(store.add(QStringLiteral("10.0.0.1"), QStringLiteral("Old1pw"), QStringLiteral("Pump north")));
    QVERIFY(store.add(QStringLiteral("10.0.0.2"), QStringLiteral("Old2pw"), QStringLiteral("Pump south")));
}

Run TestCliFleet::run(const QStringList& arguments)
{
    Run result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    cli::CliEnvironment environment;
    result.code =
        cli::runCli(QStringList{QStringLiteral("--db"), dbPath()} + arguments, out, err, environment);
    return result;
}

QString TestCliFleet::writeFile(const QByteArray& content)
{
    const QString path = m_dir.filePath(QStringLiteral("import.csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    file.write(content);
    return path;
}

// Every record as "entry|password".
QStringList TestCliFleet::rows()
{
    StationStore store;
    if (!store.open(dbPath()).ok)
        return {QStringLiteral("<cannot open>")};
    QStringList list;
    for (int i = 0; i < store.count(); ++i)
        list << store.entryAt(i) + u'|' + store.valueAt(i, QStringLiteral("password")).toString();
    return list;
}

void TestCliFleet::importWithABadRowWritesNothing_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("problem"); // what err must say, with the line number
    const QByteArray good = "address,password,description\n10.0.0.9,Newpw,Tank\n";
    QTest::newRow("address no number") << good + "10.0.0.x,pw,Tank\n"
                                       << QStringLiteral(":3: address '10.0.0.x'");
    QTest::newRow("address three parts") << good + "10.0.3,pw,Tank\n"
                                         << QStringLiteral(":3: address '10.0.3'");
    QTest::newRow("password too long") << good + "10.0.0.3,abcdefghijk,Tank\n"
                                       << QStringLiteral(":3: password is longer than 10");
    QTest::newRow("password with a star") << good + "10.0.0.3,ab*c,Tank\n"
                                          << QStringLiteral(":3: password may not");
    QTest::newRow("new station without password") << good + "10.0.0.3,,Tank\n"
                                                  << QStringLiteral(":3: password: Add a Password!");
    QTest::newRow("no description") << good + "10.0.0.3,pw,\n" << QStringLiteral(":3: description: Enter");
    QTest::newRow("two fields") << good + "\n10.0.0.3,pw\n" << QStringLiteral(":4: expected 3 or 4 fields");
    QTest::newRow("quote never closed") << good + "10.0.0.3,pw,\"Tank\n"
                                        << QStringLiteral("line 3: a quoted");
    QTest::newRow("address twice") << good + "10.0.0.4,pw,Tank\n10.0.0.4,pw,Well\n"
                                   << QStringLiteral(
                                          ":4: address 10.0.0.4 is listed again (first on line 3)");
    QTest::newRow("any address") << good + "0.0.0.0,pw,Tank\n"
                                 << QStringLiteral(":3: address 0.0.0.0 is no unit");
    QTest::newRow("broadcast") << good + "255.255.255.255,pw,Tank\n"
                               << QStringLiteral(":3: address 255.255.255.255 is no unit");
    QTest::newRow("line feed in a description")
        << good + "10.0.0.3,pw,\"Ta\nnk\"\n"
        << QStringLiteral(":3: description holds a control character");
    QTest::newRow("saved as Latin-1") << good + "10.0.0.3,pw,Z\xfcrich\n"
                                      << QStringLiteral("line 3, column 14: this is not UTF-8 text");
    QTest::newRow("huge address, quoted short")
        << good + QByteArray(1 << 20, '1') + ",pw,Tank\n"
        << QStringLiteral(":3: address '%1…' is longer than 15").arg(QString(80, u'1'));
    QTest::newRow("bad tag") << good + "10.0.0.3,pw,Tank,north;so uth\n"
                             << QStringLiteral(":3: tags: tag 'so uth'");
    // A fleet's file: every row but the last is fine, and still nothing of it is written.
    QByteArray fleet = good;
    for (int i = 0; i < 20000; ++i)
        fleet +=
            QStringLiteral("10.1.%1.%2,pw%3,Unit %3,north\n").arg(i / 250).arg(i % 250 + 1).arg(i).toUtf8();
    QTest::newRow("fleet, bad last row") << fleet + "10.2.0.256,pw,Tank\n"
                                         << QStringLiteral(":20003: address '10.2.0.256'");
    QTest::newRow("fleet, address again far below")
        << fleet + "10.1.0.1,pw,Again\n"
        << QStringLiteral(":20003: address 10.1.0.1 is listed again (first on line 3)");
    QTest::newRow("bad row first, good after")
        << QByteArray("10.0.0,pw,Tank\n10.0.0.4,pw,Well\n") << QStringLiteral(":1: address");
}

void TestCliFleet::importWithABadRowWritesNothing()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, problem);
    const QStringList before = rows();
    const QString file = writeFile(csv);
    const Run result = run({QStringLiteral("stations"), QStringLiteral("import"), file});
    QCOMPARE(result.code, int(cli::ExitUsage));
    QVERIFY2(result.err.contains(problem), qPrintable(result.err));
    QVERIFY2(result.err.contains(QStringLiteral("nothing was written")), qPrintable(result.err));
    QCOMPARE(rows(), before);
}

void TestCliFleet::importAddsAndUpdatesAndExportHasNoPassword()
{
    // No header; a quoted description with a comma; 10.0.0.2 keeps its password, 10.0.0.1 gets a new one.
    const QString file = writeFile("10.0.0.1,New1pw,Pump north (new)\r\n"
                                   "10.0.0.2,,\"Pump south, east side\"\r\n"
                                   "10.0.0.3,Tank3pw,Tank\r\n");
    const Run imported = run({QStringLiteral("stations"), QStringLiteral("import"), file});
    QCOMPARE(imported.code, int(cli::ExitDone));
    QCOMPARE(rows(), QStringList({QStringLiteral("10.0.0.1          Pump north (new)|New1pw****"),
                                  QStringLiteral("10.0.0.2          Pump south, east side|Old2pw****"),
                                  QStringLiteral("10.0.0.3          Tank|Tank3pw***")}));

    const Run exported = run({QStringLiteral("stations"), QStringLiteral("export")});
    QCOMPARE(exported.code, int(cli::ExitDone));
    QCOMPARE(exported.out, QStringLiteral("address,password,description,tags\r\n"
                                          "10.0.0.1,,Pump north (new),\r\n"
                                          "10.0.0.2,,\"Pump south, east side\",\r\n"
                                          "10.0.0.3,,Tank,\r\n"));
    // The export goes back in unchanged: every station keeps its password.
    const QStringList before = rows();
    const Run again =
        run({QStringLiteral("stations"), QStringLiteral("import"), writeFile(exported.out.toUtf8())});
    QCOMPARE(again.code, int(cli::ExitDone));
    QCOMPARE(rows(), before);

    // A description a spreadsheet would run goes out as text and comes back as typed.
    const QString formula = QStringLiteral("=cmd|' /C calc'!A0");
    QCOMPARE(run({QStringLiteral("stations"), QStringLiteral("add"), QStringLiteral("10.0.0.9"),
                  QStringLiteral("Nine9pw"), formula})
                 .code,
             int(cli::ExitDone));
    const Run hostile = run({QStringLiteral("stations"), QStringLiteral("export")});
    QVERIFY2(hostile.out.endsWith(QStringLiteral("10.0.0.9,,'=cmd|' /C calc'!A0,\r\n")),
             qPrintable(hostile.out));
    const QStringList withFormula = rows();
    QVERIFY(withFormula.last().contains(formula));
    QCOMPARE(
        run({QStringLiteral("stations"), QStringLiteral("import"), writeFile(hostile.out.toUtf8())}).code,
        int(cli::ExitDone));
    QCOMPARE(rows(), withFormula);
}

void TestCliFleet::fleetReportsEveryStation()
{
    SimFleetRig sim(2, "Fl33t");
    QVERIFY(sim.started);
    QFile::remove(dbPath());
    {
        StationStore store;
        QVERIFY(store.open(dbPath()).ok);
        QVERIFY(
            store.add(sim.fleet->address(0).toString(), QStringLiteral("Fl33t"), QStringLiteral("North")));
        QVERIFY(
            store.add(sim.fleet->address(1).toString(), QStringLiteral("Wrong"), QStringLiteral("South")));
        QVERIFY(store.add(QStringLiteral("10.0.0"), QStringLiteral("Fl33t"), QStringLiteral("Typo")));
    }
    const QString port = QString::number(sim.fleet->port());
    const QString historyFile = m_dir.filePath(QStringLiteral("history.db"));
    const Run result =
        run({QStringLiteral("--port"), port, QStringLiteral("fleet"), QStringLiteral("--format"),
             QStringLiteral("json"), QStringLiteral("--history"), historyFile});
    QCOMPARE(result.code, int(cli::ExitRefused));
    const QJsonArray list = QJsonDocument::fromJson(result.out.toUtf8()).array();
    QCOMPARE(list.size(), 3);
    const QJsonObject north = list.at(0).toObject();
    QCOMPARE(north.value(QStringLiteral("state")).toString(), QStringLiteral("online"));
    QCOMPARE(north.value(QStringLiteral("age_s")).toDouble(-1), 0.0);
    QVERIFY(north.value(QStringLiteral("rtt_ms")).isDouble());
    QCOMPARE(north.value(QStringLiteral("temperature_c")).toDouble(), 23.0);
    QCOMPARE(north.value(QStringLiteral("voltages")).toArray().size(), 8);
    QCOMPARE(north.value(QStringLiteral("relays")).toArray().at(0).toString(), QStringLiteral("OFF"));
    QCOMPARE(list.at(1).toObject().value(QStringLiteral("state")).toString(), QStringLiteral("bad-password"));
    QVERIFY(list.at(1).toObject().value(QStringLiteral("age_s")).isNull());
    QCOMPARE(list.at(2).toObject().value(QStringLiteral("state")).toString(), QStringLiteral("invalid"));
    QVERIFY(
        list.at(2).toObject().value(QStringLiteral("reason")).toString().contains(QStringLiteral("10.0.0")));
    QVERIFY(!result.out.contains(QStringLiteral("Fl33t")));
    kestavo::history::HistoryReader reader;
    QVERIFY(reader.open(historyFile));
    const auto series = reader.read(sim.fleet->address(0).toString(), 0, std::numeric_limits<qint64>::max(),
                                    kestavo::history::Step::Raw);
    QCOMPARE(series.rows.size(), 1);

    // Only the unit that answers: all online.
    {
        StationStore store;
        QVERIFY(store.open(dbPath()).ok);
        QVERIFY(store.removeAt(2));
        QVERIFY(store.removeAt(1));
    }
    const Run online = run({QStringLiteral("--port"), port, QStringLiteral("fleet")});
    QCOMPARE(online.code, int(cli::ExitDone));
    QVERIFY2(online.out.startsWith(sim.fleet->address(0).toString()), qPrintable(online.out));
    QVERIFY(online.out.contains(QStringLiteral("online")));
}

void TestCliFleet::fleetWatchPrintsEveryRound()
{
    SimFleetRig sim(2, "Fl33t");
    QVERIFY(sim.started);
    QFile::remove(dbPath());
    {
        StationStore store;
        QVERIFY(store.open(dbPath()).ok);
        QVERIFY(
            store.add(sim.fleet->address(0).toString(), QStringLiteral("Fl33t"), QStringLiteral("North")));
        QVERIFY(
            store.add(sim.fleet->address(1).toString(), QStringLiteral("Fl33t"), QStringLiteral("South")));
    }
    const Run csv = run({QStringLiteral("--port"), QString::number(sim.fleet->port()),
                         QStringLiteral("fleet"), QStringLiteral("--watch"), QStringLiteral("--count"),
                         QStringLiteral("3"), QStringLiteral("--interval"), QStringLiteral("100"),
                         QStringLiteral("--format"), QStringLiteral("csv")});
    QCOMPARE(csv.code, int(cli::ExitDone));
    const QStringList lines = csv.out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1 + 3 * 2);
    QVERIFY(lines.first().startsWith(QStringLiteral("address,description,state,age_s,rtt_ms,relay1")));
    QCOMPARE(sim.fleet->counters().datagramsReceived, 6u);
}

void TestCliFleet::leadingZerosNeverReachAnotherUnit()
{
    // Units at 127.0.82.8, .9 and .10 on one port. An octal reader takes "127.0.82.010" for .8.
    std::vector<kestavo::sim::SimulatedUnit::Config> configs(3);
    for (auto& config : configs) {
        config.bindAddress = QHostAddress(QStringLiteral("127.0.82.8"));
        config.port = 0;
        config.unit.password = "Fl33t";
    }
    kestavo::sim::SimulatedFleet units(configs);
    QVERIFY2(units.start(), qPrintable(units.errorString()));
    QCOMPARE(units.address(2), QHostAddress(QStringLiteral("127.0.82.10")));

    const Run imported = run({QStringLiteral("stations"), QStringLiteral("import"),
                              writeFile("127.0.82.9,Fl33t,Nine\n127.0.82.010,Fl33t,Ten\n")});
    QCOMPARE(imported.code, int(cli::ExitUsage));
    QVERIFY2(
        imported.err.contains(QStringLiteral(":2: address '127.0.82.010' is no IPv4 address (octet 4 has a "
                                             "leading zero")),
        qPrintable(imported.err));
    QCOMPARE(run({QStringLiteral("stations"), QStringLiteral("add"), QStringLiteral("127.0.82.010"),
                  QStringLiteral("Fl33t"), QStringLiteral("Ten")})
                 .code,
             int(cli::ExitUsage));

    // A station file written before still loads; the entry is shown invalid and never polled.
    QFile::remove(dbPath());
    {
        StationStore store;
        QVERIFY(store.open(dbPath()).ok);
        QVERIFY(store.add(QStringLiteral("127.0.82.010"), QStringLiteral("Fl33t"), QStringLiteral("Ten")));
        QVERIFY(store.add(QStringLiteral("127.0.82.9"), QStringLiteral("Fl33t"), QStringLiteral("Nine")));
    }
    const Run polled = run({QStringLiteral("--port"), QString::number(units.port()),
                            QStringLiteral("--timeout"), QStringLiteral("500"), QStringLiteral("fleet"),
                            QStringLiteral("--format"), QStringLiteral("json")});
    QCOMPARE(polled.code, int(cli::ExitRefused));
    const QJsonArray list = QJsonDocument::fromJson(polled.out.toUtf8()).array();
    QCOMPARE(list.size(), 2);
    QCOMPARE(list.at(0).toObject().value(QStringLiteral("state")).toString(), QStringLiteral("invalid"));
    QCOMPARE(list.at(1).toObject().value(QStringLiteral("state")).toString(), QStringLiteral("online"));
    QVERIFY(units.model(0).frames().empty()); // .8 received nothing
    QVERIFY(units.model(2).frames().empty());
    QCOMPARE(units.counters().datagramsReceived, 1u);
}

void TestCliFleet::tagsRoundTripAndPickStations()
{
    SimFleetRig sim(2, "Fl33t");
    QVERIFY(sim.started);
    const QString north = sim.fleet->address(0).toString();
    const QString south = sim.fleet->address(1).toString();
    const QByteArray csv = "address,password,description,tags\n" + north.toLatin1() +
                           ",Fl33t,North,north/pumps; night\n" + south.toLatin1() + ",Fl33t,South,\n";
    QCOMPARE(run({QStringLiteral("stations"), QStringLiteral("import"), writeFile(csv)}).code,
             int(cli::ExitDone));
    const Run exported = run({QStringLiteral("stations"), QStringLiteral("export")});
    QVERIFY2(exported.out.contains(north + QStringLiteral(",,North,north/pumps;night\r\n")),
             qPrintable(exported.out));
    QVERIFY2(exported.out.contains(south + QStringLiteral(",,South,\r\n")), qPrintable(exported.out));
    // The export read back changes nothing.
    QCOMPARE(
        run({QStringLiteral("stations"), QStringLiteral("import"), writeFile(exported.out.toUtf8())}).code,
        int(cli::ExitDone));
    QCOMPARE(run({QStringLiteral("stations"), QStringLiteral("export")}).out, exported.out);

    QCOMPARE(run({QStringLiteral("stations"), QStringLiteral("untag"), north, QStringLiteral("night")}).code,
             int(cli::ExitDone));
    QCOMPARE(run({QStringLiteral("stations"), QStringLiteral("tag"), south, QStringLiteral("south")}).code,
             int(cli::ExitDone));
    const Run listed = run({QStringLiteral("stations"), QStringLiteral("--tag"), QStringLiteral("north")});
    QVERIFY2(listed.out.contains(north) && !listed.out.contains(south), qPrintable(listed.out));
    QVERIFY(listed.out.contains(QStringLiteral("[north/pumps]")));

    // Only the tagged unit is asked.
    const Run polled = run({QStringLiteral("--port"), QString::number(sim.fleet->port()),
                            QStringLiteral("fleet"), QStringLiteral("--tag"), QStringLiteral("south"),
                            QStringLiteral("--format"), QStringLiteral("json")});
    QCOMPARE(polled.code, int(cli::ExitDone));
    const QJsonArray list = QJsonDocument::fromJson(polled.out.toUtf8()).array();
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.at(0).toObject().value(QStringLiteral("address")).toString(), south);
    QCOMPARE(sim.fleet->counters().datagramsReceived, 1u);
    QCOMPARE(run({QStringLiteral("fleet"), QStringLiteral("--tag"), QStringLiteral("west")}).code,
             int(cli::ExitUsage));
}

void TestCliFleet::stationSiteIsChecked_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("error"); // empty: accepted
    QTest::newRow("everything") << QStringList{u"--location"_s, u"Pump house"_s,      u"--lat"_s,
                                               u"-33.87"_s,     u"--lon"_s,           u"151.21"_s,
                                               u"--zone"_s,     u"Australia/Sydney"_s}
                                << QString();
    QTest::newRow("latitude past the pole") << QStringList{u"--lat"_s, u"90.5"_s, u"--lon"_s, u"0"_s}
                                            << u"--lat: latitude 90.5 is not between -90 and 90"_s;
    QTest::newRow("longitude past the date line") << QStringList{u"--lat"_s, u"0"_s, u"--lon"_s, u"-181"_s}
                                                  << u"--lon: longitude -181 is not between -180 and 180"_s;
    QTest::newRow("latitude alone") << QStringList{u"--lat"_s, u"10"_s} << u"--lat and --lon go together"_s;
    QTest::newRow("unknown zone") << QStringList{u"--zone"_s, u"Europe/Atlantis"_s}
                                  << u"time zone 'Europe/Atlantis' is not known"_s;
    QTest::newRow("nothing to set") << QStringList{} << u"say what to set"_s;
}

void TestCliFleet::stationSiteIsChecked()
{
    QFETCH(QStringList, options);
    QFETCH(QString, error);
    const Run result = run(QStringList{u"stations"_s, u"set"_s, u"10.0.0.1"_s} + options);
    StationStore store;
    QVERIFY(store.open(dbPath()).ok);
    if (error.isEmpty()) {
        QCOMPARE(result.code, int(cli::ExitDone));
        const kestavo::stations::StationSite site{u"Pump house"_s, -33.87, 151.21, u"Australia/Sydney"_s};
        QCOMPARE(store.siteOf(u"10.0.0.1"_s), site);
    } else {
        QCOMPARE(result.code, int(cli::ExitUsage));
        QVERIFY2(result.err.contains(error), qPrintable(result.err));
        QVERIFY(store.siteOf(u"10.0.0.1"_s).isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestCliFleet)
#include "tst_clifleet.moc"
