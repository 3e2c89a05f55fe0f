// kestavo-cli's commands for many stations at once (relay --tag, script run --tag, rollout),
// in-process against a simulated fleet: stations tagged north (one of them stored with a password
// its unit refuses, one at an address nothing answers) and one tagged south.

#include <csignal>
#include <sys/types.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "protocol/frames.h"

#include "stations/stationstore.h"

#include "cli.h"
#include "fleetrig.h"
#include "history/auditlog.h"

namespace cli = kestavo::cli;
using kestavo::stations::StationStore;
using kestavo::testsupport::SimFleetRig;

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

// Unit k of the rig as the database lists it: north 0-3 (3 with a wrong password), south 4; the
// silent north station is at the rig's address 7, where no unit answers.
constexpr int kUnits = 5;
constexpr int kRefusing = 3;
constexpr int kSouth = 4;
constexpr int kSilent = 7;

} // namespace

class TestCliFleetOps final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void bulkCommands_data();
    void bulkCommands();
    void rolloutStopsAndResumes();
    void dryRunOnlyReads();
    void interruptStartsNoMoreUnits();

private:
    Run run(const QString& line, std::function<bool(const QString&)> confirm = {});
    // Each unit's received opcodes, "1L|1|" …; the silent station has none.
    QString opcodes() const;
    QString address(int k) const { return m_rig->fleet->address(k).toString(); }
    QString dbPath() const { return m_dir.filePath(QStringLiteral("stations.dat")); }
    QString historyPath() const { return m_dir.filePath(QStringLiteral("history.db")); }

    QTemporaryDir m_dir;
    std::unique_ptr<SimFleetRig> m_rig;
};

void TestCliFleetOps::init()
{
    QVERIFY(m_dir.isValid());
    QFile::remove(dbPath());
    QFile::remove(historyPath());
    m_rig = std::make_unique<SimFleetRig>(kUnits, "Fl33t");
    QVERIFY(m_rig->started);
    StationStore store;
    QVERIFY(store.open(dbPath()).ok);
    for (int k = 0; k < kUnits; ++k) {
        QVERIFY(store.add(address(k), k == kRefusing ? QStringLiteral("Wr0ng") : QStringLiteral("Fl33t"),
                          QStringLiteral("Site %1").arg(k + 1)));
        QVERIFY(store.addTags(address(k),
                              {k == kSouth ? QStringLiteral("south") : QStringLiteral("north/pumps")}));
    }
    QVERIFY(store.add(address(kSilent), QStringLiteral("Fl33t"), QStringLiteral("Silent")));
    QVERIFY(store.addTags(address(kSilent), {QStringLiteral("north")}));
    for (int k = 0; k < kUnits; ++k)
        m_rig->fleet->model(k).setRelayScript(1, "12", "Blink");
}

void TestCliFleetOps::cleanup()
{
    m_rig.reset();
}

Run TestCliFleetOps::run(const QString& line, std::function<bool(const QString&)> confirm)
{
    QStringList all = {QStringLiteral("--db"),      dbPath(),
                       QStringLiteral("--history"), historyPath(),
                       QStringLiteral("--port"),    QString::number(m_rig->fleet->port()),
                       QStringLiteral("--timeout"), QStringLiteral("400")};
    all << QProcess::splitCommand(line);
    Run result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    cli::CliEnvironment environment;
    environment.applicationDir = m_dir.path();
    environment.verifyPollMs = 40;
    environment.confirm = std::move(confirm);
    result.code = cli::runCli(all, out, err, environment);
    return result;
}

QString TestCliFleetOps::opcodes() const
{
    QStringList units;
    for (int k = 0; k < kUnits; ++k) {
        QString codes;
        for (const auto& record : m_rig->fleet->model(k).frames())
            codes += record.bytes.size() > 9 ? QChar(QLatin1Char(record.bytes[9])) : u'?';
        units << codes;
    }
    return units.join(u'|');
}

void TestCliFleetOps::bulkCommands_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("answer"); // -1: nobody to ask, 0: no, 1: yes
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("reached"); // per unit: the relay or script reached it (x) or not (-)
    QTest::newRow("no terminal, no --yes")
        << QStringLiteral("relay --tag north 2 on") << -1 << 2 << QString() << QStringLiteral("-----");
    QTest::newRow("declined") << QStringLiteral("relay --tag north/pumps 2 on") << 0 << 2
                              << QStringLiteral("Switch relay 2 ON at 4 stations (tag north/pumps)? [y/N] ")
                              << QStringLiteral("-----");
    QTest::newRow("asked and agreed")
        << QStringLiteral("relay --tag north 2 on --max-failures 0") << 1 << 1
        << QStringLiteral("Switch relay 2 ON at 5 stations (tag north)? [y/N] ") << QStringLiteral("xxx--");
    QTest::newRow("--yes, south only")
        << QStringLiteral("relay --tag south 1 on --yes") << -1 << 0 << QString() << QStringLiteral("----x");
    QTest::newRow("script run") << QStringLiteral(
                                       "script run --tag north 1 --yes --max-failures 0 --parallel 2")
                                << -1 << 1 << QString() << QStringLiteral("xxx--");
}

void TestCliFleetOps::bulkCommands()
{
    QFETCH(QString, line);
    QFETCH(int, answer);
    QFETCH(int, code);
    QFETCH(QString, question);
    QFETCH(QString, reached);
    QString asked;
    std::function<bool(const QString&)> confirm;
    if (answer >= 0)
        confirm = [&](const QString& q) {
            asked = q;
            return answer == 1;
        };
    const Run r = run(line, confirm);
    QVERIFY2(r.code == code, qPrintable(r.out + r.err));
    QCOMPARE(asked, question);
    const bool script = line.startsWith(QStringLiteral("script"));
    const int relay = line.contains(QStringLiteral(" 1 on")) ? 1 : 2;
    QString seen;
    for (int k = 0; k < kUnits; ++k) {
        const auto& model = m_rig->fleet->model(k);
        seen += (script ? !model.scriptRuns().empty() : model.relayOn(relay)) ? u'x' : u'-';
    }
    QCOMPARE(seen, reached);
    if (code == 2) {
        QCOMPARE(opcodes(), QStringLiteral("||||"));
        return;
    }
    // One line per station, the refusing and the silent one named as such.
    QCOMPARE(r.out.count(u'\n'), int(reached.count(u'x')) + (code == 1 ? 2 : 0) + 1);
    if (code == 1) {
        QVERIFY2(r.out.contains(address(kRefusing) + QStringLiteral("  Site 4  refused: ")),
                 qPrintable(r.out));
        QVERIFY2(r.out.contains(address(kSilent) + QStringLiteral("  Silent  no answer")), qPrintable(r.out));
    }
    // One audit record per unit that was sent the command.
    kestavo::history::AuditLog log;
    QVERIFY(log.open(historyPath()));
    QStringList audited;
    for (const auto& record : log.records())
        audited << record.address;
    audited.sort();
    QStringList expected;
    // A script run is sent only where the slot table showed the script: never to the silent or the
    // refusing unit.
    const bool sentToFailing = code == 1 && !script;
    for (int k = 0; k < kUnits; ++k)
        if (reached[k] == u'x' || (sentToFailing && k == kRefusing))
            expected << address(k);
    if (sentToFailing)
        expected << address(kSilent);
    expected.sort();
    QCOMPARE(audited, expected);
}

void TestCliFleetOps::rolloutStopsAndResumes()
{
    // The file: unit 1's configuration with a new script in slot 2.
    m_rig->fleet->model(0).setRelayScript(2, "135", "All on");
    const QString file = m_dir.filePath(QStringLiteral("north.json"));
    const Run backup = run(QStringLiteral("backup %1 -o %2").arg(address(0), file));
    QVERIFY2(backup.code == 0, qPrintable(backup.err));
    for (int k = 0; k < kUnits; ++k)
        m_rig->fleet->model(k).clearLogs();

    // One at a time: unit 1 equal, 2 and 3 written, 4 refuses the password, and nothing starts after.
    const Run first =
        run(QStringLiteral("rollout %1 --tag north --only scripts --parallel 1 --yes").arg(file));
    QCOMPARE(first.code, 1);
    QVERIFY2(first.out.contains(address(0) + QStringLiteral("  Site 1  equal\n")), qPrintable(first.out));
    QVERIFY(first.out.contains(address(1) + QStringLiteral("  Site 2  written: relay script 2\n")));
    QVERIFY(first.out.contains(address(kRefusing) + QStringLiteral("  Site 4  refused: ")));
    QVERIFY(!first.out.contains(address(kSilent)));
    QVERIFY2(first.out.contains(QStringLiteral("5 stations, 2 written, 1 equal, 1 failed, 1 not started")),
             qPrintable(first.out));
    QCOMPARE(m_rig->fleet->model(2).slotTableReply(), m_rig->fleet->model(0).slotTableReply());
    QCOMPARE(opcodes().section(u'|', kSouth, kSouth), QString()); // south is not in the group

    // Run again without the limit: the written units are equal now and only read.
    for (int k = 0; k < kUnits; ++k)
        m_rig->fleet->model(k).clearLogs();
    const Run second =
        run(QStringLiteral("rollout %1 --tag north --only scripts --max-failures 0 --yes").arg(file));
    QCOMPARE(second.code, 1);
    QVERIFY2(second.out.contains(QStringLiteral("5 stations, 3 equal, 2 failed")), qPrintable(second.out));
    QVERIFY(second.out.contains(address(kSilent) + QStringLiteral("  Silent  no answer")));
    QCOMPARE(opcodes().section(u'|', 0, 2), QStringLiteral("1LST|1LST|1LST"));
}

void TestCliFleetOps::dryRunOnlyReads()
{
    m_rig->fleet->model(0).setRelayScript(2, "135", "All on");
    const QString file = m_dir.filePath(QStringLiteral("north.json"));
    QCOMPARE(run(QStringLiteral("backup %1 -o %2").arg(address(0), file)).code, 0);
    for (int k = 0; k < kUnits; ++k)
        m_rig->fleet->model(k).clearLogs();
    const Run dry =
        run(QStringLiteral("rollout %1 --stations %2,%3 --dry-run").arg(file, address(1), address(0)));
    QVERIFY2(dry.code == 0, qPrintable(dry.out + dry.err));
    QVERIFY(dry.out.contains(
        address(1) + QStringLiteral("  Site 2  differs: would write station name, relay script 2\n")));
    QVERIFY(dry.out.contains(address(0) + QStringLiteral("  Site 1  equal\n")));
    QCOMPARE(opcodes(), QStringLiteral("1LST|1LST|||"));
    QVERIFY(!QFile::exists(historyPath()));
}

// Ctrl-C in the real program: the unit in flight finishes, no further one starts.
void TestCliFleetOps::interruptStartsNoMoreUnits()
{
    {
        StationStore store;
        QVERIFY(store.open(dbPath()).ok);
        QVERIFY(store.addTags(address(0), {QStringLiteral("quiet")}));
        for (int k = 1; k <= 4; ++k) {
            QVERIFY(
                store.add(address(kSilent + k), QStringLiteral("Fl33t"), QStringLiteral("Quiet %1").arg(k)));
            QVERIFY(store.addTags(address(kSilent + k), {QStringLiteral("quiet")}));
        }
    }
    QProcess cli;
    cli.start(QStringLiteral(KESTAVO_CLI),
              {QStringLiteral("--db"), dbPath(), QStringLiteral("--history"), historyPath(),
               QStringLiteral("--port"), QString::number(m_rig->fleet->port()), QStringLiteral("--timeout"),
               QStringLiteral("1000"), QStringLiteral("relay"), QStringLiteral("--tag"),
               QStringLiteral("quiet"), QStringLiteral("1"), QStringLiteral("on"), QStringLiteral("--yes"),
               QStringLiteral("--parallel"), QStringLiteral("1"), QStringLiteral("--max-failures"),
               QStringLiteral("0")});
    // The simulated units answer from this event loop while the program runs.
    QVERIFY(QTest::qWaitFor([&] { return cli.canReadLine(); }, 10000));
    const QString first = QString::fromUtf8(cli.readLine());
    QVERIFY2(first.startsWith(address(0) + QStringLiteral("  Site 1  relay 1 is ON")), qPrintable(first));
    QCOMPARE(::kill(pid_t(cli.processId()), SIGINT), 0);
    QVERIFY(QTest::qWaitFor([&] { return cli.state() == QProcess::NotRunning; }, 10000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 1);
    const QString rest = QString::fromUtf8(cli.readAllStandardOutput());
    QVERIFY2(rest.count(QStringLiteral("no answer")) <= 1, qPrintable(rest));
    QVERIFY2(rest.contains(QStringLiteral("not started (stopped)")), qPrintable(rest));
}

QTEST_GUILESS_MAIN(TestCliFleetOps)
#include "tst_clifleetops.moc"
